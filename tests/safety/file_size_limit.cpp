#include "file_size_limit.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstring>

namespace rw::test {
namespace {

// Messages travel through a pipe, which the size limit does not cover:
// title, icon and text, each text preceded by its length.
void Put(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n <= 0) return;
    p += n;
    size -= static_cast<size_t>(n);
  }
}

void PutText(int fd, const std::string& text) {
  const uint32_t size = static_cast<uint32_t>(text.size());
  Put(fd, &size, sizeof size);
  Put(fd, text.data(), text.size());
}

bool Get(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool GetText(int fd, std::string& text) {
  uint32_t size = 0;
  if (!Get(fd, &size, sizeof size)) return false;
  text.resize(size);
  return Get(fd, text.data(), size);
}

}  // namespace

LimitedRun RunWithFileSizeLimit(size_t limitBytes, const std::function<bool(Messages&)>& step) {
  LimitedRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return run;
  }
  if (child == 0) {
    close(fds[0]);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{limitBytes, limitBytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    RecordedMessages messages;
    const bool ok = step(messages);
    for (const Message& message : messages.shown) {
      PutText(fds[1], message.title);
      const int32_t icon = static_cast<int32_t>(message.icon);
      Put(fds[1], &icon, sizeof icon);
      PutText(fds[1], message.text);
    }
    close(fds[1]);
    _exit(ok ? 0 : 1);
  }
  close(fds[1]);
  Message message;
  int32_t icon = 0;
  while (GetText(fds[0], message.title) && Get(fds[0], &icon, sizeof icon) && GetText(fds[0], message.text)) {
    message.icon = static_cast<MessageIcon>(icon);
    run.messages.push_back(message);
  }
  close(fds[0]);
  int status = 0;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) <= 1) {
    run.ran = true;
    run.succeeded = WEXITSTATUS(status) == 0;
  }
  return run;
}

}  // namespace rw::test
