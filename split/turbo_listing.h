// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The turbo files of a parsed tape as the lists show them: each with the
// program whose stretch carries it, the share of the tape that every kind of
// content takes, and the extraction of turbo files as ".prg" files.

#include <string>
#include <vector>

#include "core/data_block.h"
#include "core/outcome.h"
#include "core/rom_decoder.h"
#include "core/tap_image.h"
#include "core/tape_coverage.h"
#include "core/turbo_reader.h"
#include "split/program_list.h"

namespace rw {

struct TurboListing {
  std::vector<TurboFile> files;  // in tape order
  // Per file: the 1-based row of the program whose stretch (its leader up to
  // the next program's leader) holds the file's start; 0 before the first.
  std::vector<int> rows;
  TapeCoverage coverage;
  std::vector<UnrecognisedStretch> unrecognised;  // in tape order
};

// The turbo files of `image`, whose ROM programs are `sections` with their
// `data` (in the same order): the stretches the ROM blocks take are never
// read for turbo files. With TurboBytes::Dropped the files come without
// their bytes: enough to list them, not to extract them.
TurboListing ListTurboFiles(const TapImage& image, const std::vector<TapeSection>& sections,
                            const std::vector<DataResult>& data, TurboBytes bytes = TurboBytes::Kept);

// What a list shows of a file: the family and its name, or its address
// range, e.g. "Freeload 0800-0C40" or "Turbotape 250 \"GAME\"".
std::string TurboFileLabel(const TurboFile& file);
// The name as shown: filtered and trimmed as program names are, UTF-8.
std::string TurboFileName(const TurboFile& file);
// HexPad(end address, 4): "10000" for a file that ends at $FFFF.
std::string TurboEndAddressText(const TurboFile& file);

// A file as a row under its program: Program is its label, Start its first
// pilot pulse, End just past its last pulse, Duration the time it plays, and
// Check1 its checksum state ("OK", "ERROR" or "none"); it has no tick.
ListRow TurboListRow(const ProgramList& list, const TurboFile& file);
// What a file is, for a tooltip: its loader, name, the addresses it loads to
// (hexadecimal, the end exclusive), its checksum state and any unread bytes.
std::string TurboFileSummary(const TurboFile& file);
// The files each program carries: element k lists the indices into
// `listing.files` of the files in row k+1's stretch, in tape order. Files
// before the first program belong to no row and are left out.
std::vector<std::vector<size_t>> FilesByRow(const TurboListing& listing, int rowCount);

enum class TurboExtractStatus {
  Written,         // good, or without a checksum: written
  WrittenDamaged,  // checksum ERROR or bytes unread: written anyway (".damaged.prg")
  NotWritten,      // damaged and not asked for
  Failed,          // could not be written (the report's failure says why)
};

struct ExtractedTurboFile {
  size_t index = 0;  // into TurboListing::files
  TurboExtractStatus status = TurboExtractStatus::NotWritten;
  std::string path;
};

struct TurboExtractReport {
  std::vector<ExtractedTurboFile> files;  // one per index asked for, in order, up to a failure (see below)
  Outcome failure = Outcome::Success();   // why the last file could not be written
};

// Writes the files `indices` of `listing` into `folder` as
// "Tnnn_FAMILY_LOAD-END.prg" (nnn its place in tape order from 1): the load
// address, low byte first, then the bytes. Never over an existing file
// ("...(1).prg"). A damaged file is written as ".damaged.prg" only with
// `keepDamaged`. Stops at the first file that cannot be written, its failure
// titled "ERROR!"; a long list is written in two halves at once, and the
// files the other half wrote before it learned of the failure are on disk
// and in the report too. The caller syncs the folder once
// (SyncFolderContents) before it reports any file as written.
TurboExtractReport ExtractTurboFiles(const TurboListing& listing, const std::vector<size_t>& indices,
                                     const std::string& folder, bool keepDamaged);

}  // namespace rw
