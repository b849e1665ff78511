#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "platform/MessageWindow.h"

class MdbViewAccess;
class QMenu;

// One cell of the acquisition view: a 20 x 30 place of the hex or ASCII grid or a
// 16-pixel row of the list, showing one item with its marks. It is driven only by
// posted messages (WM_CELL_INIT, WM_CELL_LAYOUT, WM_CELL_DATA, WM_CELL_MARK) and
// reports clicks and popup commands to the view by posting WM_SHOW_DETAIL and
// WM_CELL_MARK notices.
class CItem : public QWidget {
 public:
  // parent is the view's client area; view receives the notices; viewAccess gives
  // the first shown item for list rows (null: 0).
  CItem(QWidget* parent, platform::WindowHandle view, const MdbViewAccess* viewAccess, uint32_t controlId);
  ~CItem() override;

  platform::WindowHandle handle() const { return m_window.handle(); }
  uint32_t controlId() const { return m_controlId; }

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

  // Popup commands.
  void OnSetReference();
  void OnSelectFirstItem();
  void OnSelectLastItem();
  void OnClearSelectedItems();

  // Drops the rendered grid cells kept for fast repaints (tests and font changes).
  static void ClearRenderCache();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void OnLButtonDown();
  void OnRButtonDown(const QPoint& point);
  void repaintCell();
  void postNotice(uint32_t code);
  void markOn(uint32_t on, uint32_t off);

  platform::MessageWindow m_window;
  platform::WindowHandle m_view;
  const MdbViewAccess* m_viewAccess;
  uint32_t m_controlId;
  uint8_t m_protocol = 0;
  uint8_t m_data = 0;
  uint8_t m_flags = 0;
  uint32_t m_state = 0;
  uint32_t m_time = 0;
  uint32_t m_index = 0;
  std::unique_ptr<QMenu> m_menu;
  QString m_text;
};
