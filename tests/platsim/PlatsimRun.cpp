#include "PlatsimRun.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace platsimtest {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

RunResult RunPlatsim(const std::vector<std::string> &args, const fs::path &cwd,
                     int deadlineSeconds) {
  ScratchDir io;
  fs::path out = io.Path() / "out", err = io.Path() / "err";
  pid_t pid = ::fork();
  if (pid == 0) {
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = ::open("/dev/null", O_RDONLY); // no terminal: keys only from the command line
    ::dup2(o, 1);
    ::dup2(e, 2);
    ::dup2(in, 0);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
      ::_exit(127);
    std::vector<std::string> all = {PLATSIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(PLATSIM_PATH, argv.data());
    ::_exit(127);
  }
  RunResult result;
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status))
    result.Exit = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.Signal = WTERMSIG(status);
  result.Out = ReadFile(out);
  result.Err = ReadFile(err);
  return result;
}

std::map<std::string, std::string> Snapshot(const fs::path &dir) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(dir, ec)))
    return out;
  for (auto it = fs::recursive_directory_iterator(dir, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::string name = fs::relative(it->path(), dir).string();
    if (it->is_symlink())
      out[name] = "-> " + fs::read_symlink(it->path()).string();
    else if (it->is_directory())
      out[name] = "(dir)";
    else
      out[name] = ReadFile(it->path());
  }
  return out;
}

ScratchDir::ScratchDir() {
  static std::mt19937_64 rng(std::random_device{}());
  path_ = fs::temp_directory_path() /
          ("platsimtest-" + std::to_string(::getpid()) + "-" + std::to_string(rng()));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

} // namespace platsimtest
