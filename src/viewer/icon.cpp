#include "viewer/icon.h"

#include <QColor>
#include <array>
#include <string_view>

namespace murvik {

namespace {

constexpr int kSide = 16;

// One character a pixel; see kPalette.
// clang-format off
constexpr std::array<std::string_view, kSide> kPixels = {
    "................",
    "..kkkkkkkkkkkk..",
    ".kwwwwwwwwwwwwk.",
    ".kwbbbbbbbbwwwk.",
    ".kwwwwwwwwwwwwk.",
    ".kwoooooowwwwwk.",
    ".kwwwwwwwwwwwwk.",
    ".kwggggggggggwk.",
    ".kwwwwwwwwwwwwk.",
    ".kwbbbbbwwwwwwk.",
    ".kwwwwwwwwwwwwk.",
    "..kkkwwwkkkkkk..",
    "....kwwk........",
    "....kwk.........",
    "....kk..........",
    "................",
};
// clang-format on

struct PaletteEntry {
  char key;
  QRgb colour;
};

// Index in this table is the index in the image's colour table.
constexpr std::array<PaletteEntry, 6> kPalette = {{
    {'.', qRgba(0, 0, 0, 0)},
    {'k', qRgb(0x1f, 0x2a, 0x44)},  // outline
    {'w', qRgb(0xf4, 0xf6, 0xfb)},  // bubble
    {'b', qRgb(0x3a, 0x7b, 0xd5)},  // lines of chat
    {'o', qRgb(0xf2, 0x9c, 0x1f)},
    {'g', qRgb(0x3a, 0xa5, 0x5d)},
}};

int PaletteIndex(char key) {
  for (size_t i = 0; i < kPalette.size(); ++i)
    if (kPalette[i].key == key) return static_cast<int>(i);
  return 0;
}

}  // namespace

QImage IconImage(int scale) {
  QImage image(kSide * scale, kSide * scale, QImage::Format_Indexed8);
  QList<QRgb> colours(256, qRgba(0, 0, 0, 0));
  for (size_t i = 0; i < kPalette.size(); ++i) colours[static_cast<int>(i)] = kPalette[i].colour;
  image.setColorTable(colours);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      image.setPixel(x, y, static_cast<uint>(PaletteIndex(kPixels[y / scale][x / scale])));
  return image;
}

QString IconSvg() {
  QString svg = QStringLiteral(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 16\" "
      "shape-rendering=\"crispEdges\">\n");
  // One rectangle for each run of same-coloured pixels in a row.
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide;) {
      const char key = kPixels[y][x];
      int end = x + 1;
      while (end < kSide && kPixels[y][end] == key) ++end;
      const int index = PaletteIndex(key);
      if (index != 0) {
        svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\" fill=\"%4\"/>\n")
                   .arg(x)
                   .arg(y)
                   .arg(end - x)
                   .arg(QColor(kPalette[index].colour).name());
      }
      x = end;
    }
  }
  svg += QStringLiteral("</svg>\n");
  return svg;
}

}  // namespace murvik
