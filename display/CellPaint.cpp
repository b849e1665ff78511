#include "display/CellPaint.h"

#include "common/Cp1252.h"
#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "display/CASCII.h"
#include "common/CellCodes.h"
#include "display/CellGeometry.h"

namespace cellpaint {

namespace {

struct MarkBits {
  uint32_t on;
  uint32_t off;
  Fill fill;
};
// Paint order: the last mark that is on shows.
const MarkBits MARKS[4] = {{CELL_CURSOR, CELL_CURSOR_OFF, Fill::Cursor},
                           {CELL_REFERENCE, CELL_REFERENCE_OFF, Fill::Reference},
                           {CELL_SEARCH, CELL_SEARCH_OFF, Fill::Search},
                           {CELL_RANGE, CELL_RANGE_OFF, Fill::Range}};

}  // namespace

QRgb fillColor(Fill fill) {
  switch (fill) {
    case Fill::Cursor:
      return COLOR_BLACK;
    case Fill::Reference:
      return COLOR_RED;
    case Fill::Search:
      return COLOR_YELLOW;
    case Fill::Range:
      return COLOR_GREEN;
    default:
      return COLOR_WHITE;
  }
}

bool onTransmitSide(uint32_t state, uint8_t flags) {
  return ((flags & ITEM_FLAG_SLAVE) != 0) == ((state & CELL_SWAP) != 0);
}

QString byteText(uint8_t data) {
  if (data >= 0x80) return QString(Cp1252::toChar(data));
  CASCII names;
  return QString::fromLatin1(names.GetName(data));
}

Plan look(const Input& in) {
  Plan p;
  uint32_t state = in.state;

  // Off bits are one-shot erase requests: the cell fills itself white once.
  bool erase = false;
  for (const MarkBits& m : MARKS) {
    if (state & m.off) {
      state &= ~(m.on | m.off);
      erase = true;
    }
  }
  if (erase) p.fill = Fill::White;
  for (const MarkBits& m : MARKS)
    if (state & m.on) p.fill = m.fill;
  p.state = state;

  if (!(state & CELL_ITEM)) return p;
  p.drawsItem = true;
  p.mode = cellgeometry::displayModeOf(state);
  p.transmitSide = onTransmitSide(state, in.flags);

  // In hex mode any mark turns the text black; in ASCII and list mode a byte in the
  // range alone keeps its direction colour on the green.
  const uint32_t blackMarks =
      p.mode == DISPLAY_HEX ? (CELL_REFERENCE | CELL_SEARCH | CELL_RANGE) : (CELL_REFERENCE | CELL_SEARCH);
  if (state & CELL_CURSOR) {
    p.textColor = COLOR_WHITE;
  } else if (state & blackMarks) {
    p.textColor = COLOR_BLACK;
  } else {
    // The direction colours stand on an opaque white text background, also on a
    // range's green: the text cell shows white around the letters.
    p.textColor = p.transmitSide ? COLOR_RED : COLOR_BLUE;
    p.opaqueText = true;
  }

  p.modeBit = in.protocol == PROTOCOL_MDB && (in.flags & ITEM_FLAG_MODE);
  return p;
}

Plan plan(const Input& in) {
  Plan p = look(in);
  if (!p.drawsItem) return p;
  const int halfY = p.transmitSide ? 0 : 15;

  switch (p.mode) {
    case DISPLAY_HEX:
    case DISPLAY_ASCII:
      if (p.mode == DISPLAY_HEX) {
        p.texts.push_back({2, halfY, QString::asprintf("%02X", in.data), Font::Default});
      } else if ((in.data <= 0x20 || in.data == 0x7F) && in.narrowFont) {
        p.texts.push_back({2, halfY, byteText(in.data), Font::Narrow});
      } else {
        p.texts.push_back({6, halfY, byteText(in.data), Font::Default});
      }
      if (p.modeBit) p.lines.push_back({2, halfY + 14, 18, halfY + 14});
      p.lines.push_back({0, 16, 20, 16});
      break;
    case DISPLAY_LIST: {
      p.texts.push_back({0, 0, QString::number(in.firstItem + in.index + 1u), Font::Default});
      const QString value = QString::asprintf("0x%02X", in.data);
      const QString seconds = QString::asprintf("%f", static_cast<double>(in.time) * TIMESTAMP_TICK);
      if (p.transmitSide) {
        if (p.modeBit) p.texts.push_back({90, 0, QStringLiteral("M"), Font::Default});
        p.texts.push_back({110, 0, value, Font::Default});
        p.texts.push_back({150, 0, byteText(in.data), Font::Default});
        p.texts.push_back({190, 0, seconds, Font::Default});
        p.texts.push_back({300, 0, QStringLiteral("->"), Font::Default});
      } else {
        p.texts.push_back({300, 0, QStringLiteral("<-"), Font::Default});
        if (p.modeBit) p.texts.push_back({320, 0, QStringLiteral("M"), Font::Default});
        p.texts.push_back({340, 0, value, Font::Default});
        p.texts.push_back({380, 0, byteText(in.data), Font::Default});
        p.texts.push_back({420, 0, seconds, Font::Default});
      }
      if (in.protocol == PROTOCOL_MDB) p.texts.push_back({520, 0, in.text, Font::Default});
      break;
    }
    default:
      break;
  }
  return p;
}

}  // namespace cellpaint
