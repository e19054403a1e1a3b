#include "BoardFixture.h"

#include "sim/core/Errors.h"
#include "sim/core/StateStore.h"

#include <fstream>

namespace {

using StateDirectoryTest = simtest::BoardTest;

std::string Contents(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(StateDirectoryTest, StagedFilesAppearOnlyAtCommit) {
  sim::StateStore store(state_ / "sub");
  store.Stage("tpm.bin", {1, 2, 3});
  EXPECT_FALSE(std::filesystem::exists(store.CommittedFolder() / "tpm.bin"));
  EXPECT_EQ(store.Load("tpm.bin"), (std::vector<uint8_t>{1, 2, 3})); // the staged copy
  store.Commit();
  EXPECT_EQ(Contents(store.CommittedFolder() / "tpm.bin"), std::string("\x01\x02\x03"));
  EXPECT_FALSE(store.HasStaged());
  for (const char *bad : {"", "../x", ".hidden", "a/b"})
    EXPECT_THROW(store.Stage(bad, {}), sim::SimulationError) << bad;
}

TEST_F(StateDirectoryTest, ACommitThatCannotWriteChangesNoFile) {
  // (the fixture's board holds state_ itself)
  sim::StateStore store(state_ / "two");
  store.Stage("a.bin", {1});
  store.Stage("b.bin", {2});
  store.Commit();
  // The second write fails.
  store.SetStepHook([](const std::string &step) {
    if (step == "write b.bin")
      throw sim::SimulationError("disk full");
  });
  store.Stage("a.bin", {9});
  store.Stage("b.bin", {9});
  EXPECT_THROW(store.Commit(), sim::SimulationError);
  EXPECT_EQ(Contents(store.CommittedFolder() / "a.bin"), std::string("\x01"));
  EXPECT_EQ(Contents(store.CommittedFolder() / "b.bin"), std::string("\x02"));
  EXPECT_FALSE(std::filesystem::exists(state_ / "two" / "gen-2"));
}

TEST_F(StateDirectoryTest, BootNumbersContinueAcrossRuns) {
  board_->Run([](sim::Board &) {});
  board_->PowerOn();
  board_->Run([](sim::Board &) {});
  EXPECT_EQ(board_->LifetimeBoots(), 2u);
  board_->Commit();
  NextRun();
  EXPECT_EQ(board_->BootIndex(), 1u);
  EXPECT_EQ(board_->LifetimeBoots(), 3u);
  EXPECT_EQ(board_->Report().Index(), 3u);
}

} // namespace
