// SPDX-License-Identifier: GPL-2.0-or-later
// The map and pulse pictures on the command line: SVG that parses with one
// rectangle per drawn band, PNG, and no existing file replaced unasked.

#include <QFile>
#include <QXmlStreamReader>

#include <map>

#include "cli_runner.h"
#include "support/scratch_folder.h"
#include "support/tape_composer.h"

namespace rw {
namespace {

// The rectangles of each class in an SVG file; an empty map when it does not parse.
std::map<std::string, int> SvgShapes(const std::string& path) {
  QFile file(Q(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  std::map<std::string, int> shapes;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("rect")) {
      ++shapes[xml.attributes().value("class").toString().toStdString()];
    }
  }
  if (xml.hasError()) return {};
  return shapes;
}

TEST(PictureCli, MapAndPulsesAsSvgAndPng) {
  test::ScratchFolder folder;
  test::TapeComposer composer(0, 1);
  composer.AddProgram({.name = "BOOT", .data = test::ProgramData(64, 1)});
  composer.AddTurboFile({.family = "Freeload", .loadAddress = 0x0800, .data = test::ProgramData(2000, 2)});
  composer.AddSilence(985248);
  composer.AddProgram({.name = "A<&>\"NAME", .data = test::ProgramData(64, 3)});
  const std::string tape = folder.Write("Map.tap", composer.FileBytes());
  const std::string svg = folder.File("map.svg");

  ExpectRun({"map", Q(tape), "-o", Q(svg)}, 0);
  // ROM, turbo, pause, ROM: each plays long enough for a band of its own.
  auto shapes = SvgShapes(svg);
  EXPECT_EQ(shapes["band"], 4);
  EXPECT_EQ(shapes["legend"], 4);

  ExpectRun({"map", Q(tape), "-o", Q(svg)}, 1, "Already exists");
  ExpectRun({"map", Q(tape), "-o", Q(svg), "--force", "--width", "300"}, 0);
  EXPECT_EQ(SvgShapes(svg)["band"], 4);
  ExpectRun({"map", Q(tape), "-o", Q(folder.File("map.jpg"))}, 2, ".svg or .png");

  const std::string pulses = folder.File("pulses.svg");
  ExpectRun({"pulses", Q(tape), "--select", "3", "-o", Q(pulses)}, 2, "the tape has 2 programs");
  ExpectRun({"pulses", Q(tape), "--select", "1", "-o", Q(pulses)}, 0);
  shapes = SvgShapes(pulses);
  EXPECT_EQ(shapes["class"], 3);  // short, medium, long
  // The ROM's three widths and Freeload's two, one of which is the ROM's medium.
  EXPECT_EQ(shapes["bin"], 4);

  const std::string png = folder.File("map.png");
  ExpectRun({"map", Q(tape), "-o", Q(png)}, 0);
  QFile file(Q(png));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
}  // namespace rw
