// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The texts of a collection scan: one record per tape as a readable table,
// JSON Lines or CSV (RFC 4180, CRLF line ends), and the totals at the end.
// Standard library only; every record ends with its line end.

#include <string>

#include "split/tape_summary.h"

namespace rw::cli {

enum class ScanFormat { Table, JsonLines, Csv };

struct ScanTotals {
  int tapes = 0;  // every file scanned, refused ones too
  int refused = 0;
  int foldersNotRead = 0;   // folders that could not be read: no tapes, counted apart
  int withoutPrograms = 0;  // read, but no program found
  int programs = 0;
  int damagedPrograms = 0;  // a header error in either copy, or damaged data
  int damagedTapes = 0;
  int turboFiles = 0;
  int damagedTurboFiles = 0;
  // The pulse bytes of every tape read, and how many of them each kind of
  // content takes.
  int64_t pulseBytes = 0;
  double romBytes = 0, turboBytes = 0, pauseBytes = 0, unrecognisedBytes = 0;
  double seconds = 0;

  void Add(const TapeSummary& tape);
  // The shares of all the tapes' pulse data together.
  TapeCoverage Coverage() const;
  bool Clean() const { return refused == 0 && foldersNotRead == 0 && damagedPrograms == 0 && damagedTurboFiles == 0; }
};

// The column names (table, CSV) or nothing (JSON Lines).
std::string ScanHeader(ScanFormat format);
std::string ScanRecord(ScanFormat format, const TapeSummary& tape);
// "2000 tapes scanned, 3 refused, ..." as a line, or with --summary-only in
// a machine format one JSON object or a CSV header and row.
std::string ScanTotalsText(ScanFormat format, const ScanTotals& totals, const std::string& decimalSeparator);

// A JSON string literal of UTF-8 `text`; bytes that are not UTF-8 (a file
// name in another encoding) become U+FFFD, so that every line stays JSON.
// Control characters (C0, DEL and C1) are written as \u00XX escapes.
std::string JsonString(const std::string& text);
// `text` for the table, read on a terminal: control characters (C0, DEL) as
// "\xNN", C1 controls as "\u0080"..., and bytes that are not UTF-8 as
// "\xNN", so that a file name can neither move the cursor nor change
// colours, and shows which bytes it holds.
std::string TableText(const std::string& text);
// The field as RFC 4180 writes it: quoted when it holds a comma, a quote or
// a line end, quotes doubled.
std::string CsvField(const std::string& text);

}  // namespace rw::cli
