// What an S3 cycle did to the registers the board compares: snapshots before
// the suspend, after it (before the resume path ran) and after the resume.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

// Register name ("ec.0x6C5", "sio.global.0x25", ...) to value.
using RegisterSnapshot = std::map<std::string, uint64_t>;

struct S3Result {
  RegisterSnapshot BeforeSuspend;
  RegisterSnapshot AfterSuspend; // before the script ran
  RegisterSnapshot AfterResume;
  size_t Replayed = 0; // boot-script entries replayed
  // Registers whose value after resume differs from before the suspend.
  std::vector<std::string> Differences() const;
  // Registers the suspend changed (and the script had to restore).
  std::vector<std::string> Lost() const;
};

// A register a snapshot leaves out reads as zero (its reset value).
uint64_t ValueIn(const RegisterSnapshot &registers, const std::string &name);

} // namespace sim
