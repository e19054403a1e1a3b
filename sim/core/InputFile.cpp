#include "sim/core/InputFile.h"

#include "sim/core/Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {
std::string Size(uintmax_t bytes) {
  if (bytes % (1u << 20) == 0)
    return std::to_string(bytes >> 20) + " MiB";
  if (bytes % 1024 == 0)
    return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}
} // namespace

std::vector<uint8_t> ReadInputFile(const std::filesystem::path &path, uintmax_t maxBytes) {
  const std::string name = path.string();
  // Opened first and checked through the descriptor: what is checked is what is read.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    throw InputError(name + ": cannot read the file: " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw InputError(name + ": not a regular file");
  }
  if (uintmax_t(st.st_size) > maxBytes) {
    ::close(fd);
    throw InputError(name + ": " + std::to_string(st.st_size) + " bytes, more than the " +
                     Size(maxBytes) + " such a file can hold");
  }
  std::vector<uint8_t> bytes(size_t(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += size_t(n);
  }
  ::close(fd);
  if (done != bytes.size())
    throw InputError(name + ": cannot read the file (it changed while read)");
  return bytes;
}

} // namespace sim
