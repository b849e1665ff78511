#pragma once

#include <QRgb>
#include <QString>
#include <cstdint>
#include <vector>

// What one paint of a cell draws: the fill, the text colour, every text with its
// place and font, and the lines; and the state the paint leaves (off bits done).
// Pure, so that the cell's look is tested without a screen.
namespace cellpaint {

inline constexpr QRgb COLOR_WHITE = 0xFFFFFFFFu;
inline constexpr QRgb COLOR_BLACK = 0xFF000000u;
inline constexpr QRgb COLOR_RED = 0xFFFF0000u;
inline constexpr QRgb COLOR_BLUE = 0xFF0000FFu;
inline constexpr QRgb COLOR_YELLOW = 0xFFFFFF00u;
inline constexpr QRgb COLOR_GREEN = 0xFF20FF20u;  // RGB(32, 255, 32)

enum class Fill : uint8_t { None, White, Cursor, Reference, Search, Range };

enum class Font : uint8_t { Default, Narrow };

struct Text {
  int x = 0;
  int y = 0;  // top of the text cell
  QString text;
  Font font = Font::Default;
  bool operator==(const Text&) const = default;
};

struct Line {
  int x1, y1, x2, y2;
  bool operator==(const Line&) const = default;
};

struct Input {
  uint32_t state = 0;
  uint8_t data = 0;
  uint8_t flags = 0;
  uint8_t protocol = 0;
  uint32_t time = 0;
  uint32_t firstItem = 0;  // the view's first shown item (list rows)
  uint32_t index = 0;      // the cell's index (list rows)
  QString text;            // decoded text (list rows)
  bool narrowFont = true;  // the narrow font could be made
};

struct Plan {
  uint32_t state = 0;  // the state after the paint
  Fill fill = Fill::None;
  bool drawsItem = false;
  uint32_t mode = 0;          // DISPLAY_ mode drawn, 0 for none
  bool transmitSide = false;  // upper half / left of "->"
  QRgb textColor = COLOR_BLACK;
  bool opaqueText = false;  // white text background behind each text
  bool modeBit = false;     // the MDB mode-bit line or "M" is drawn
  std::vector<Text> texts;
  std::vector<Line> lines;
};

QRgb fillColor(Fill fill);

// True when the cell shows its byte on the transmit side.
bool onTransmitSide(uint32_t state, uint8_t flags);

// The byte's name as the screen shows it: control names, and bytes from 0x80 as
// the characters of the Western code page.
QString byteText(uint8_t data);

// Everything of a plan but its texts and lines, which follow from it and the input;
// enough to tell two grid cells apart.
Plan look(const Input& in);
Plan plan(const Input& in);

}  // namespace cellpaint
