#include "display/PrintLayout.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <optional>

#include "capture/CActiveFile.h"
#include "common/AcquisitionHeader.h"
#include "common/CellCodes.h"
#include "common/Cp1252.h"
#include "common/OleDate.h"
#include "common/SystemTypes.h"
#include "display/CellPaint.h"
#include "mdb/CMDBInterpreter.h"
#include "platform/ProfileStore.h"

namespace {

constexpr uint32_t BLOCK_ITEMS = 4096;
constexpr uint32_t HEADER_CHUNK = 4096;
constexpr int LINE_CHARS = 255;  // a comment line's buffer holds 255 characters and its end

// A font of the given character-cell height (ascent plus descent) and average
// character width in device pixels, weight 500, everything else plain. As on screen,
// the height is that of the cell, not of the em: the largest size whose cell fits.
QFont printFont(const QString& face, int height, int width, const QPaintDevice& device) {
  QFont font(face);
  font.setWeight(QFont::Medium);
  height = std::max(1, height);
  auto cell = [&](int pixels) {
    font.setPixelSize(pixels);
    return QFontMetrics(font, &device).height();
  };
  // The cell grows in proportion to the size: a first guess, then single steps.
  int size = std::max(1, height * height / std::max(1, cell(height)));
  while (cell(size + 1) <= height) ++size;
  while (size > 1 && cell(size) > height) --size;
  font.setPixelSize(size);
  const int natural = QFontMetrics(font, &device).averageCharWidth();
  if (natural > 0) font.setStretch(std::clamp(100 * width / natural, 1, 4000));
  return font;
}

// Draws text with its top at y, as the layout positions every text.
void textOut(QPainter& painter, int x, int y, const QString& text, int ascent) {
  painter.drawText(x, y + ascent, text);
}

}  // namespace

PrintLayout::PrintLayout(const PrintSource& source) : m_source(source) {
  uint32_t size = 0;
  if (m_source.file && m_source.file->ReadCommentSize(size)) m_dataOffset = size;
}

void PrintLayout::SetUp(const QPaintDevice& device) {
  m_state = PrintState();
  const platform::ProfileStore& profile = platform::Profile();
  const QString section = QStringLiteral("PropertyPage3");
  const int unitX = device.logicalDpiX() / 23, unitY = device.logicalDpiY() / 23;
  m_state.marginLeft = int32_t(profile.GetProfileInt(section, QStringLiteral("MarginLeft"), 10)) * unitX;
  m_state.marginTop = int32_t(profile.GetProfileInt(section, QStringLiteral("MarginTop"), 10)) * unitY;
  m_state.marginRight = int32_t(profile.GetProfileInt(section, QStringLiteral("MarginRight"), 10)) * unitX;
  m_state.marginBottom = int32_t(profile.GetProfileInt(section, QStringLiteral("MarginBottom"), 10)) * unitY;
  m_state.mode = m_source.cellState & CELL_MODE_MASK;
  OnBeginPrinting();
}

void PrintLayout::OnBeginPrinting() {
  m_state.page1Done = 0;
  m_state.index = 0;
  m_state.x = m_state.y = 0;
  m_commentLinesDone = false;
  if (m_source.decoder) m_source.decoder->BeginPrintPass();
}

void PrintLayout::fonts(const QPaintDevice& device) {
  m_sx = std::max(1, device.logicalDpiX() / 75);
  m_sy = std::max(1, device.logicalDpiY() / 75);
  if (m_fonts.dpiX == device.logicalDpiX() && m_fonts.dpiY == device.logicalDpiY()) return;
  Fonts& f = m_fonts;
  f.dpiX = device.logicalDpiX();
  f.dpiY = device.logicalDpiY();
  // The height comes from the horizontal scale and the width from the vertical one,
  // as the print sizes are given; on a square-pixel device they agree.
  f.header = f.grid = printFont(QStringLiteral("Arial"), 12 * m_sx, 5 * m_sy, device);
  f.narrow = printFont(QStringLiteral("Arial Narrow"), 12 * m_sx, 4 * m_sy, device);
  f.list = printFont(QStringLiteral("Arial"), 11 * m_sx, 4 * m_sy, device);
  f.headerHeight = QFontMetrics(f.header, &device).height();
  f.listHeight = QFontMetrics(f.list, &device).height();
  f.gridAscent = QFontMetrics(f.grid, &device).ascent();
  f.narrowAscent = QFontMetrics(f.narrow, &device).ascent();
  f.listAscent = QFontMetrics(f.list, &device).ascent();
}

bool PrintLayout::OnPrint(QPainter* painter, const QPaintDevice& device, uint32_t page, uint32_t maxPage) {
  fonts(device);
  const int left = m_state.marginLeft;
  int top = m_state.marginTop;
  const int right = device.width() - m_state.marginRight;
  const int bottom = device.height() - m_state.marginBottom;
  if (painter) painter->setPen(Qt::black);
  PrintPageHeader(painter, top, left, right, page, maxPage);
  m_state.x = left;
  m_state.y = top;

  const bool list = !(m_state.mode & (DISPLAY_HEX | DISPLAY_ASCII)) && (m_state.mode & DISPLAY_LIST);
  const bool decoded = list && m_source.protocol == PROTOCOL_MDB && m_source.decoder;
  while (m_state.index < m_source.itemCount) {
    bool pageEnds;
    if (painter) {
      if (!readItem(m_state.index, m_state.item)) {  // the file got shorter: the print ends here
        m_state.index = m_source.itemCount;
        break;
      }
      PrintItem(*painter);
      // The decoded text goes on the line just printed, whose print has moved y below it.
      if (decoded)
        m_source.decoder->PrintDecoded(
            *painter, m_state, {m_state.x + 420 * m_sx, m_state.y - m_fonts.listHeight + m_fonts.listAscent});
    } else if (list) {
      m_state.y += m_fonts.listHeight;
    }
    if (list) {
      pageEnds = m_state.y + 16 * m_sy > bottom;
    } else {
      m_state.x += 20 * m_sx;
      pageEnds = false;
      if (m_state.x > right) {
        m_state.x = left;
        m_state.y += 30 * m_sy;
        pageEnds = m_state.y > bottom;
      }
    }
    ++m_state.index;
    if (pageEnds) break;
  }
  return m_state.index >= m_source.itemCount;
}

QString PrintLayout::PageTitle(const QDateTime& printed, uint32_t page, uint32_t maxPage) {
  return QStringLiteral("Analyzer aquisition data: %1 - Page: %2 / %3")
      .arg(printed.toString(QStringLiteral("dd.MM.yyyy - HH:mm:ss")))
      .arg(page)
      .arg(maxPage);
}

void PrintLayout::PrintPageHeader(QPainter* painter, int& top, int left, int right, uint32_t page,
                                  uint32_t maxPage) {
  if (painter) {
    painter->setFont(m_fonts.header);
    textOut(*painter, left, top, PageTitle(QDateTime::currentDateTime(), page, maxPage), m_fonts.gridAscent);
  }
  const int h = m_fonts.headerHeight;
  top += h + h / 4;
  if (painter) painter->drawLine(left, top, right, top);
  top += h / 2;
  if (m_state.page1Done) return;
  m_state.page1Done = 1;

  const std::optional<AcquisitionHeader> header = m_source.file ? m_source.file->ReadHeader() : std::nullopt;
  if (!header || header->blockSize == 0) {
    m_dataOffset = 0;
    return;
  }
  const uint32_t size = header->blockSize;
  // Page 1 takes the magic alone for the current form, whatever the block size.
  if (header->magic && size == ACQUISITION_HEADER_SIZE) {
    if (painter)
      textOut(*painter, left, top,
              QStringLiteral("Start of recording: %1").arg(OleDate::format(header->startDate)),
              m_fonts.gridAscent);
    top += h + h / 4;
  } else {
    m_commentPos = header->magic ? ACQUISITION_HEADER_SIZE : LEGACY_LEAD_SIZE;
    m_headerChunk.clear();
    QByteArray line;
    while (ReadHeaderCommentLine(line, size)) {
      if (painter) textOut(*painter, left, top, Cp1252::toUnicode(line), m_fonts.gridAscent);
      top += h + h / 4;
    }
  }
  if (painter) painter->drawLine(left, top, right, top);
  top += h;
  m_dataOffset = size;
}

int PrintLayout::nextHeaderByte(uint32_t size) {
  if (m_commentPos >= size) return -1;
  if (m_commentPos < m_headerChunkPos || m_commentPos >= m_headerChunkPos + uint32_t(m_headerChunk.size())) {
    m_headerChunk.resize(int(std::min(HEADER_CHUNK, size - m_commentPos)));
    const int64_t got =
        m_source.file->ReadAt(m_commentPos, m_headerChunk.data(), size_t(m_headerChunk.size()));
    m_headerChunk.resize(got > 0 ? int(got) : 0);
    m_headerChunkPos = m_commentPos;
    if (m_headerChunk.isEmpty()) return -1;
  }
  return uint8_t(m_headerChunk[int(m_commentPos++ - m_headerChunkPos)]);
}

bool PrintLayout::ReadHeaderCommentLine(QByteArray& line, uint32_t size) {
  line.clear();
  for (;;) {
    const int byte = nextHeaderByte(size);
    if (byte < 0 || m_commentLinesDone) return false;  // a line that reaches the end unended is not printed
    switch (byte) {
      case '\0':
        m_commentLinesDone = true;
        return true;
      case '\r':
        nextHeaderByte(size);  // its LF
        return true;
      default:
        // A longer line is cut: the rest of it up to its end is dropped.
        if (line.size() < LINE_CHARS) line.append(byte == '\t' ? ' ' : char(byte));
    }
  }
}

bool PrintLayout::readItem(uint32_t index, ItemRecord& item) {
  if (index < m_blockFirst || index - m_blockFirst >= m_block.size()) {
    m_block.resize(std::min<uint32_t>(BLOCK_ITEMS, m_source.itemCount - index));
    const int64_t got = m_source.file
                            ? m_source.file->ReadAt(uint64_t(m_dataOffset) + uint64_t(ITEM_SIZE) * index,
                                                    m_block.data(), m_block.size() * ITEM_SIZE)
                            : -1;
    m_block.resize(got > 0 ? size_t(got / ITEM_SIZE) : 0);
    m_blockFirst = index;
    if (m_block.empty()) return false;
  }
  item = m_block[index - m_blockFirst];
  return true;
}

void PrintLayout::PrintItem(QPainter& painter) {
  const ItemRecord& item = m_state.item;
  const int x = m_state.x, y = m_state.y, sx = m_sx, sy = m_sy;
  // Transmit side when the direction bit matches the swap, as on screen.
  const bool transmit = bool(item.flags & ITEM_FLAG_SLAVE) == bool(m_source.cellState & CELL_SWAP);
  const bool modeMark = m_source.protocol == PROTOCOL_MDB && (item.flags & ITEM_FLAG_MODE);
  const uint32_t mode = m_source.cellState;

  if (mode & (DISPLAY_HEX | DISPLAY_ASCII)) {
    const int textY = y + (transmit ? 2 : 17) * sy;
    if (mode & DISPLAY_HEX) {
      painter.setFont(m_fonts.grid);
      textOut(painter, x + 3 * sx, textY, QString::asprintf("%02X", item.data), m_fonts.gridAscent);
    } else {
      const bool control = item.data <= 0x20 || item.data == 0x7F;
      painter.setFont(control ? m_fonts.narrow : m_fonts.grid);
      textOut(painter, x + (control ? 4 : 7) * sx, textY, cellpaint::byteText(item.data),
              control ? m_fonts.narrowAscent : m_fonts.gridAscent);
    }
    const int markY = y + (transmit ? 14 : 29) * sy;
    if (modeMark) painter.drawLine(x + 4 * sx, markY, x + 16 * sx, markY);
    painter.drawLine(x, y + 16 * sy, x + 20 * sx, y + 16 * sy);
    return;
  }
  if (!(mode & DISPLAY_LIST)) return;
  painter.setFont(m_fonts.list);
  const int side = transmit ? 0 : 190;  // the receive side's columns stand right of the arrow
  const int a = m_fonts.listAscent;
  textOut(painter, x, y, QString::number(m_state.index + 1), a);
  if (modeMark) textOut(painter, x + (70 + side) * sx, y, QStringLiteral("M"), a);
  textOut(painter, x + (90 + side) * sx, y, QString::asprintf("0x%02X", item.data), a);
  textOut(painter, x + (130 + side) * sx, y, cellpaint::byteText(item.data), a);
  textOut(painter, x + (160 + side) * sx, y, QString::asprintf("%f", itemSeconds(item)), a);
  textOut(painter, x + 230 * sx, y, transmit ? QStringLiteral("->") : QStringLiteral("<-"), a);
  m_state.y += m_fonts.listHeight;
}
