// Runs the built platsim as a user would: its exit status, what it printed,
// with a deadline so a hang fails the test instead of the suite.
#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace platsimtest {

struct RunResult {
  int Exit = -1; // -1: killed (signal or deadline)
  int Signal = 0;
  std::string Out;
  std::string Err;
};

RunResult RunPlatsim(const std::vector<std::string> &args, const std::filesystem::path &cwd = {},
                     int deadlineSeconds = 120);

std::string ReadFile(const std::filesystem::path &path);
void WriteFile(const std::filesystem::path &path, const std::string &text);

// Every file, link and folder under `dir` with its contents or target: two
// equal snapshots mean nothing changed.
std::map<std::string, std::string> Snapshot(const std::filesystem::path &dir);

// A fresh folder, removed with the object.
class ScratchDir {
public:
  ScratchDir();
  ~ScratchDir();
  const std::filesystem::path &Path() const { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace platsimtest
