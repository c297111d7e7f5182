// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A picture as a list of shapes, drawn the same way by every back end: as
// SVG text here, and through Qt's painter for PNG files and windows.
// Coordinates are pixels from the top left; text sits on its baseline.

#include <cstdint>
#include <string>
#include <vector>

namespace rw {

struct Colour {
  uint8_t r = 0, g = 0, b = 0;
  double alpha = 1.0;
};

struct PictureRect {
  double x = 0, y = 0, w = 0, h = 0;
  Colour fill;
  std::string group;  // what the shape stands for, e.g. "band" (an SVG class)
  std::string tip;    // shown on hovering (an SVG title); may be empty
};

struct PictureLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  Colour stroke;
  bool dashed = false;
};

enum class TextAnchor : uint8_t { Start, Middle, End };

struct PictureText {
  double x = 0, y = 0;
  std::string text;  // UTF-8
  double size = 12;  // pixels
  TextAnchor anchor = TextAnchor::Start;
  Colour fill;
};

struct Picture {
  double width = 0;
  double height = 0;
  Colour background{255, 255, 255};
  // Drawn in this order: rectangles, lines, texts.
  std::vector<PictureRect> rects;
  std::vector<PictureLine> lines;
  std::vector<PictureText> texts;
};

// The picture as a standalone SVG document.
std::string PictureSvg(const Picture& picture);

// "#3a78c2".
std::string ColourHex(Colour colour);

}  // namespace rw
