#include "cli/cli_support.h"
#include "cli/commands.h"

namespace rw::cli {

int RunSplit(const QStringList& arguments) {
  PrintErr(arguments.first() + ": not available yet");
  return kExitUsage;
}

int RunIndex(const QStringList& arguments) {
  PrintErr(arguments.first() + ": not available yet");
  return kExitUsage;
}

}  // namespace rw::cli
