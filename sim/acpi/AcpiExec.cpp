#include "sim/acpi/AcpiExec.h"
#include "sim/core/Text.h"

#include "sim/acpi/AcpiTables.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::size_t kAcpiHeaderSize = 36;

// A file in the temporary directory, removed when it goes out of scope.
class TempFile {
public:
  explicit TempFile(const std::string &suffix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("platsim-acpiexec-XXXXXX" + suffix)).string();
    const int fd = ::mkstemps(pattern.data(), int(suffix.size()));
    if (fd < 0)
      throw std::runtime_error("acpiexec: cannot create a temporary file: " +
                               std::string(std::strerror(errno)));
    ::close(fd);
    path_ = pattern;
  }
  // Nothing to do when the file cannot be removed: it is in the temporary folder.
  ~TempFile() { static_cast<void>(std::remove(path_.c_str())); }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;

  const std::string &Path() const { return path_; }
  void Write(std::span<const std::uint8_t> bytes) const {
    std::FILE *f = std::fopen(path_.c_str(), "wb");
    const bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr && std::fclose(f) != 0)
      throw std::runtime_error("acpiexec: cannot write " + path_);
    if (!ok)
      throw std::runtime_error("acpiexec: cannot write " + path_);
  }

private:
  std::string path_;
};

// Runs argv with standard input from a file; returns standard output and
// standard error together.
std::string Run(const std::vector<std::string> &argv, const std::string &input) {
  // Everything the child needs is made before the fork: it only redirects and execs.
  std::vector<char *> raw;
  raw.reserve(argv.size() + 1);
  for (const std::string &a : argv)
    raw.push_back(const_cast<char *>(a.c_str()));
  raw.push_back(nullptr);
  const int in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0)
    throw std::runtime_error("acpiexec: cannot open " + input);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in);
    throw std::runtime_error("acpiexec: pipe: " + std::string(std::strerror(errno)));
  }
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(in);
    ::close(out[0]);
    ::close(out[1]);
    throw std::runtime_error("acpiexec: fork: " + std::string(std::strerror(errno)));
  }
  if (pid == 0) {
    if (::dup2(in, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(out[1], 2) < 0)
      ::_exit(127);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  ::close(in);
  ::close(out[1]);
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(out[0], buffer, sizeof(buffer));
    if (n > 0)
      text.append(buffer, std::size_t(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  ::close(out[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return text;
}

std::string Trim(const std::string &s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

std::string HexByte(std::uint64_t value) {
  return HexNumber(value, value <= 0xFF ? 2 : 0);
}

// What acpiexec said about one path: "Evaluation of P returned object ..."
// followed by the object's lines, or "Evaluation of P failed with status S".
AcpiExecValue ReadValue(const std::vector<std::string> &lines, const std::string &path) {
  AcpiExecValue value;
  value.Path = path;
  value.Text = "no answer from acpiexec";
  const std::string returned = "Evaluation of " + path + " returned object";
  const std::string failed = "Evaluation of " + path + " failed with status ";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(failed, 0) == 0) {
      value.Text = Trim(lines[i].substr(failed.size()));
      return value;
    }
    if (lines[i].rfind(returned, 0) != 0)
      continue;
    value.Evaluated = true;
    std::size_t j = i + 1;
    while (j < lines.size() && Trim(lines[j]).empty())
      ++j;
    const std::string object = j < lines.size() ? Trim(lines[j]) : "";
    const std::string integer = "[Integer] = ";
    if (object.rfind(integer, 0) == 0) {
      char *end = nullptr;
      const std::string digits = object.substr(integer.size());
      const unsigned long long n = std::strtoull(digits.c_str(), &end, 16);
      if (!digits.empty() && end != nullptr && *end == '\0') {
        value.Integer = n;
        value.Text = HexByte(n);
        return value;
      }
    }
    value.Text = object.empty() ? "an object acpiexec did not show" : object;
    return value;
  }
  return value;
}

} // namespace

const AcpiExecValue *AcpiExecResult::Find(const std::string &path) const {
  for (const AcpiExecValue &v : Values)
    if (v.Path == path)
      return &v;
  return nullptr;
}

std::optional<std::string> FindAcpiExec(const std::string &program) {
  if (program.find('/') != std::string::npos)
    return ::access(program.c_str(), X_OK) == 0 ? std::optional(program) : std::nullopt;
  const char *path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return std::nullopt;
}

AcpiExecResult EvaluateWithAcpiExec(std::span<const std::uint8_t> table,
                                    const std::vector<std::string> &paths,
                                    const AcpiExecOptions &options) {
  AcpiExecResult result;
  const auto program = FindAcpiExec(options.Program);
  if (!program) {
    result.Detail = options.Program + " not installed";
    return result;
  }
  result.Detail = *program;

  AcpiBytes copy(table.begin(), table.end());
  if (copy.size() < kAcpiHeaderSize) {
    result.Outcome = AcpiExecResult::State::NotLoaded;
    result.Detail = "the table is shorter than an ACPI header";
    return result;
  }
  const std::uint32_t length = std::uint32_t(copy[4]) | std::uint32_t(copy[5]) << 8 |
                               std::uint32_t(copy[6]) << 16 | std::uint32_t(copy[7]) << 24;
  if (length != copy.size()) {
    // acpiexec would read the header's length from a file of another size.
    result.Outcome = AcpiExecResult::State::NotLoaded;
    result.Detail = "the header's length " + std::to_string(length) + " is not the table's " +
                    std::to_string(copy.size()) + " bytes";
    return result;
  }
  if (!AcpiChecksumValid(copy)) {
    SetAcpiChecksum(copy);
    result.ChecksumFixed = true;
  }
  TempFile aml(".aml");
  aml.Write(copy);
  TempFile commands(".txt");
  std::string script;
  for (const std::string &p : paths) {
    if (p.find_first_of(";\n\r") != std::string::npos)
      throw std::invalid_argument("acpiexec: \"" + p + "\" is no ACPI name path");
    script += (options.BatchMode && !script.empty() ? "; " : "") + ("evaluate " + p) +
              (options.BatchMode ? "" : "\n");
  }
  std::vector<std::string> argv = {*program, "-to", std::to_string(options.LoopTimeoutSeconds)};
  if (options.BatchMode) {
    argv.push_back("-b");
    argv.push_back(script);
    commands.Write({});
  } else {
    script += "quit\n";
    commands.Write(std::span(reinterpret_cast<const std::uint8_t *>(script.data()), script.size()));
  }
  argv.push_back(aml.Path());
  const std::string output = Run(argv, commands.Path());

  std::vector<std::string> lines;
  std::stringstream stream(output);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  // acpiexec lists every AML table it loaded under "ACPI table initialization"
  // as "Table [SIG: OEMTABLEID]"; for want of a DSDT it loads an empty one of
  // its own ("Local"), so the line must name this table.
  auto trimmed = [](std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
      text.pop_back();
    return text;
  };
  const std::string signature(copy.begin(), copy.begin() + 4);
  const std::string tableId = trimmed(std::string(copy.begin() + 16, copy.begin() + 24));
  const std::string listed = "Table [" + signature + ": ";
  bool loaded = false;
  std::string firstError;
  for (const std::string &line : lines) {
    const auto close = line.find(']');
    if (line.rfind(listed, 0) == 0 && close != std::string::npos &&
        trimmed(line.substr(listed.size(), close - listed.size())) == tableId)
      loaded = true;
    if (firstError.empty() &&
        (line.rfind("ACPI Error", 0) == 0 || line.rfind("ACPI Exec: Segmentation", 0) == 0))
      firstError = Trim(line);
  }
  if (!loaded) {
    result.Outcome = AcpiExecResult::State::NotLoaded;
    result.Detail = firstError.empty() ? "acpiexec loaded no table" : firstError;
    return result;
  }
  result.Outcome = AcpiExecResult::State::Evaluated;
  for (const std::string &p : paths)
    result.Values.push_back(ReadValue(lines, p));
  return result;
}

std::string DescribeAcpiExecValue(const AcpiExecResult &result, const std::string &path) {
  switch (result.Outcome) {
  case AcpiExecResult::State::NotInstalled:
    return "not evaluated (acpiexec not installed)";
  case AcpiExecResult::State::NotLoaded:
    return "not evaluated (acpiexec did not load the table: " + result.Detail + ")";
  case AcpiExecResult::State::Evaluated:
    break;
  }
  const AcpiExecValue *value = result.Find(path);
  if (value == nullptr)
    return "not evaluated";
  return value->Evaluated ? value->Text : "fails (" + value->Text + ")";
}

} // namespace sim
