#include "tests/support/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

extern char** environ;

namespace velboot::test {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& outputPrefix)
    : out_(outputPrefix + ".out"), err_(outputPrefix + ".err") {
  pid_ = ::fork();
  if (pid_ != 0) return;
  int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  int devnull = ::open("/dev/null", O_RDONLY);
  ::dup2(devnull, STDIN_FILENO);
  for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

Process::~Process() {
  if (!reaped_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void Process::Signal(int signal) const { ::kill(pid_, signal); }

int Process::Wait(int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      reaped_ = true;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  reaped_ = true;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

std::string Process::FirstLine(int timeoutMs) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string text = ReadText(out_);
    size_t end = text.find('\n');
    if (end != std::string::npos) return text.substr(0, end);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return {};
}

std::string Process::Stdout() const { return ReadText(out_); }
std::string Process::Stderr() const { return ReadText(err_); }

}  // namespace velboot::test
