// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/qt_tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "core/partial_files.h"

extern char** environ;

namespace rw {
namespace {

using Clock = std::chrono::steady_clock;

// How long one wait for output lasts before the tool's state and the time
// limit are looked at again.
constexpr int kPollMs = 100;
// After the tool has ended, how long what is left in the pipe is read
// (leftovers of its group are stopped first, so this ends at once).
constexpr int kDrainMs = 1000;

// Appends what the tool printed and keeps only the newest kMaxToolOutput
// bytes: a tool that prints without end must not grow this program's memory.
void KeepTail(std::string& tail, const char* more, size_t size) {
  if (size == 0) return;
  if (size >= kMaxToolOutput) {
    tail.assign(more + (size - kMaxToolOutput), kMaxToolOutput);
    return;
  }
  tail.append(more, size);
  if (tail.size() > kMaxToolOutput) tail.erase(0, tail.size() - kMaxToolOutput);
}

// Reads what is in the pipe now; false once it is closed (or broken).
bool ReadAvailable(int fd, std::string& tail) {
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      KeepTail(tail, buffer, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

// True once the process has ended; it stays a zombie (WNOWAIT), so that its
// id, and the id of its process group, cannot be taken by another process
// before it is reaped.
bool HasEnded(pid_t pid, bool wait) {
  siginfo_t info{};
  int options = WEXITED | WNOWAIT | (wait ? 0 : WNOHANG);
  for (;;) {
    info.si_pid = 0;
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, options) == 0) return info.si_pid == pid;
    if (errno != EINTR) return true;  // not our child any more: nothing to wait for
  }
}

bool IsExecutableFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string Absolute(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return path;
  return std::string(buffer) + "/" + path;
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The folder of the running executable, as bytes.
std::string ExecutableFolder() {
  char buffer[4096];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  const std::string path(buffer, static_cast<size_t>(length));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

sigset_t InterruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signalNumber);
  return set;
}

}  // namespace

QtToolRunner::QtToolRunner(std::string programFolder, std::optional<std::vector<std::string>> searchPath, int timeoutMs)
    : programFolder_(std::move(programFolder)), searchPath_(std::move(searchPath)), timeoutMs_(timeoutMs) {
  if (programFolder_.empty()) programFolder_ = ExecutableFolder();
}

std::string QtToolRunner::FindTool(const std::string& name) const {
  if (name.empty() || name.find('/') != std::string::npos) return "";
  if (!programFolder_.empty()) {
    const std::string beside = InFolder(programFolder_, name);
    if (IsExecutableFile(beside)) return Absolute(beside);
  }
  std::vector<std::string> folders;
  if (searchPath_) {
    folders = *searchPath_;
  } else if (const char* path = std::getenv("PATH")) {
    const std::string list = path;
    size_t begin = 0;
    for (;;) {
      const size_t end = list.find(':', begin);
      folders.push_back(list.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
      if (end == std::string::npos) break;
      begin = end + 1;
    }
  }
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;  // no tool is looked for in whatever the current folder is
    const std::string candidate = InFolder(folder, name);
    if (IsExecutableFile(candidate)) return Absolute(candidate);
  }
  return "";
}

ToolResult QtToolRunner::Run(const std::string& toolPath, const std::vector<std::string>& arguments) {
  ToolResult result;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The tool leads a process group of its own, so that stopping it also
  // stops whatever it started (a shell script's commands, for instance); it
  // starts with no signal blocked and the usual actions for the signals this
  // program handles itself.
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults = InterruptSignals();
  for (const int signalNumber : {SIGPIPE, SIGQUIT}) sigaddset(&defaults, signalNumber);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(toolPath.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  // No interruption between the start and the registration: an interrupted
  // run must find the tool's group in the table.
  const sigset_t interrupts = InterruptSignals();
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, toolPath.c_str(), &actions, &attributes, argv.data(), environ);
  const int slot = spawned == 0 ? RegisterToolProcess(pid) : -1;
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    result.error = std::strerror(spawned);
    return result;
  }
  result.started = true;
  const int output = pipeFds[0];
  ::fcntl(output, F_SETFL, ::fcntl(output, F_GETFL) | O_NONBLOCK);

  // Read while it runs: the pipe never fills (which would stall the tool)
  // and at no time is more than one read's worth held beyond the tail.
  std::string tail;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs_);
  bool open = true;
  bool timedOut = false;
  while (!HasEnded(pid, false)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    const int wait = static_cast<int>(std::min<long long>(left, kPollMs));
    if (open) {
      pollfd ready{output, POLLIN, 0};
      if (::poll(&ready, 1, wait) > 0) open = ReadAvailable(output, tail);
    } else {
      ::usleep(static_cast<useconds_t>(std::min(wait, 20)) * 1000);
    }
  }
  // The tool's group goes with it: what it left running (or, at the time
  // limit, the tool itself and all it started). Not reaped yet, the tool
  // keeps its group's id from being reused.
  ::kill(-pid, SIGKILL);
  if (timedOut) HasEnded(pid, true);
  const auto drainEnd = Clock::now() + std::chrono::milliseconds(kDrainMs);
  while (open && Clock::now() < drainEnd) {
    pollfd ready{output, POLLIN, 0};
    if (::poll(&ready, 1, 50) > 0) open = ReadAvailable(output, tail);
  }
  ::close(output);
  int status = 0;
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  ForgetToolProcess(slot);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  result.output = std::move(tail);
  if (timedOut) {
    result.error = "was stopped after " + std::to_string((timeoutMs_ + 999) / 1000) + " seconds without finishing";
    return result;
  }
  if (!WIFEXITED(status)) {
    result.error = "ended abnormally";
    return result;
  }
  result.finished = true;
  result.exitStatus = WEXITSTATUS(status);
  return result;
}

}  // namespace rw
