// SPDX-License-Identifier: GPL-2.0-or-later
// reelwright-cli info / list: what the split window shows of a tape image, its
// "Current File" facts and its program list.

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "cli/cli_support.h"
#include "cli/commands.h"
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

QString Address(uint16_t address) { return Text(HexPad(address, 4)); }

QJsonObject CopyJson(const DataCopy& copy) {
  const char* state = !copy.found ? "missing" : copy.checksumOk ? "good" : "damaged";
  return QJsonObject{
      {"state", state},
      {"position", copy.found ? QJsonValue(Text(OffsetText(copy.pos))) : QJsonValue()},
      {"bytesRead", static_cast<qint64>(copy.bytesRead)},
      {"errors", static_cast<qint64>(copy.readErrors)},
      {"checksum", ChecksumText(copy.checksumOk)},
  };
}

// A program's header facts and its data: each copy, and the two combined as
// the loader combines them. A program whose combined data fails its checksum
// is "damaged", whatever its copies say.
void AddDataFields(QJsonObject& program, const DataResult& data) {
  const bool header = data.headerRead;
  program.insert("headerType", header ? QJsonValue(data.fileType) : QJsonValue());
  program.insert("startAddress", header ? QJsonValue(Address(data.startAddress)) : QJsonValue());
  program.insert("endAddress", header ? QJsonValue(Address(data.endAddress)) : QJsonValue());
  program.insert("loadAddress",
                 header && data.state != DataState::NotProgram ? QJsonValue(Address(data.loadAddress)) : QJsonValue());
  program.insert("data", QJsonObject{
                             {"first", CopyJson(data.first)},
                             {"repeat", CopyJson(data.repeat)},
                             {"combined", QJsonObject{{"state", DataStateText(data.state)},
                                                      {"length", static_cast<qint64>(data.Length())},
                                                      {"headerLength", static_cast<qint64>(data.HeaderLength())},
                                                      {"errors", static_cast<qint64>(data.combinedErrors)},
                                                      {"checksum", ChecksumText(data.checksumOk)}}},
                             {"summary", Text(DataSummary(data))},
                         });
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
  return Report(list.LoadAndParse(PathFromQt(file), messages)) ? kGoOn : kExitFailed;
}

QJsonObject TurboFileJson(const TurboFile& file, int row) {
  const std::string name = TurboFileName(file);
  return QJsonObject{
      {"loader", Text(file.loader)},
      {"start", Text(OffsetText(file.start))},
      {"end", Text(OffsetText(file.end))},
      {"loadAddress", Address(file.loadAddress)},
      {"endAddress", Text(TurboEndAddressText(file))},
      {"name", file.name ? QJsonValue(Text(name)) : QJsonValue()},
      {"checksum", TurboChecksumText(file.checksum)},
      {"errors", static_cast<qint64>(file.readErrors)},
      {"program", row > 0 ? QJsonValue(row) : QJsonValue()},
  };
}

// A stretch no reader accounts for: where it lies, how long it plays, and its
// most common pulse bytes, so that a user can tell noise from a format not read.
QJsonObject UnrecognisedJson(const ProgramList& list, const UnrecognisedStretch& stretch) {
  QJsonArray pulses;
  for (const auto& [value, count] : stretch.commonPulses) {
    pulses.append(QJsonObject{{"value", static_cast<int>(value)}, {"count", static_cast<qint64>(count)}});
  }
  const double us = PulseDuration(list.image(), stretch.start, stretch.end - 1, list.usPerCycle());
  return QJsonObject{
      {"start", Text(OffsetText(stretch.start))},
      {"end", Text(OffsetText(stretch.end))},
      {"duration", Text(DurationText(us, list.decimalSeparator()))},
      {"commonPulses", pulses},
  };
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

int RunInfo(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription("Prints the facts of a tape image, one per line, as the split window shows them.");
  MemoryPaths paths;
  ProgramList list(paths, DecimalSeparator());
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

int RunList(const QStringList& arguments) {
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
  ProgramList list(paths, DecimalSeparator());
  QString file;
  if (const int status = LoadFileArgument(parser, arguments, list, file); status != kGoOn) return status;
  const auto& rows = list.rows();
  const auto& sections = list.sections();

  if (!parser.isSet("json")) {
    TurboListing turbo;
    if (parser.isSet("turbo")) turbo = ListTurboFiles(list.image(), sections, ReadListData(list));
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
  const TurboListing turbo = ListTurboFiles(list.image(), sections, data);
  QJsonArray turboFiles;
  for (size_t i = 0; i < turbo.files.size(); ++i) turboFiles.append(TurboFileJson(turbo.files[i], turbo.rows[i]));
  QJsonArray unrecognised;
  for (const UnrecognisedStretch& stretch : turbo.unrecognised) {
    unrecognised.append(UnrecognisedJson(list, stretch));
  }
  QJsonArray programs;
  for (size_t i = 0; i < rows.size(); ++i) {
    const ListRow& row = rows[i];
    const TapeSection& section = sections[i];
    QJsonObject program{
        {"row", static_cast<qint64>(i + 1)},
        {"program", Text(row.program)},
        {"start", Text(row.start)},
        {"end", Text(row.end)},
        {"duration", Text(row.duration)},
        {"check1", Text(row.check1)},
        {"check2", Text(row.check2)},
        {"rawName", QString::fromLatin1(section.rawName.data(), static_cast<qsizetype>(section.rawName.size()))},
        {"headerPos", static_cast<qint64>(section.headerPos)},
        {"repeatPos", static_cast<qint64>(section.repeatPos)},
    };
    AddDataFields(program, data[i]);
    programs.append(program);
  }
  const TapeCoverage coverage = RoundedCoverage(turbo.coverage);
  const QJsonObject image{
      {"path", ForDisplay(file)},
      {"machine", Text(facts.machine)},
      {"version", static_cast<int>(list.image().version)},
      {"video", Text(facts.video)},
      {"size", Text(facts.size)},
      {"totalDuration", Text(facts.totalDuration)},
      {"programs", programs},
      {"turboFiles", turboFiles},
      {"coverage", QJsonObject{{"romPercent", coverage.romPercent},
                               {"turboPercent", coverage.turboPercent},
                               {"pausePercent", coverage.pausePercent},
                               {"unrecognisedPercent", coverage.unrecognisedPercent}}},
      {"unrecognised", unrecognised},
  };
  // Qt writes well-formed UTF-8, the document's own bytes: printed as they
  // are, without two more copies of a document that is a tenth of the tape.
  PrintOutUtf8(QJsonDocument(image).toJson(QJsonDocument::Indented).trimmed());
  return kExitOk;
}

}  // namespace rw::cli
