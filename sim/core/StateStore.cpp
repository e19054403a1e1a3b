#include "sim/core/StateStore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <unistd.h>

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr const char *kGenerationPrefix = "gen-";
constexpr const char *kSwitchLink = "current.new";
// State files are a few hundred KiB at most; a bigger one is not ours.
constexpr uintmax_t kMaxStateFile = 16u << 20;

std::string Errno() {
  return std::strerror(errno);
}

// "gen-12" -> 12; anything else -> nullopt.
std::optional<unsigned> GenerationNumber(const std::string &name) {
  if (name.rfind(kGenerationPrefix, 0) != 0)
    return std::nullopt;
  std::string digits = name.substr(std::strlen(kGenerationPrefix));
  if (digits.empty() || digits.size() > 9 || digits[0] == '0')
    return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9')
      return std::nullopt;
  return unsigned(std::stoul(digits));
}

std::string GenerationName(unsigned n) {
  return kGenerationPrefix + std::to_string(n);
}

void SyncPath(const fs::path &path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0)
    throw SimulationError("cannot open " + path.string() + ": " + Errno());
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  if (!ok)
    throw SimulationError("cannot flush " + path.string() + ": " + Errno());
}

void WriteFile(const fs::path &path, const std::vector<uint8_t> &bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    throw SimulationError("cannot write state file " + path.string() + ": " + Errno());
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    ok = n > 0;
    if (ok)
      done += size_t(n);
  }
  ok = ok && ::fsync(fd) == 0;
  std::string error = Errno();
  ::close(fd);
  if (!ok)
    throw SimulationError("cannot write state file " + path.string() + ": " + error);
}

// The pid holding a flock on the file with this device and inode, from
// /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF").
std::optional<long> LockHolder(const struct stat &st) {
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    if (line.find("FLOCK") == std::string::npos)
      continue;
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < line.size()) {
      size_t start = line.find_first_not_of(' ', pos);
      if (start == std::string::npos)
        break;
      size_t end = line.find(' ', start);
      fields.push_back(line.substr(start, end - start));
      pos = end == std::string::npos ? line.size() : end;
    }
    // "->" marks a waiter; this code never waits, so every match is a holder.
    if (fields.size() < 6 || fields[1] != "FLOCK")
      continue;
    unsigned maj = 0, min = 0;
    unsigned long long ino = 0;
    if (std::sscanf(fields[5].c_str(), "%x:%x:%llu", &maj, &min, &ino) != 3)
      continue;
    if (maj == major(st.st_dev) && min == minor(st.st_dev) && ino == st.st_ino)
      return std::stol(fields[4]);
  }
  return std::nullopt;
}

} // namespace

StateStore::StateStore(fs::path directory) : directory_(std::move(directory)) {
  std::error_code ec;
  if (!fs::exists(directory_, ec)) {
    created_ = fs::create_directories(directory_, ec);
    if (ec)
      throw SimulationError("cannot create state directory " + directory_.string() + ": " +
                            ec.message());
  } else if (!fs::is_directory(directory_, ec)) {
    throw InputError("state directory " + directory_.string() + " is not a directory");
  }
  Lock();
  try {
    CleanLeftovers();
  } catch (...) {
    ::close(lockFd_);
    throw;
  }
}

StateStore::~StateStore() {
  if (created_ && !committed_) {
    // Nothing was committed: leave no empty directory behind.
    std::error_code ec;
    fs::remove(directory_, ec);
  }
  if (lockFd_ >= 0)
    ::close(lockFd_);
}

void StateStore::Lock() {
  lockFd_ = ::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lockFd_ < 0)
    throw SimulationError("cannot open state directory " + directory_.string() + ": " + Errno());
  if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0)
    return;
  int error = errno;
  std::string holder;
  struct stat st {};
  if (error == EWOULDBLOCK && ::fstat(lockFd_, &st) == 0)
    if (auto pid = LockHolder(st))
      holder = " (pid " + std::to_string(*pid) + ")";
  ::close(lockFd_);
  lockFd_ = -1;
  if (error == EWOULDBLOCK)
    throw StateLocked("state directory " + directory_.string() + " is in use by another run" +
                      (holder.empty() ? std::string(" (pid unknown)") : holder));
  throw SimulationError("cannot lock state directory " + directory_.string() + ": " +
                        std::strerror(error));
}

void StateStore::CleanLeftovers() {
  std::error_code ec;
  fs::path link = directory_ / kCurrentLink;
  if (fs::is_symlink(fs::symlink_status(link, ec))) {
    std::string target = fs::read_symlink(link, ec).string();
    auto n = GenerationNumber(target);
    if (ec || !n || !fs::is_directory(directory_ / target, ec))
      throw InputError("state directory " + directory_.string() +
                       ": \"current\" does not name a generation folder");
    generation_ = *n;
  } else if (fs::exists(fs::symlink_status(link, ec))) {
    throw InputError("state directory " + directory_.string() +
                     ": \"current\" is not a symbolic link");
  }
  // An interrupted commit leaves its folder or its link; the state is the one
  // "current" names.
  fs::remove(directory_ / kSwitchLink, ec);
  for (const auto &entry : fs::directory_iterator(directory_, ec)) {
    std::string name = entry.path().filename().string();
    auto n = GenerationNumber(name);
    if (n && *n != generation_)
      fs::remove_all(entry.path(), ec);
  }
}

fs::path StateStore::CommittedFolder() const {
  return generation_ ? directory_ / GenerationName(generation_) : directory_;
}

void StateStore::CheckName(const std::string &name) {
  bool ok = !name.empty() && name[0] != '.' && name != kCurrentLink && name != kSwitchLink &&
            !GenerationNumber(name);
  for (char c : name)
    ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_');
  if (!ok)
    throw SimulationError("state file name \"" + name + "\" is not a plain file name");
}

std::optional<std::vector<uint8_t>> StateStore::Load(const std::string &name) const {
  CheckName(name);
  if (auto it = staged_.find(name); it != staged_.end())
    return it->second;
  fs::path path = CommittedFolder() / name;
  std::error_code ec;
  auto status = fs::symlink_status(path, ec);
  if (!fs::exists(status))
    return std::nullopt;
  if (!fs::is_regular_file(status))
    throw InputError("state file " + path.string() + " is not a regular file");
  if (fs::file_size(path, ec) > kMaxStateFile)
    throw InputError("state file " + path.string() + " is larger than " +
                     std::to_string(kMaxStateFile >> 20) + " MiB");
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

std::vector<std::string> StateStore::CommittedNames() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto &entry : fs::directory_iterator(CommittedFolder(), ec)) {
    std::string name = entry.path().filename().string();
    if (!entry.is_regular_file(ec) || name.empty() || name[0] == '.' || name == kCurrentLink ||
        name == kSwitchLink || GenerationNumber(name))
      continue;
    // The flat layout's "NAME.tmp" files were interrupted writes, not state.
    if (!generation_ && name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
      continue;
    names.push_back(name);
  }
  return names;
}

void StateStore::Step(const std::string &step) {
  if (hook_)
    hook_(step);
}

void StateStore::Commit() {
  // The next generation holds every file: this run's staged ones and the
  // committed ones it did not restage.
  std::map<std::string, std::vector<uint8_t>> files = staged_;
  for (const auto &name : CommittedNames())
    if (!files.count(name))
      files[name] = *Load(name);

  unsigned next = generation_ + 1;
  fs::path folder = directory_ / GenerationName(next);
  fs::path link = directory_ / kSwitchLink;
  std::error_code ec;
  auto abandon = [&] {
    fs::remove_all(folder, ec);
    fs::remove(link, ec);
  };
  try {
    Step("create " + GenerationName(next));
    fs::remove_all(folder, ec);
    if (!fs::create_directory(folder, ec))
      throw SimulationError("cannot create " + folder.string() + ": " + ec.message());
    for (const auto &[name, bytes] : files) {
      Step("write " + name);
      WriteFile(folder / name, bytes);
    }
    Step("flush " + GenerationName(next));
    SyncPath(folder, O_RDONLY | O_DIRECTORY);
    Step("link");
    fs::remove(link, ec);
    if (::symlink(GenerationName(next).c_str(), link.c_str()) != 0)
      throw SimulationError("cannot create " + link.string() + ": " + Errno());
    Step("switch");
    // The one step that changes the state: rename is atomic.
    if (::rename(link.c_str(), (directory_ / kCurrentLink).c_str()) != 0)
      throw SimulationError("cannot switch " + directory_.string() +
                            " to the new state: " + Errno());
  } catch (...) {
    abandon();
    throw;
  }
  unsigned old = generation_;
  generation_ = next;
  committed_ = true;
  staged_.clear();
  // From here the new state is committed; what follows only tidies up, and a
  // kill in between leaves leftovers the next open removes.
  try {
    Step("flush directory");
    SyncPath(directory_, O_RDONLY | O_DIRECTORY);
    Step("remove old state");
    if (old)
      fs::remove_all(directory_ / GenerationName(old), ec);
    else
      for (const auto &[name, bytes] : files) {
        fs::remove(directory_ / name, ec);
        fs::remove(directory_ / (name + ".tmp"), ec);
      }
  } catch (const SimulationError &) {
    // Tidying failed: the state is committed all the same.
  }
}

} // namespace sim
