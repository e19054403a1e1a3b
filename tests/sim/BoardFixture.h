// A reference board with its own state directory, powered on, for tests that
// call the firmware services as the drivers do.
#pragma once
#include "common/TestBoard.h"
#include "sim/board/Board.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace simtest {

class BoardTest : public ::testing::Test {
protected:
  void SetUp() override {
    state_ = testboard::FreshStateDirectory("simtest");
    NextRun();
  }
  void TearDown() override {
    board_.reset();
    std::error_code ec;
    std::filesystem::remove_all(state_, ec);
  }
  // A new board on the same state directory: the next run (the first one in
  // SetUp).
  void NextRun() {
    board_.reset();
    board_ = std::make_unique<sim::Board>(sim::BoardConfig::Reference(), state_);
    board_->PowerOn();
    bs_ = board_->BootServices();
    rt_ = board_->RuntimeServices();
  }

  std::filesystem::path state_;
  std::unique_ptr<sim::Board> board_;
  EFI_BOOT_SERVICES *bs_ = nullptr;
  EFI_RUNTIME_SERVICES *rt_ = nullptr;
};

} // namespace simtest
