// Boards for the measurement tests: the reference board with a JSON merge
// patch applied, in a fresh state directory that goes away with the fixture.
#pragma once
#include "sim/board/Board.h"
#include "sim/board/BoardConfig.h"

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>

namespace measure_test {

class TestBoard {
public:
  explicit TestBoard(const nlohmann::json &patch = nlohmann::json::object()) {
    char dir[] = "/tmp/measure-test-XXXXXX";
    dir_ = mkdtemp(dir);
    nlohmann::json doc = nlohmann::json::parse(sim::kReferenceBoardJson);
    doc.merge_patch(patch);
    board_ = std::make_unique<sim::Board>(sim::BoardConfig::FromText(doc.dump(), "test"), dir_);
  }
  ~TestBoard() {
    board_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  sim::Board &operator*() { return *board_; }
  sim::Board *operator->() { return board_.get(); }

private:
  std::string dir_;
  std::unique_ptr<sim::Board> board_;
};

} // namespace measure_test
