#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <QString>
#include <QtCore/qnamespace.h>
#include <cstdint>
#include <memory>

#include "display/CellPaint.h"
#include "platform/MessageWindow.h"

class CellArea;
class MdbViewAccess;
class QFont;
class QImage;
class QMenu;
class QPainter;
struct ItemRecord;

// The image under a painter that may be written directly (device coordinates).
struct DirectImage {
  QImage* image = nullptr;
  QPoint shift;  // device position of the area's origin
  QRect clip;    // where the paint may write
  // Changes whenever the image may no longer hold what the cells last wrote.
  uint64_t epoch = 0;
};

// One cell of the acquisition view: a 20 x 30 place of the hex or ASCII grid or a
// 16-pixel row of the list, showing one item with its marks. It is driven only by
// messages (WM_CELL_INIT, WM_CELL_LAYOUT, WM_CELL_DATA, WM_CELL_MARK) and reports
// clicks and popup commands to the view by posting WM_SHOW_DETAIL and WM_CELL_MARK
// notices.
//
// A cell is no widget of its own: its client area paints all cells and hands the
// mouse to the cell under it. Thousands of child widgets cost the toolkit time
// that grows with the square of their number at every show and every repaint.
class CItem {
 public:
  // area paints the cell and gives the client width; view receives the notices;
  // viewAccess gives the first shown item for list rows (null: 0).
  CItem(CellArea* area, platform::WindowHandle view, const MdbViewAccess* viewAccess, uint32_t controlId);
  ~CItem();
  CItem(const CItem&) = delete;
  CItem& operator=(const CItem&) = delete;

  platform::WindowHandle handle() const { return m_window.handle(); }
  platform::MessageWindow& messageWindow() { return m_window; }
  uint32_t controlId() const { return m_controlId; }
  // Place in the client area's coordinates.
  const QRect& geometry() const { return m_geometry; }

  uint32_t state() const { return m_state; }
  uint32_t index() const { return m_index; }
  uint8_t protocol() const { return m_protocol; }
  uint8_t data() const { return m_data; }
  uint8_t flags() const { return m_flags; }
  uint32_t time() const { return m_time; }
  const QString& text() const { return m_text; }
  // The popup menu of the last right click, null before the first.
  QMenu* popupMenu() const { return m_menu.get(); }

  // Message handlers (also reached through the message window).
  intptr_t OnCellInit(uintptr_t wParam, intptr_t lParam);
  intptr_t OnCellLayout();
  intptr_t OnCellData(platform::Message& msg);
  intptr_t OnCellMark(uintptr_t code);
  // What CELLDATA_ITEM does with its record.
  void SetItem(const ItemRecord& record);

  // Popup commands.
  void OnSetReference();
  void OnSelectFirstItem();
  void OnSelectLastItem();
  void OnClearSelectedItems();

  // Paints the cell at its place; the paint takes the erase requests as done. With a
  // direct image the fill is written straight into it.
  void Paint(QPainter& painter, const QFont& defaultFont, const DirectImage* direct = nullptr);
  // For a cell of the grid, the image of all its pixels at a device pixel ratio, to
  // be copied to its place: the paint as far as the cell is concerned. Null for any
  // other cell, which paints through Paint.
  const QImage* GridImage(const QFont& defaultFont, qreal dpr);
  // A mouse button went down at point (cell coordinates).
  void MousePress(Qt::MouseButton button, const QPoint& point);

  // The narrow font of the control-character names; none when the face is missing.
  static const QFont* NarrowFont();
  // Drops the rendered grid cells and list rows kept for fast repaints (tests and font changes).
  static void ClearRenderCache();

 private:
  cellpaint::Input paintInput() const;
  void paintRowDirect(QPainter& painter, const QFont& defaultFont, const DirectImage& direct,
                      const cellpaint::Input& in);
  void OnLButtonDown();
  void OnRButtonDown(const QPoint& point);
  void setGeometry(const QRect& place);
  void repaintCell();
  void postNotice(uint32_t code);
  void markOn(uint32_t on, uint32_t off);

  platform::MessageWindow m_window;
  CellArea* m_area;
  platform::WindowHandle m_view;
  const MdbViewAccess* m_viewAccess;
  uint32_t m_controlId;
  QRect m_geometry;
  uint8_t m_protocol = 0;
  uint8_t m_data = 0;
  uint8_t m_flags = 0;
  uint32_t m_state = 0;
  uint32_t m_time = 0;
  uint32_t m_index = 0;
  std::unique_ptr<QMenu> m_menu;
  QString m_text;
  // A list row drawn whole: how far from its left edge its texts reached, and its
  // fill beyond them; -1 when not known.
  int m_inkWidth = -1;
  QRgb m_inkFill = 0;
  uint64_t m_inkEpoch = 0;
};
