#pragma once

#include <QRect>
#include <QWidget>

// The view's client area, the parent of its cells. It paints the view's white
// background and gathers the repaint requests of its cells into one growing
// rectangle, so that a screen of changed cells is one simple dirty area for the
// toolkit instead of thousands of dirty widgets or a region of thousands of pieces.
class CellArea : public QWidget {
 public:
  explicit CellArea(QWidget* parent = nullptr);

  void cellChanged(const QRect& cellGeometry);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect m_pending;
};
