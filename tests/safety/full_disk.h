#pragma once
// A full disk, simulated inside a death test's child: its files may not grow
// beyond a few bytes (RLIMIT_FSIZE, with SIGXFSZ ignored, so a write past the
// limit fails with "File too large" as on a full disk). The child then prints
// each message the step showed as "title|icon|text" on standard error and
// exits with 0 when the step succeeded, 1 when it failed.

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/messages.h"

namespace rw::test {

inline void RunOnFullDisk(rlim_t limitBytes, const std::function<bool(Messages&)>& step) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlim_t unlimited = limit.rlim_cur;
  limit.rlim_cur = limitBytes;
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
  RecordedMessages messages;
  const bool ok = step(messages);
  limit.rlim_cur = unlimited;  // the death test's standard error is a file too
  setrlimit(RLIMIT_FSIZE, &limit);
  for (const Message& m : messages.shown) {
    std::fprintf(stderr, "%s|%d|%s\n", m.title.c_str(), static_cast<int>(m.icon), m.text.c_str());
  }
  std::_Exit(ok ? 0 : 1);
}

// A pattern for exactly `text` on standard error, after what `before` matches.
inline std::string Exactly(const std::string& text, const std::string& before = "") {
  std::string pattern = "^" + before;
  for (const char c : text) {
    if (std::strchr(".[]()*+?{}|^$\\", c)) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

}  // namespace rw::test
