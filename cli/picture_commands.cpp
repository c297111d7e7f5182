// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli map / pulses: the tape's map and a program's pulse
// histogram as SVG or PNG pictures.

#include <QCommandLineParser>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/ports/remembered_paths.h"
#include "core/safe_file.h"
#include "core/utilities.h"
#include "platform/locale.h"
#include "platform/picture_painter.h"
#include "split/program_list.h"
#include "split/tape_pictures.h"
#include "split/tape_survey.h"

namespace rw::cli {
namespace {

enum class PictureFormat : uint8_t { Svg, Png };

void AddPictureOptions(QCommandLineParser& parser) {
  parser.addPositionalArgument("FILE", "The tape image (.tap).");
  parser.addOption({{"o", "output"}, "The picture to write: a name ending in .svg or .png.", "OUTFILE"});
  parser.addOption({"force", "Replace OUTFILE if it exists."});
}

// Checks FILE and OUTFILE, then loads FILE into `list`. Returns kGoOn, or
// the status to end with (the reason printed).
int PreparePicture(const QCommandLineParser& parser, ProgramList& list, PictureFormat& format) {
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1) {
    return UsageError(positional.isEmpty() ? "FILE is missing; see --help." : "Only one FILE is read; see --help.");
  }
  const QString output = parser.value("output");
  if (output.isEmpty()) return UsageError("-o OUTFILE is missing; see --help.");
  const QString suffix = QFileInfo(output).suffix().toLower();
  if (suffix != "svg" && suffix != "png") return UsageError("-o " + output + ": the name must end in .svg or .png.");
  format = suffix == "svg" ? PictureFormat::Svg : PictureFormat::Png;

  StderrMessages messages;
  const std::string path = PathFromQt(output);
  if (FolderExists(path) || (!parser.isSet("force") && FileExists(path))) {
    messages.Critical("WARNING", "File " + path + " Already exists ! Use --force to overwrite it.");
    return kExitFailed;
  }
  return LoadTape(list, PathFromQt(positional.first()), messages) ? kGoOn : kExitFailed;
}

int WritePicture(const QCommandLineParser& parser, const Picture& picture, PictureFormat format,
                 StorageSync& storageSync) {
  const std::string path = PathFromQt(parser.value("output"));
  std::string error;
  bool written = false;
  if (format == PictureFormat::Svg) {
    const std::string svg = PictureSvg(picture);
    written = WriteWholeFile(storageSync, path, svg.data(), svg.size(), parser.isSet("force"), error);
  } else {
    const QByteArray png = PicturePng(picture);
    if (png.isEmpty()) {
      error = "the picture could not be rendered";
    } else {
      written = WriteWholeFile(storageSync, path, png.constData(), static_cast<size_t>(png.size()),
                               parser.isSet("force"), error);
    }
  }
  if (!written) {
    StderrMessages messages;
    messages.Critical("ERROR!", "Error while creating file " + path + " : " + error);
    return kExitFailed;
  }
  PrintOut("Written " + parser.value("output"));
  return kExitOk;
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int RunMap(const QStringList& arguments, StorageSync& storageSync) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Draws a map of FILE into OUTFILE (SVG or PNG): one band per ROM-saved program, turbo file, pause and "
      "stretch no reader recognises, coloured by kind and as wide as it plays, over a time axis, with a legend "
      "giving each kind's share of the playing time. Stretches narrower than a pixel merge. Never replaces an "
      "existing OUTFILE unless --force is given.");
  AddPictureOptions(parser);
  parser.addOption({"width", "The picture's width in pixels, 300 to 20000 (default 1200).", "PIXELS", "1200"});
  if (const int status = ParseCommandLine(parser, arguments); status != kGoOn) return status;
  bool number = false;
  const int width = parser.value("width").toInt(&number);
  if (!number || width < 300 || width > 20000) {
    return UsageError("--width " + parser.value("width") + ": a whole number from 300 to 20000 is needed.");
  }
  MemoryPaths paths;
  ProgramList list(paths, storageSync, DecimalSeparator());
  PictureFormat format = PictureFormat::Svg;
  if (const int status = PreparePicture(parser, list, format); status != kGoOn) return status;
  const TapeSurvey survey = SurveyTape(list);
  const Picture picture =
      TapeMapPicture(survey.map, list.sections(), survey.turbo.files, FileNameOf(list.loadedPath()), width);
  return WritePicture(parser, picture, format, storageSync);
}

int RunPulses(const QStringList& arguments, StorageSync& storageSync) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Draws the histogram of pulse widths of one program's stretch of FILE (from its leader to the next "
      "program's) into OUTFILE (SVG or PNG), on a logarithmic scale, with the ROM pulse classes tuned to its "
      "header and the threshold of each turbo loader found in the stretch drawn over it. Never replaces an "
      "existing OUTFILE unless --force is given.");
  AddPictureOptions(parser);
  parser.addOption({"select", "The program's row number, as list prints it.", "ROW"});
  if (const int status = ParseCommandLine(parser, arguments); status != kGoOn) return status;
  if (!parser.isSet("select")) return UsageError("--select ROW is missing; see --help.");
  bool number = false;
  const int row = parser.value("select").trimmed().toInt(&number);
  if (!number || row < 1) return UsageError("--select " + parser.value("select") + ": one row number is needed.");
  MemoryPaths paths;
  ProgramList list(paths, storageSync, DecimalSeparator());
  PictureFormat format = PictureFormat::Svg;
  if (const int status = PreparePicture(parser, list, format); status != kGoOn) return status;
  if (row > list.RowCount()) {
    return UsageError("--select " + QString::number(row) + ": the tape has " + QString::number(list.RowCount()) +
                      " programs.");
  }
  const TapeSurvey survey = SurveyTape(list);
  const TapeSection& section = list.sections()[static_cast<size_t>(row - 1)];
  const PulseHistogram histogram = ProgramPulses(list.image(), list.sections(), row, survey.turbo.files);
  const Picture picture =
      PulsePicture(histogram, FileNameOf(list.loadedPath()) + ", program " + std::to_string(row) + ": " + section.name +
                                  " (" + OffsetText(histogram.start) + "-" + OffsetText(histogram.end) + ")");
  return WritePicture(parser, picture, format, storageSync);
}

}  // namespace rw::cli
