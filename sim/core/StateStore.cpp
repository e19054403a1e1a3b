#include "sim/core/StateStore.h"

#include "sim/core/Errors.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace sim {

namespace fs = std::filesystem;

StateStore::StateStore(fs::path directory) : directory_(std::move(directory)) {}

void StateStore::CheckName(const std::string &name) {
  bool ok = !name.empty() && name[0] != '.';
  for (char c : name)
    ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_');
  if (!ok)
    throw SimulationError("state file name \"" + name + "\" is not a plain file name");
}

std::optional<std::vector<uint8_t>> StateStore::Load(const std::string &name) const {
  CheckName(name);
  if (auto it = staged_.find(name); it != staged_.end())
    return it->second;
  fs::path path = directory_ / name;
  std::error_code ec;
  if (!fs::exists(path, ec))
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw SimulationError("cannot read state file " + path.string());
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad())
    throw SimulationError("cannot read state file " + path.string());
  return bytes;
}

void StateStore::Stage(const std::string &name, std::vector<uint8_t> bytes) {
  CheckName(name);
  staged_[name] = std::move(bytes);
}

void StateStore::Commit() {
  std::error_code ec;
  fs::create_directories(directory_, ec);
  if (ec)
    throw SimulationError("cannot create state directory " + directory_.string() + ": " +
                          ec.message());
  // First every temporary file, then the renames: a failure while writing
  // leaves every committed file as it was.
  std::vector<std::pair<fs::path, fs::path>> renames;
  auto cleanup = [&] {
    for (auto &[tmp, final] : renames)
      fs::remove(tmp, ec);
  };
  for (const auto &[name, bytes] : staged_) {
    fs::path final = directory_ / name;
    fs::path tmp = directory_ / (name + kTempSuffix);
    renames.emplace_back(tmp, final);
    std::FILE *f = std::fopen(tmp.c_str(), "wb");
    bool ok = f != nullptr;
    if (ok && !bytes.empty())
      ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f)
      ok = (std::fflush(f) == 0) && ok;
    if (f)
      ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
      cleanup();
      throw SimulationError("cannot write state file " + tmp.string());
    }
  }
  for (auto &[tmp, final] : renames) {
    fs::rename(tmp, final, ec);
    if (ec) {
      cleanup();
      throw SimulationError("cannot replace state file " + final.string() + ": " + ec.message());
    }
  }
  staged_.clear();
}

} // namespace sim
