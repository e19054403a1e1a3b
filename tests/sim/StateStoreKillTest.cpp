// A commit stopped at any file operation (the process killed, or the
// operation failing) leaves the state before or the state after, never a mix;
// two runs never share a state directory.
#include "BoardFixture.h"

#include "sim/core/Errors.h"
#include "sim/core/StateStore.h"

#include <fstream>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::vector<uint8_t>>;

const Files kBefore = {{"a.bin", {1}}, {"b.bin", {2}}, {"c.bin", {3}}};
// b restaged, d new, c carried over, a rewritten.
const Files kStaged = {{"a.bin", {9}}, {"b.bin", {8, 8}}, {"d.bin", {7}}};
const Files kAfter = {{"a.bin", {9}}, {"b.bin", {8, 8}}, {"c.bin", {3}}, {"d.bin", {7}}};

Files Read(sim::StateStore &store) {
  Files out;
  for (const char *name : {"a.bin", "b.bin", "c.bin", "d.bin"})
    if (auto bytes = store.Load(name))
      out[name] = *bytes;
  return out;
}

// The directory as a run of the older flat layout or of generations left it.
void Prepare(const fs::path &dir, bool flat) {
  fs::remove_all(dir);
  if (flat) {
    fs::create_directories(dir);
    for (const auto &[name, bytes] : kBefore) {
      std::ofstream out(dir / name, std::ios::binary);
      out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    }
    return;
  }
  sim::StateStore store(dir);
  for (const auto &[name, bytes] : kBefore)
    store.Stage(name, bytes);
  store.Commit();
}

// Runs a commit in a child process killed (_exit, no cleanup) before its
// step number `stop`; true when the commit ran to its end instead.
bool CommitKilledAt(const fs::path &dir, int stop) {
  pid_t pid = ::fork();
  if (pid == 0) {
    try {
      sim::StateStore store(dir);
      for (const auto &[name, bytes] : kStaged)
        store.Stage(name, bytes);
      int step = 0;
      store.SetStepHook([&](const std::string &) {
        if (step++ == stop)
          ::_exit(0);
      });
      store.Commit();
    } catch (...) {
      ::_exit(3);
    }
    ::_exit(42);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 3) << "the commit failed at step " << stop;
  return WEXITSTATUS(status) == 42;
}

class StateStoreKillTest : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override { dir_ = testboard::FreshStateDirectory("simtest") / "state"; }
  void TearDown() override { fs::remove_all(dir_.parent_path()); }
  fs::path dir_;
};

TEST_P(StateStoreKillTest, AKillAtEveryStepLeavesBeforeOrAfter) {
  bool flat = GetParam();
  bool sawBefore = false, sawAfter = false;
  int stop = 0;
  for (bool finished = false; !finished; ++stop) {
    ASSERT_LT(stop, 100) << "the commit never finished";
    Prepare(dir_, flat);
    finished = CommitKilledAt(dir_, stop);
    sim::StateStore store(dir_);
    Files seen = Read(store);
    EXPECT_TRUE(seen == kBefore || seen == kAfter) << "killed before step " << stop;
    sawBefore |= seen == kBefore;
    sawAfter |= seen == kAfter;
    // Opening the directory removed the interrupted commit's leftovers.
    for (const auto &entry : fs::directory_iterator(dir_)) {
      std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "current" || entry.path() == store.CommittedFolder() ||
                  (flat && kBefore.count(name)))
          << "leftover " << name << " after a kill before step " << stop;
    }
  }
  EXPECT_TRUE(sawBefore);
  EXPECT_TRUE(sawAfter);
  EXPECT_GT(stop, int(kStaged.size()) + 2); // every write was a step
}

TEST_P(StateStoreKillTest, AFailureAtEveryStepLeavesBeforeOrAfter) {
  bool flat = GetParam();
  for (int stop = 0; stop < 100; ++stop) {
    Prepare(dir_, flat);
    bool threw = false, fired = false;
    {
      sim::StateStore store(dir_);
      for (const auto &[name, bytes] : kStaged)
        store.Stage(name, bytes);
      int step = 0;
      store.SetStepHook([&](const std::string &name) {
        if (step++ == stop) {
          fired = true;
          throw sim::SimulationError("injected failure at " + name);
        }
      });
      try {
        store.Commit();
      } catch (const sim::SimulationError &) {
        threw = true;
      }
      // What this run sees is what the next run sees.
      EXPECT_EQ(Read(store), kAfter) << stop;
    }
    sim::StateStore next(dir_);
    EXPECT_EQ(Read(next), threw ? kBefore : kAfter) << "failure at step " << stop;
    if (!fired)
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, StateStoreKillTest, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Flat" : "Generations"; });

TEST(StateStoreLockTest, ASecondProcessIsRefusedAndNamesTheHolder) {
  fs::path dir = testboard::FreshStateDirectory("simtest") / "state";
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    sim::StateStore store(dir);
    char c = 1;
    (void)!::write(ready[1], &c, 1);
    (void)!::read(done[0], &c, 1); // hold the lock until the parent is done
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  try {
    sim::StateStore second(dir);
    ADD_FAILURE() << "a second store opened a locked directory";
  } catch (const sim::StateLocked &e) {
    std::string what = e.what();
    EXPECT_NE(what.find(dir.string()), std::string::npos) << what;
    EXPECT_NE(what.find("pid " + std::to_string(holder)), std::string::npos) << what;
  }
  (void)!::write(done[1], &c, 1);
  int status = 0;
  ::waitpid(holder, &status, 0);
  // Released with the holder: the next run opens it.
  EXPECT_NO_THROW(sim::StateStore third(dir));
  fs::remove_all(dir.parent_path());
}

} // namespace
