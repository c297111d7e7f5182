// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli info / list: what the split window shows of a tape image, its
// "Current File" facts and its program list.

#include <QCommandLineParser>

#include <cmath>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/json_text.h"
#include "core/ports/remembered_paths.h"
#include "core/pulse_timing.h"
#include "core/utilities.h"
#include "platform/locale.h"
#include "split/program_data.h"
#include "split/program_list.h"
#include "split/turbo_listing.h"

namespace rw::cli {

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string Address(uint16_t address) { return JsonString(HexPad(address, 4)); }

std::string CopyJson(const DataCopy& copy, int depth) {
  const char* state = !copy.found ? "missing" : copy.checksumOk ? "good" : "damaged";
  return JsonObject(depth)
      .Set("state", JsonString(state))
      .Set("position", copy.found ? JsonString(OffsetText(copy.pos)) : JsonNull())
      .Set("bytesRead", JsonInteger(copy.bytesRead))
      .Set("errors", JsonInteger(copy.readErrors))
      .Set("checksum", JsonString(ChecksumText(copy.checksumOk)))
      .Text();
}

// A program's header facts and its data: each copy, and the two combined as
// the loader combines them. A program whose combined data fails its checksum
// is "damaged", whatever its copies say.
void AddDataFields(JsonObject& program, const DataResult& data) {
  const bool header = data.headerRead;
  program.Set("headerType", header ? JsonInteger(data.fileType) : JsonNull());
  program.Set("startAddress", header ? Address(data.startAddress) : JsonNull());
  program.Set("endAddress", header ? Address(data.endAddress) : JsonNull());
  program.Set("loadAddress", header && data.state != DataState::NotProgram ? Address(data.loadAddress) : JsonNull());
  JsonObject fields(program.ChildDepth());
  JsonObject combined(fields.ChildDepth());
  combined.Set("state", JsonString(DataStateText(data.state)))
      .Set("length", JsonInteger(data.Length()))
      .Set("headerLength", JsonInteger(data.HeaderLength()))
      .Set("errors", JsonInteger(data.combinedErrors))
      .Set("checksum", JsonString(ChecksumText(data.checksumOk)));
  fields.Set("first", CopyJson(data.first, fields.ChildDepth()))
      .Set("repeat", CopyJson(data.repeat, fields.ChildDepth()))
      .Set("combined", combined.Text())
      .Set("summary", JsonString(DataSummary(data)));
  program.Set("data", fields.Text());
}

// Parses `arguments` for one FILE, then loads and parses it into `list` as
// the split window does (a refused file and an image without programs are
// reported on standard error with their exact texts). Returns kGoOn, or the
// status to end with.
int LoadFileArgument(QCommandLineParser& parser, const QStringList& arguments, ProgramList& list, QString& file) {
  parser.addPositionalArgument("FILE", "The tape image (.tap).");
  const int status = ParseCommandLine(parser, arguments);
  if (status != kGoOn) return status;
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1) {
    PrintErr(arguments.first() + (positional.isEmpty() ? ": FILE is missing." : ": only one FILE is read."));
    PrintErr(CommandHelp(parser, arguments));
    return kExitUsage;
  }
  file = positional.first();
  StderrMessages messages;
  return LoadTape(list, PathFromQt(file), messages) ? kGoOn : kExitFailed;
}

// Its members set in key order, as they are written: a tape holds many
// thousand of these objects.
JsonObject TurboFileJson(const TurboFile& file, int row, int depth) {
  JsonObject object(depth);
  object.Set("checksum", JsonString(TurboChecksumText(file.checksum)))
      .Set("end", JsonString(OffsetText(file.end)))
      .Set("endAddress", JsonString(TurboEndAddressText(file)))
      .Set("errors", JsonInteger(file.readErrors))
      .Set("loadAddress", Address(file.loadAddress))
      .Set("loader", JsonString(file.loader))
      .Set("name", file.name ? JsonString(TurboFileName(file)) : JsonNull())
      .Set("program", row > 0 ? JsonInteger(row) : JsonNull())
      .Set("start", JsonString(OffsetText(file.start)));
  return object;
}

// A stretch no reader accounts for: where it lies, how long it plays, and its
// most common pulse bytes, so that a user can tell noise from a format not read.
std::string UnrecognisedJson(const ProgramList& list, const UnrecognisedStretch& stretch, int depth) {
  JsonObject object(depth);
  JsonArray pulses(object.ChildDepth());
  for (const auto& [value, count] : stretch.commonPulses) {
    pulses.Append(JsonObject(pulses.ChildDepth())
                      .Set("value", JsonInteger(value))
                      .Set("count", JsonInteger(static_cast<int64_t>(count)))
                      .Text());
  }
  const double us = PulseDuration(list.image(), stretch.start, stretch.end - 1, list.usPerCycle());
  return object.Set("start", JsonString(OffsetText(stretch.start)))
      .Set("end", JsonString(OffsetText(stretch.end)))
      .Set("duration", JsonString(DurationText(us, list.decimalSeparator())))
      .Set("commonPulses", pulses.Text())
      .Text();
}

// A turbo file as an indented line under its program: no row number, the
// family and name (or addresses), Start, End, Duration and the checksum state.
QString TurboLine(const ProgramList& list, const TurboFile& file) {
  const ListRow row = TurboListRow(list, file);
  return QStringList{"", "  " + Text(row.program), Text(row.start), Text(row.end), Text(row.duration), Text(row.check1),
                     ""}
      .join('\t');
}

}  // namespace

int RunInfo(const QStringList& arguments, StorageSync& storageSync) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Prints the facts of a tape image, one per line, as the split window shows them.");
  MemoryPaths paths;
  ProgramList list(paths, storageSync, DecimalSeparator());
  QString file;
  if (const int status = LoadFileArgument(parser, arguments, list, file); status != kGoOn) return status;
  const ImageFacts& facts = list.facts();
  PrintOut("File Path: " + file);
  PrintOut("Machine: " + Text(facts.machine));
  PrintOut("TAP version: " + Text(facts.version));
  PrintOut("Video Standard: " + Text(facts.video));
  PrintOut("File Size: " + Text(facts.size));
  PrintOut("Total Duration: " + Text(facts.totalDuration));
  PrintOut("Items: " + QString::number(list.RowCount()));
  return kExitOk;
}

int RunList(const QStringList& arguments, StorageSync& storageSync) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Prints the programs found on a tape image, one per line with tab-separated cells: row, Program, Start, "
      "End, Duration, Check1, Check2.");
  parser.addOption({"json",
                    "Print one JSON object with the image's facts and every program, with its header type, "
                    "addresses and whether its data reads whole, the turbo files and the coverage."});
  parser.addOption({"turbo",
                    "Also print the turbo files (data saved by a faster loader), each indented under the program "
                    "whose stretch carries it: Program (loader and name or addresses), Start, End, Duration, "
                    "Check1 (checksum OK, ERROR or none)."});
  MemoryPaths paths;
  ProgramList list(paths, storageSync, DecimalSeparator());
  QString file;
  if (const int status = LoadFileArgument(parser, arguments, list, file); status != kGoOn) return status;
  const auto& rows = list.rows();
  const auto& sections = list.sections();

  if (!parser.isSet("json")) {
    TurboListing turbo;
    if (parser.isSet("turbo")) turbo = ListTurboFiles(list.image(), sections, ReadListData(list), TurboBytes::Dropped);
    size_t next = 0;
    const auto printTurbo = [&](size_t row) {
      for (; next < turbo.files.size() && turbo.rows[next] == static_cast<int>(row); ++next) {
        PrintOut(TurboLine(list, turbo.files[next]));
      }
    };
    printTurbo(0);
    for (size_t i = 0; i < rows.size(); ++i) {
      const ListRow& row = rows[i];
      PrintOut(QStringList{QString::number(i + 1), Text(row.program), Text(row.start), Text(row.end),
                           Text(row.duration), Text(row.check1), Text(row.check2)}
                   .join('\t'));
      printTurbo(i + 1);
    }
    return kExitOk;
  }

  const ImageFacts& facts = list.facts();
  const std::vector<DataResult> data = ReadListData(list);
  const TurboListing turbo = ListTurboFiles(list.image(), sections, data, TurboBytes::Dropped);
  JsonObject image;
  JsonArray unrecognised(image.ChildDepth());
  for (const UnrecognisedStretch& stretch : turbo.unrecognised) {
    unrecognised.Append(UnrecognisedJson(list, stretch, unrecognised.ChildDepth()));
  }
  JsonArray programs(image.ChildDepth());
  for (size_t i = 0; i < rows.size(); ++i) {
    const ListRow& row = rows[i];
    const TapeSection& section = sections[i];
    JsonObject program(programs.ChildDepth());
    program.Set("row", JsonInteger(static_cast<int64_t>(i + 1)))
        .Set("program", JsonString(row.program))
        .Set("start", JsonString(row.start))
        .Set("end", JsonString(row.end))
        .Set("duration", JsonString(row.duration))
        .Set("check1", JsonString(row.check1))
        .Set("check2", JsonString(row.check2))
        .Set("rawName",
             JsonString(QString::fromLatin1(section.rawName.data(), static_cast<qsizetype>(section.rawName.size()))))
        .Set("headerPos", JsonInteger(section.headerPos))
        .Set("repeatPos", JsonInteger(section.repeatPos));
    AddDataFields(program, data[i]);
    programs.Append(program);
  }
  const TapeCoverage coverage = RoundedCoverage(turbo.coverage);
  image.Set("path", JsonString(ForDisplay(file)))
      .Set("machine", JsonString(facts.machine))
      .Set("version", JsonInteger(list.image().version))
      .Set("video", JsonString(facts.video))
      .Set("size", JsonString(facts.size))
      .Set("totalDuration", JsonString(facts.totalDuration))
      .Set("programs", std::move(programs).Text())
      .SetLater("turboFiles",
                [&](const JsonWrite& write) {
                  // Tens of thousands on a long tape: written out in stretches as they are made.
                  constexpr size_t kStretch = 1 << 16;
                  JsonArray files(image.ChildDepth());
                  for (size_t i = 0; i < turbo.files.size(); ++i) {
                    files.Append(TurboFileJson(turbo.files[i], turbo.rows[i], files.ChildDepth()));
                    files.WriteOut(write, kStretch);
                  }
                  files.Finish(write);
                })
      .Set("coverage", JsonObject(image.ChildDepth())
                           .Set("romPercent", JsonDouble(coverage.romPercent))
                           .Set("turboPercent", JsonDouble(coverage.turboPercent))
                           .Set("pausePercent", JsonDouble(coverage.pausePercent))
                           .Set("unrecognisedPercent", JsonDouble(coverage.unrecognisedPercent))
                           .Text())
      .Set("unrecognised", std::move(unrecognised).Text());
  image.Write(WriteOutUtf8);
  WriteOutUtf8("\n");
  return kExitOk;
}

}  // namespace rw::cli
