#include "sim/console/Terminal.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace sim {

namespace {

// The mode to restore, for the signal handler (one raw terminal at a time).
struct termios gSaved;
std::atomic<int> gRawFd{-1};
constexpr int kRestoreSignals[] = {SIGTERM, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV};
struct sigaction gPrevious[sizeof(kRestoreSignals) / sizeof(kRestoreSignals[0])];

void RestoreOnSignal(int signal) {
  int fd = gRawFd.exchange(-1);
  if (fd >= 0)
    tcsetattr(fd, TCSAFLUSH, &gSaved);
  // Die by the signal as if never caught; failing that, die anyway.
  if (std::signal(signal, SIG_DFL) == SIG_ERR || std::raise(signal) != 0)
    _exit(128 + signal);
}

void WriteAll(int fd, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      return;
    done += size_t(n);
  }
}

constexpr int kEscapeTimeoutMs = 60;

} // namespace

bool RawTerminal::Available(int inputFd, int outputFd) {
  return ::isatty(inputFd) == 1 && ::isatty(outputFd) == 1;
}

RawTerminal::RawTerminal(int inputFd, int outputFd) : in_(inputFd), out_(outputFd) {
  if (!Available(inputFd, outputFd))
    throw SimulationError("keyboard input needs a terminal (give the keys with --keys)");
  if (gRawFd.load() >= 0)
    throw SimulationError("the terminal is already in raw mode");
  if (tcgetattr(in_, &gSaved) != 0)
    throw SimulationError(std::string("cannot read the terminal mode: ") + std::strerror(errno));
  struct termios raw = gSaved;
  raw.c_lflag &= ~tcflag_t(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~tcflag_t(IXON | ICRNL);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  for (size_t i = 0; i < std::size(kRestoreSignals); ++i) {
    struct sigaction action = {};
    action.sa_handler = RestoreOnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(kRestoreSignals[i], &action, &gPrevious[i]);
  }
  gRawFd = in_;
  if (tcsetattr(in_, TCSAFLUSH, &raw) != 0) {
    gRawFd = -1;
    for (size_t i = 0; i < std::size(kRestoreSignals); ++i)
      sigaction(kRestoreSignals[i], &gPrevious[i], nullptr);
    throw SimulationError(std::string("cannot set the terminal mode: ") + std::strerror(errno));
  }
}

RawTerminal::~RawTerminal() {
  int fd = gRawFd.exchange(-1);
  if (fd >= 0)
    tcsetattr(fd, TCSAFLUSH, &gSaved);
  for (size_t i = 0; i < std::size(kRestoreSignals); ++i)
    sigaction(kRestoreSignals[i], &gPrevious[i], nullptr);
  WriteAll(out_, "\n");
}

EFI_INPUT_KEY RawTerminal::ReadKey() {
  for (;;) {
    struct pollfd p = {in_, POLLIN, 0};
    int ready = ::poll(&p, 1, decoder_.Pending() ? kEscapeTimeoutMs : -1);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      throw SimulationError(std::string("cannot read the keyboard: ") + std::strerror(errno));
    }
    if (ready == 0) {
      if (auto key = decoder_.Flush())
        return *key;
      continue;
    }
    unsigned char byte;
    ssize_t n = ::read(in_, &byte, 1);
    if (n == 0)
      throw SimulationError("the keyboard input ended");
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw SimulationError(std::string("cannot read the keyboard: ") + std::strerror(errno));
    }
    if (byte == 0x03 && !decoder_.Pending())
      throw UserInterrupt();
    if (auto key = decoder_.Feed(byte))
      return *key;
  }
}

void RawTerminal::Draw(const std::string &title, const std::vector<std::string> &rows) {
  std::string text = "\x1b[H\x1b[2J" + title + "\r\n";
  std::string rule = "+" + std::string(80, '-') + "+";
  text += rule + "\r\n";
  for (const std::string &row : rows) {
    std::string padded = row;
    // Rows are ASCII in practice; pad by bytes.
    if (padded.size() < 80)
      padded.append(80 - padded.size(), ' ');
    text += "|" + padded + "|\r\n";
  }
  text += rule + "\r\n";
  WriteAll(out_, text);
}

} // namespace sim
