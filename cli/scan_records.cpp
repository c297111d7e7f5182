// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli/scan_records.h"

#include <cstdio>
#include <optional>

#include "core/tape_coverage.h"
#include "core/utf8.h"

namespace rw::cli {
namespace {

std::string Left(const std::string& text, size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string Right(const std::string& text, size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string Number(std::optional<int> value) { return value ? std::to_string(*value) : std::string(); }

std::string JsonNumber(std::optional<int> value) { return value ? std::to_string(*value) : "null"; }

std::string JsonFlag(std::optional<bool> value) {
  if (!value) return "null";
  return *value ? "true" : "false";
}

std::string CheckText(bool ok) { return ok ? "OK" : "ERROR"; }

std::string DataText(std::optional<bool> damaged) {
  if (!damaged) return "";
  return *damaged ? "ERROR" : "OK";
}

// The table's columns; the path comes last because its width varies.
std::string TableLine(const std::string& machine, const std::string& version, const std::string& video,
                      const std::string& size, const std::string& duration, const std::string& programs,
                      const std::string& headerErrors, const std::string& dataDamaged, const std::string& path) {
  std::string line = Left(machine, 16) + Left(version, 9) + Left(video, 6) + Right(size, 10) + "  " +
                     Right(duration, 11) + "  " + Right(programs, 8) + "  " + Right(headerErrors, 13);
  if (kDataResultsAvailable) line += "  " + Right(dataDamaged, 12);
  return line + "  " + path + "\n";
}

std::string PercentText(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

// "coverage: ROM 10.00%, turbo 89.50%, pauses 0.40%, unrecognised 0.10%",
// the shares adding up to 100.
std::string CoverageText(const TapeCoverage& coverage) {
  const TapeCoverage c = RoundedCoverage(coverage);
  return "coverage: ROM " + PercentText(c.romPercent) + "%, turbo " + PercentText(c.turboPercent) + "%, pauses " +
         PercentText(c.pausePercent) + "%, unrecognised " + PercentText(c.unrecognisedPercent) + "%";
}

std::string CoverageJson(const TapeCoverage& coverage) {
  const TapeCoverage c = RoundedCoverage(coverage);
  return "{\"romPercent\":" + PercentText(c.romPercent) + ",\"turboPercent\":" + PercentText(c.turboPercent) +
         ",\"pausePercent\":" + PercentText(c.pausePercent) +
         ",\"unrecognisedPercent\":" + PercentText(c.unrecognisedPercent) + "}";
}

// The turbo files, where the tape holds any, and the coverage.
std::string TurboTableLines(const TapeSummary& tape) {
  if (tape.turboFiles == 0) return "    " + CoverageText(tape.coverage) + "\n";
  std::string text = "    turbo files: " + std::to_string(tape.turboFiles) +
                     ", bad checksums: " + std::to_string(tape.damagedTurboFiles.size()) + "; " +
                     CoverageText(tape.coverage) + "\n";
  for (const auto& file : tape.damagedTurboFiles) text += "    turbo file " + file + ": checksum ERROR\n";
  return text;
}

std::string TurboJsonFields(const TapeSummary& tape) {
  std::string damaged;
  for (const auto& file : tape.damagedTurboFiles) damaged += (damaged.empty() ? "" : ",") + JsonString(file);
  return ",\"turboFiles\":" + std::to_string(tape.turboFiles) + ",\"damagedTurboFiles\":[" + damaged +
         "],\"coverage\":" + CoverageJson(tape.coverage);
}

std::string TableRecord(const TapeSummary& tape) {
  if (tape.Refused()) return "Refused: " + TableText(tape.refusal) + "\n";
  std::string text = TableLine(tape.machine, "TAP V" + std::to_string(tape.version), tape.video, tape.size,
                               tape.duration, std::to_string(tape.programs.size()), std::to_string(tape.HeaderErrors()),
                               Number(tape.DataDamaged()), TableText(tape.path));
  // Every damaged program by row and name, so that the table alone says
  // which programs to look at.
  for (const auto& program : tape.programs) {
    if (!program.Damaged()) continue;
    text += "    program " + std::to_string(program.row) + " \"" + TableText(program.name) + "\": header " +
            CheckText(program.headerOk) + ", repeat " + CheckText(program.repeatOk);
    if (program.dataDamaged) text += ", data " + DataText(program.dataDamaged);
    text += "\n";
  }
  return text + TurboTableLines(tape);
}

std::string JsonRecord(const TapeSummary& tape) {
  if (tape.Refused()) {
    return "{\"path\":" + JsonString(tape.path) + ",\"refused\":" + JsonString(tape.refusal) +
           (tape.folder ? ",\"folder\":true}\n" : "}\n");
  }
  std::string text = "{\"path\":" + JsonString(tape.path) +
                     ",\"refused\":null,\"machine\":" + JsonString(tape.machine) +
                     ",\"version\":" + std::to_string(tape.version) + ",\"video\":" + JsonString(tape.video) +
                     ",\"size\":" + JsonString(tape.size) + ",\"totalDuration\":" + JsonString(tape.duration) +
                     ",\"programCount\":" + std::to_string(tape.programs.size()) +
                     ",\"headerErrors\":" + std::to_string(tape.HeaderErrors()) +
                     ",\"dataDamaged\":" + JsonNumber(tape.DataDamaged()) + TurboJsonFields(tape) + ",\"programs\":[";
  for (size_t i = 0; i < tape.programs.size(); ++i) {
    const auto& program = tape.programs[i];
    if (i > 0) text += ",";
    text += "{\"row\":" + std::to_string(program.row) + ",\"program\":" + JsonString(program.name) +
            ",\"rawName\":" + JsonString(program.rawName) + ",\"start\":" + JsonString(program.start) +
            ",\"end\":" + JsonString(program.end) + ",\"duration\":" + JsonString(program.duration) +
            ",\"check1\":" + JsonString(CheckText(program.headerOk)) +
            ",\"check2\":" + JsonString(CheckText(program.repeatOk)) +
            ",\"dataDamaged\":" + JsonFlag(program.dataDamaged) + "}";
  }
  return text + "]}\n";
}

std::string CsvRow(std::initializer_list<std::string> fields) {
  std::string row;
  bool first = true;
  for (const auto& field : fields) {
    if (!first) row += ",";
    first = false;
    row += CsvField(field);
  }
  return row + "\r\n";
}

// The tape's columns, the program's, and the refusal last; the data columns
// only when data results exist.
std::string CsvLine(const std::string& path, const std::string& machine, const std::string& version,
                    const std::string& video, const std::string& size, const std::string& duration,
                    const std::string& programCount, const std::string& headerErrors, const std::string& dataDamaged,
                    const std::string& row, const std::string& program, const std::string& rawName,
                    const std::string& start, const std::string& end, const std::string& programDuration,
                    const std::string& check1, const std::string& check2, const std::string& data,
                    const std::string& refused) {
  if (kDataResultsAvailable) {
    return CsvRow({path, machine, version, video, size, duration, programCount, headerErrors, dataDamaged, row, program,
                   rawName, start, end, programDuration, check1, check2, data, refused});
  }
  return CsvRow({path, machine, version, video, size, duration, programCount, headerErrors, row, program, rawName,
                 start, end, programDuration, check1, check2, refused});
}

std::string CsvRecord(const TapeSummary& tape) {
  if (tape.Refused()) {
    return CsvLine(tape.path, "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", tape.refusal);
  }
  const std::string version = std::to_string(tape.version);
  const std::string count = std::to_string(tape.programs.size());
  const std::string errors = std::to_string(tape.HeaderErrors());
  const std::string damaged = Number(tape.DataDamaged());
  // A tape without programs still has its row, with the program columns empty.
  if (tape.programs.empty()) {
    return CsvLine(tape.path, tape.machine, version, tape.video, tape.size, tape.duration, count, errors, damaged, "",
                   "", "", "", "", "", "", "", "", "");
  }
  std::string text;
  for (const auto& p : tape.programs) {
    text += CsvLine(tape.path, tape.machine, version, tape.video, tape.size, tape.duration, count, errors, damaged,
                    std::to_string(p.row), p.name, p.rawName, p.start, p.end, p.duration, CheckText(p.headerOk),
                    CheckText(p.repeatOk), DataText(p.dataDamaged), "");
  }
  return text;
}

std::string Seconds(double seconds, const std::string& decimalSeparator) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", seconds);
  std::string text = buffer;
  if (const auto point = text.find('.'); point != std::string::npos) text.replace(point, 1, decimalSeparator);
  return text;
}

}  // namespace

void ScanTotals::Add(const TapeSummary& tape) {
  if (tape.folder) {
    ++foldersNotRead;
    return;
  }
  ++tapes;
  if (tape.Refused()) {
    ++refused;
    return;
  }
  if (tape.programs.empty()) ++withoutPrograms;
  programs += static_cast<int>(tape.programs.size());
  const int damaged = tape.DamagedPrograms();
  damagedPrograms += damaged;
  turboFiles += tape.turboFiles;
  damagedTurboFiles += static_cast<int>(tape.damagedTurboFiles.size());
  if (damaged > 0 || !tape.damagedTurboFiles.empty()) ++damagedTapes;
  const TapeCoverage& c = tape.coverage;
  const auto bytes = static_cast<double>(c.pulseBytes) / 100.0;
  pulseBytes += c.pulseBytes;
  romBytes += c.romPercent * bytes;
  turboBytes += c.turboPercent * bytes;
  pauseBytes += c.pausePercent * bytes;
  unrecognisedBytes += c.unrecognisedPercent * bytes;
}

TapeCoverage ScanTotals::Coverage() const {
  TapeCoverage c;
  c.pulseBytes = pulseBytes;
  if (pulseBytes == 0) return c;
  const auto share = [&](double bytes) { return 100.0 * bytes / static_cast<double>(pulseBytes); };
  c.romPercent = share(romBytes);
  c.turboPercent = share(turboBytes);
  c.pausePercent = share(pauseBytes);
  c.unrecognisedPercent = share(unrecognisedBytes);
  return c;
}

std::string ScanHeader(ScanFormat format) {
  switch (format) {
    case ScanFormat::Table:
      return TableLine("Machine", "Version", "Video", "Size", "Duration", "Programs", "Header errors", "Damaged data",
                       "Path");
    case ScanFormat::Csv:
      return CsvLine("path", "machine", "version", "video", "size", "totalDuration", "programCount", "headerErrors",
                     "dataDamaged", "row", "program", "rawName", "start", "end", "duration", "check1", "check2", "data",
                     "refused");
    case ScanFormat::JsonLines:
      break;
  }
  return "";
}

std::string ScanRecord(ScanFormat format, const TapeSummary& tape) {
  switch (format) {
    case ScanFormat::Table:
      return TableRecord(tape);
    case ScanFormat::JsonLines:
      return JsonRecord(tape);
    case ScanFormat::Csv:
      return CsvRecord(tape);
  }
  return "";
}

std::string ScanTotalsText(ScanFormat format, const ScanTotals& totals, const std::string& decimalSeparator) {
  const auto n = [](int value) { return std::to_string(value); };
  switch (format) {
    case ScanFormat::Table:
      return n(totals.tapes) + " tapes scanned, " + n(totals.refused) + " refused, " +
             (totals.foldersNotRead > 0 ? n(totals.foldersNotRead) + " folders not read, " : "") +
             n(totals.withoutPrograms) + " without programs, " + n(totals.programs) + " programs, " +
             n(totals.damagedPrograms) + " damaged on " + n(totals.damagedTapes) + " tapes, " +
             (totals.turboFiles > 0
                  ? n(totals.turboFiles) + " turbo files (" + n(totals.damagedTurboFiles) + " with a bad checksum), "
                  : std::string()) +
             CoverageText(totals.Coverage()) + ", " + Seconds(totals.seconds, decimalSeparator) + " s\n";
    case ScanFormat::JsonLines:
      return "{\"tapes\":" + n(totals.tapes) + ",\"refused\":" + n(totals.refused) +
             ",\"foldersNotRead\":" + n(totals.foldersNotRead) + ",\"withoutPrograms\":" + n(totals.withoutPrograms) +
             ",\"programs\":" + n(totals.programs) + ",\"damagedPrograms\":" + n(totals.damagedPrograms) +
             ",\"damagedTapes\":" + n(totals.damagedTapes) + ",\"turboFiles\":" + n(totals.turboFiles) +
             ",\"damagedTurboFiles\":" + n(totals.damagedTurboFiles) +
             ",\"coverage\":" + CoverageJson(totals.Coverage()) + ",\"seconds\":" + Seconds(totals.seconds, ".") +
             "}\n";
    case ScanFormat::Csv: {
      const TapeCoverage c = RoundedCoverage(totals.Coverage());
      return CsvRow({"tapes", "refused", "withoutPrograms", "programs", "damagedPrograms", "damagedTapes", "romPercent",
                     "turboPercent", "pausePercent", "unrecognisedPercent", "seconds", "foldersNotRead"}) +
             CsvRow({n(totals.tapes), n(totals.refused), n(totals.withoutPrograms), n(totals.programs),
                     n(totals.damagedPrograms), n(totals.damagedTapes), PercentText(c.romPercent),
                     PercentText(c.turboPercent), PercentText(c.pausePercent), PercentText(c.unrecognisedPercent),
                     Seconds(totals.seconds, "."), n(totals.foldersNotRead)});
    }
  }
  return "";
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    const unsigned char c = bytes[i];
    if (c < 0x80) {
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    // A well-formed UTF-8 sequence is copied; anything else is one U+FFFD
    // per byte.
    char32_t value = 0;
    const size_t length = Utf8Sequence(text, i, value);
    const bool valid = length > 0;
    if (valid && value < 0xA0) {
      // A C1 control: escaped like the others.
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(value));
      out += escape;
      i += length;
    } else if (valid) {
      out.append(text, i, length);
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out + "\"";
}

std::string TableText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  char escape[8];
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = bytes[i];
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
      ++i;
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t value = 0;
    const size_t length = Utf8Sequence(text, i, value);
    const bool valid = length > 0;
    if (!valid) {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
      ++i;
    } else if (value < 0xA0) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(value));
      out += escape;
      i += length;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace rw::cli
