// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/picture.h"

#include <cstdio>

namespace rw {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0; names read from a
        // tape may hold them.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t') {
          out += ' ';
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  std::string text = buffer;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string Opacity(const char* attribute, Colour colour) {
  return colour.alpha < 1.0 ? std::string(" ") + attribute + "=\"" + Number(colour.alpha) + "\"" : std::string();
}

}  // namespace

std::string ColourHex(Colour colour) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", colour.r, colour.g, colour.b);
  return buffer;
}

std::string PictureSvg(const Picture& picture) {
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    Number(picture.width) + "\" height=\"" + Number(picture.height) + "\" viewBox=\"0 0 " +
                    Number(picture.width) + " " + Number(picture.height) + "\" font-family=\"sans-serif\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"" + ColourHex(picture.background) + "\"/>\n";
  for (const PictureRect& r : picture.rects) {
    svg += "<rect";
    if (!r.group.empty()) svg += " class=\"" + Escaped(r.group) + "\"";
    svg += " x=\"" + Number(r.x) + "\" y=\"" + Number(r.y) + "\" width=\"" + Number(r.w) + "\" height=\"" +
           Number(r.h) + "\" fill=\"" + ColourHex(r.fill) + "\"" + Opacity("fill-opacity", r.fill);
    svg += r.tip.empty() ? "/>\n" : "><title>" + Escaped(r.tip) + "</title></rect>\n";
  }
  for (const PictureLine& l : picture.lines) {
    svg += "<line x1=\"" + Number(l.x1) + "\" y1=\"" + Number(l.y1) + "\" x2=\"" + Number(l.x2) + "\" y2=\"" +
           Number(l.y2) + "\" stroke=\"" + ColourHex(l.stroke) + "\"" + Opacity("stroke-opacity", l.stroke) +
           (l.dashed ? " stroke-dasharray=\"4 3\"" : "") + "/>\n";
  }
  for (const PictureText& t : picture.texts) {
    const char* anchor = t.anchor == TextAnchor::Middle ? "middle" : t.anchor == TextAnchor::End ? "end" : "start";
    svg += "<text x=\"" + Number(t.x) + "\" y=\"" + Number(t.y) + "\" font-size=\"" + Number(t.size) +
           "\" text-anchor=\"" + anchor + "\" fill=\"" + ColourHex(t.fill) + "\">" + Escaped(t.text) + "</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace rw
