#include "cli/cli_support.h"
#include "cli/commands.h"

namespace rw::cli {

int RunInfo(const QStringList& arguments) {
  PrintErr(arguments.first() + ": not available yet");
  return kExitUsage;
}

int RunList(const QStringList& arguments) {
  PrintErr(arguments.first() + ": not available yet");
  return kExitUsage;
}

}  // namespace rw::cli
