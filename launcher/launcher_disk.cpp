// SPDX-License-Identifier: GPL-2.0-or-later
#include "launcher/launcher_disk.h"

#include <exception>
#include <filesystem>
#include <system_error>

#include "core/safe_file.h"
#include "core/utilities.h"
#include "launcher/device_answer.h"
#include "launcher/launcher_text.h"
#include "launcher/staged_disk_image.h"

namespace rw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kErrorTitle = "ERROR!";
constexpr const char* kNoTemporaryFile = "no file could be made in the temporary folder (TMPDIR)";

struct ToolPaths {
  std::string c1541;
  std::string petcat;
};

// Looks both tools up and names the missing ones, so that nothing is asked or
// written when the disk could not be made anyway.
Outcome FindTools(const LauncherServices& services, ToolPaths& paths) {
  paths.c1541 = services.tools.FindTool("c1541");
  paths.petcat = services.tools.FindTool("petcat");
  if (!paths.c1541.empty() && !paths.petcat.empty()) return Outcome::Success();
  const bool both = paths.c1541.empty() && paths.petcat.empty();
  const std::string names = both ? "c1541 and petcat" : paths.c1541.empty() ? "c1541" : "petcat";
  return Outcome::Failure(FailureKind::SystemError,
                          "Cannot build the launcher disk: " + names + (both ? " were" : " was") +
                              " not found. Install VICE, which provides " + (both ? "them" : "it") + ", or place " +
                              names + " in " + services.tools.ProgramFolder() + " !",
                          kErrorTitle);
}

bool NonEmptyFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(path, error) && fs::file_size(path, error) > 0 && !error;
}

// The tape image's name goes into every launcher as the device is to find it
// on the SD card; it cannot be changed to fit, so a name that cannot be sent
// stops the build before anything is asked or written.
Outcome ImageNameCanBeSent(const LauncherDiskInput& input) {
  const std::string name = LauncherImageName(input.imagePath);
  const std::string problem = QuotedTextProblem(name);
  if (problem.empty()) return Outcome::Success();
  return Outcome::Failure(FailureKind::Refused,
                          "Cannot build the launcher disk: the name of the tape image " + name + " holds " + problem +
                              ", which a launcher program cannot send to the device. Rename the "
                              "file (and its copy on the SD card) !",
                          kErrorTitle);
}

Outcome DirectoryCanBeSent(const LauncherDevice& device) {
  if (QuotedTextProblem(device.directory).empty()) return Outcome::Success();
  return Outcome::Failure(FailureKind::Refused, kDirectoryCharacterError, kDeviceRefusalTitle);
}

class DiskBuild {
 public:
  DiskBuild(const LauncherDiskInput& input, const LauncherDevice& device, const LauncherServices& services,
            const ToolPaths& tools)
      : input_(input),
        device_(device),
        s_(services),
        tools_(tools),
        disk_(LauncherDiskPath(input.outputFolder, input.imagePath)),
        imageName_(LauncherImageName(input.imagePath)),
        staged_(services.tools, tools.c1541) {}

  LauncherResult Run() {
    // Agreeing only allows the finished disk to take the name; until then
    // whatever is there (a file, or a link, which is replaced as a link)
    // stays untouched.
    const bool replace = NameTaken(disk_);
    if (replace && !s_.messages.AskYesNo("WARNING", MessageIcon::Exclamation,
                                         "File " + disk_ + " Already exists ! Would you like to overwrite it ?")) {
      return LauncherOutcome::NotStarted;
    }
    s_.dialogs.SetBusy(true);
    std::string failure;
    if (!staged_.Format(disk_, "launcher,id", "d64", failure)) return Fail(failure);

    s_.settings.forAllRemaining = false;
    s_.settings.launcherCancelled = false;
    // Nothing below throws by design; memory running out half-way (a
    // std::bad_alloc from a text) still ends as a failure that takes the
    // staged image away, rather than ending the program with it left behind.
    try {
      const int total = static_cast<int>(input_.programs.size());
      s_.dialogs.SetProgress(0, total);
      int n = 1;
      for (const LauncherProgram& program : input_.programs) {
        if (Outcome added = AddProgram(program, n); !added) return added;
        if (s_.settings.launcherCancelled) break;
        s_.dialogs.SetProgress(n, total);
        ++n;
      }
    } catch (const std::exception& error) {
      return Fail(error.what());
    }

    if (s_.settings.launcherCancelled) {
      staged_.Discard();
      s_.dialogs.SetBusy(false);
      s_.messages.Info("INFO", "Operation Aborted, D64 Index file not created !");
      return LauncherOutcome::Aborted;
    }
    if (!staged_.Commit(replace, failure)) return Fail(failure);
    s_.dialogs.SetBusy(false);
    s_.messages.Info("INFO", "Index Disk " + disk_ + " successfully created !");
    return LauncherOutcome::Created;
  }

 private:
  // One program onto the disk; a success too when the user cancelled.
  Outcome AddProgram(const LauncherProgram& program, int n) {
    std::string name = program.name;
    s_.dialogs.SetBusy(false);
    if (!s_.settings.forAllRemaining) {
      const std::string proposed = LauncherEntryName(name, n);
      name = ApplyTargetAnswer(s_.dialogs.AskTarget(proposed, name), proposed, s_.settings);
    }
    if (s_.settings.launcherCancelled) return Outcome::Success();
    s_.dialogs.SetBusy(true);
    const std::string diskFileName = LauncherEntryName(name, n);

    TemporaryFiles temporary;
    const std::string text = temporary.Make("RWLM");
    if (!FileExists(text)) return Fail(kNoTemporaryFile);
    const std::string launcher = LauncherText(device_.device, device_.directory, imageName_, LowerText(program.start),
                                              s_.settings.autostartLine);
    std::string error;
    if (!WriteTemporaryFile(text, launcher.data(), launcher.size(), error)) return Fail(error);

    // petcat leaves the program file empty when it cannot tokenise the text;
    // an empty file must not end up on the disk as a launcher.
    const std::string tokenised = temporary.Make("TAPO");
    if (tokenised.empty()) return Fail(kNoTemporaryFile);
    const ToolResult petcat =
        s_.tools.Run(tools_.petcat, TokeniseArguments(s_.settings.petcatOptions, tokenised, text));
    if (!petcat.Succeeded() || !NonEmptyFile(tokenised)) return Fail(ToolFailureText("petcat", petcat, "program file"));
    if (!staged_.Write(tokenised, diskFileName, error)) return Fail(error);
    return Outcome::Success();
  }

  // Every failure names the disk image it was building and says why; the
  // staged image and the temporary files go with it.
  Outcome Fail(const std::string& why) {
    staged_.Discard();
    s_.dialogs.SetBusy(false);
    return FileCreationFailure(disk_, why);
  }

  const LauncherDiskInput& input_;
  const LauncherDevice& device_;
  const LauncherServices& s_;
  const ToolPaths& tools_;
  const std::string disk_;
  const std::string imageName_;
  StagedDiskImage staged_;
};

}  // namespace

LauncherResult BuildLauncherDisk(const LauncherDiskInput& input, const LauncherServices& services) {
  ToolPaths tools;
  if (Outcome found = FindTools(services, tools); !found) return found;
  if (Outcome named = ImageNameCanBeSent(input); !named) return named;
  const DeviceAnswer answer = services.dialogs.AskDevice();
  if (answer.cancelled) return LauncherOutcome::NotStarted;
  const LauncherDevice device{answer.device, answer.directory};
  if (Outcome sendable = DirectoryCanBeSent(device); !sendable) return sendable;
  return DiskBuild(input, device, services, tools).Run();
}

LauncherResult BuildLauncherDiskFor(const LauncherDiskInput& input, const LauncherDevice& device,
                                    const LauncherServices& services) {
  ToolPaths tools;
  if (Outcome found = FindTools(services, tools); !found) return found;
  if (Outcome named = ImageNameCanBeSent(input); !named) return named;
  if (Outcome sendable = DirectoryCanBeSent(device); !sendable) return sendable;
  return DiskBuild(input, device, services, tools).Run();
}

}  // namespace rw
