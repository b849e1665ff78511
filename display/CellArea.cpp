#include "display/CellArea.h"

#include <QPainter>

CellArea::CellArea(QWidget* parent) : QWidget(parent) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setAutoFillBackground(true);
}

void CellArea::cellChanged(const QRect& cellGeometry) {
  if (m_pending.contains(cellGeometry)) return;
  m_pending |= cellGeometry;
  update(m_pending);
}

void CellArea::paintEvent(QPaintEvent*) {
  // Children are painted after this, so whatever is pending is being drawn now.
  m_pending = QRect();
}
