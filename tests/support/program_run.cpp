// SPDX-License-Identifier: GPL-2.0-or-later
#include "support/program_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

extern char** environ;

namespace rw::test {

RunningProgram::RunningProgram(const std::string& program, const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment) {
  // env sets the variables over the test's own and then becomes the program,
  // under the same process id (which is what Signal signals).
  std::vector<std::string> argvText{"env", "LC_ALL=C"};
  argvText.insert(argvText.end(), environment.begin(), environment.end());
  argvText.push_back(program);
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argvText) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, files_.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, files_.File("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  if (posix_spawn(&pid, "/usr/bin/env", &actions, &attributes, argv.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0 && status_ < 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void RunningProgram::Signal(int signalNumber) const {
  if (pid_ > 0 && status_ < 0) ::kill(pid_, signalNumber);
}

bool RunningProgram::Running() {
  if (pid_ <= 0 || status_ >= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

int RunningProgram::Wait(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() > end) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      status_ = 1000;  // reaped; reported as not ended
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_ == 1000 ? -1 : status_;
}

std::string RunningProgram::out() const { return ReadFileText(files_.File("out")); }
std::string RunningProgram::err() const { return ReadFileText(files_.File("err")); }

ProgramOutcome RunCliBytes(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                           int timeoutMs) {
  RunningProgram program(REELWRIGHT_CLI, arguments, environment);
  const int code = program.Wait(timeoutMs);
  return {code, program.out(), program.err()};
}

bool Ended(pid_t pid) {
  for (int i = 0; i < 100; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t state = line.rfind(')') + 2;
    if (state < line.size() && line[state] == 'Z') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace rw::test
