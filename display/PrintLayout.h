#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <vector>

#include "common/PrintState.h"

class CActiveFile;
class CMDBInterpreter;
class QDateTime;
class QPainter;
class QPaintDevice;

// What printing takes from the view when it is prepared: the shown file and its item
// count, and cell 0's display mode bits, swap bit and protocol, which decide the form
// and the sides of the printed items as on screen.
struct PrintSource {
  const CActiveFile* file = nullptr;
  uint32_t itemCount = 0;
  uint32_t cellState = 0;  // DISPLAY_HEX / _ASCII / _LIST bits and CELL_SWAP
  uint32_t protocol = 0;
  CMDBInterpreter* decoder = nullptr;  // decoded MDB texts of list lines; null: none
};

// Lays out the printed pages of an acquisition file: every page a title line with
// the printing date and the page number, page 1 the start of the recording or the
// header's comment lines, then the items as a grid of hex or ASCII cells or as list
// lines. Pages are laid out strictly one after the other (each goes on where the one
// before stopped, kept in the PrintState), so a pass over the pages always starts at
// page 1: to print from page n, pages 1 to n - 1 are laid out without a painter.
//
// Positions are in device units of the paint device; the screen layout is scaled by
// dots per inch / 75, the margins (profile values) by dots per inch / 23 per unit.
// Items are read with positional block reads at the header size + 6 x index, so
// printing never moves a file position that the decoder thread or the view uses.
class PrintLayout {
 public:
  explicit PrintLayout(const PrintSource& source);

  // Margins from the profile for this device, the state cleared for a pass from
  // page 1.
  void SetUp(const QPaintDevice& device);
  // Starts a pass from page 1 (the state is cleared; margins and mode stay).
  void OnBeginPrinting();
  // Lays out the next page, drawing only when a painter is given (on the device).
  // Returns true when the page holds the last item (or the file has none): the end
  // mark of the pages.
  bool OnPrint(QPainter* painter, const QPaintDevice& device, uint32_t page, uint32_t maxPage);

  const PrintState& state() const { return m_state; }

  // The title line of a page printed at the given local time.
  static QString PageTitle(const QDateTime& printed, uint32_t page, uint32_t maxPage);

 private:
  struct Fonts {
    int dpiX = 0, dpiY = 0;
    QFont header, grid, narrow, list;
    int headerHeight = 0, listHeight = 0;
    int gridAscent = 0, narrowAscent = 0, listAscent = 0;  // the header font is the grid font
  };

  // The title and rule of every page, page 1's lines; moves top below them.
  void PrintPageHeader(QPainter* painter, int& top, int left, int right, uint32_t page, uint32_t maxPage);
  // The next comment line of the header block (up to size), into line; false when
  // there is none.
  bool ReadHeaderCommentLine(QByteArray& line, uint32_t size);
  // One item at the state's x and y (list mode: y moves down by one line).
  void PrintItem(QPainter& painter);
  void fonts(const QPaintDevice& device);
  bool readItem(uint32_t index, ItemRecord& item);
  int nextHeaderByte(uint32_t size);

  PrintSource m_source;
  PrintState m_state;
  uint32_t m_dataOffset = 0;  // file offset of item 0
  bool m_commentLinesDone = false;
  uint32_t m_commentPos = 0;  // next byte of the header's comment text
  int m_sx = 1, m_sy = 1;
  Fonts m_fonts;
  std::vector<ItemRecord> m_block;  // the items m_blockFirst on, read at once
  uint32_t m_blockFirst = 0;
  QByteArray m_headerChunk;  // header bytes from m_headerChunkPos on
  uint32_t m_headerChunkPos = 0;
};
