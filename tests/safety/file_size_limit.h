#pragma once
// A full disk, simulated: runs a step in a child process whose files may not
// grow beyond a few bytes (RLIMIT_FSIZE, with SIGXFSZ ignored, so a write
// past the limit fails with "File too large" as on a full disk). The child
// hands back whether the step succeeded and the messages it showed.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace rw::test {

struct LimitedRun {
  bool ran = false;        // the child ran the step to its end
  bool succeeded = false;  // what the step returned
  std::vector<Message> messages;
};

LimitedRun RunWithFileSizeLimit(size_t limitBytes, const std::function<bool(Messages&)>& step);

}  // namespace rw::test
