#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>
#include <QWidget>
#include <memory>
#include <vector>

class CItem;

// The view's client area: it paints the view's white background and every cell in
// one pass, and hands a mouse press to the cell under it. It gathers the repaint
// requests of its cells into one growing rectangle, so that a screen of changed
// cells is one simple dirty area for the toolkit.
class CellArea : public QWidget {
 public:
  using Cells = std::vector<std::unique_ptr<CItem>>;

  explicit CellArea(QWidget* parent = nullptr);

  // The cells to paint, in their order; owned by the caller and outliving the area's
  // use of them.
  void setCells(const Cells* cells);
  // The cell under a point of the area, the one painted last where cells overlap.
  CItem* cellAt(const QPoint& point) const;

  void cellChanged(const QRect& cellGeometry);
  void cellMoved(const QRect& from, const QRect& to);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The rectangle that the cells cover without gap or overlap; empty when they don't.
  QRect tiledBlock();

  const Cells* m_cells = nullptr;
  QRect m_pending;
  QRect m_tiled;
  bool m_tilingKnown = false;
  // The image painted last and what it held then (see DirectImage::epoch).
  const uchar* m_lastBits = nullptr;
  QSize m_lastSize;
  uint64_t m_epoch = 1;
};
