#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace velboot::test {

// A child process with its standard output and error kept in files.
class Process {
 public:
  // Starts `argv` with `env` added to this process's environment.
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::string& outputPrefix);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Signal(int signal) const;
  // The exit status, or -1 after `timeoutMs` (the process is then killed).
  int Wait(int timeoutMs);
  // Waits up to timeoutMs for the first line of standard output.
  std::string FirstLine(int timeoutMs) const;
  std::string Stdout() const;
  std::string Stderr() const;

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  std::string out_, err_;
};

std::string ReadText(const std::string& path);

}  // namespace velboot::test
