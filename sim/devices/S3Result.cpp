#include "sim/devices/S3Result.h"

namespace sim {

namespace {
std::vector<std::string> Changed(const RegisterSnapshot &from, const RegisterSnapshot &to) {
  std::vector<std::string> names;
  for (auto &[name, value] : from)
    if (ValueIn(to, name) != value)
      names.push_back(name);
  for (auto &[name, value] : to)
    if (!from.count(name) && value != 0)
      names.push_back(name);
  return names;
}
} // namespace

uint64_t ValueIn(const RegisterSnapshot &registers, const std::string &name) {
  auto it = registers.find(name);
  return it == registers.end() ? 0 : it->second;
}

std::vector<std::string> S3Result::Differences() const {
  return Changed(BeforeSuspend, AfterResume);
}

std::vector<std::string> S3Result::Lost() const {
  return Changed(BeforeSuspend, AfterSuspend);
}

} // namespace sim
