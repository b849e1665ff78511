#include "display/CellArea.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <cstring>

#include "common/CellCodes.h"
#include "display/CItem.h"

CellArea::CellArea(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted here: the toolkit need not fill the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CellArea::setCells(const Cells* cells) {
  m_cells = cells;
  m_tilingKnown = false;
  update();
}

void CellArea::cellChanged(const QRect& cellGeometry) {
  if (cellGeometry.isEmpty() || m_pending.contains(cellGeometry)) return;
  m_pending |= cellGeometry;
  update(m_pending);
}

void CellArea::cellMoved(const QRect& from, const QRect& to) {
  m_tilingKnown = false;
  cellChanged(from);
  cellChanged(to);
}

QRect CellArea::tiledBlock() {
  if (m_tilingKnown) return m_tiled;
  m_tilingKnown = true;
  m_tiled = QRect();
  if (!m_cells || m_cells->empty()) return m_tiled;
  // The view's layouts tile a rectangle with cells of one size in index order, row
  // by row; anything else (a layout under way) is painted over whole.
  const QRect first = m_cells->front()->geometry();
  const QRect last = m_cells->back()->geometry();
  const QRect block = first.united(last);
  const int w = first.width(), h = first.height();
  if (w <= 0 || h <= 0 || block.width() % w || block.height() % h) return m_tiled;
  const int cols = block.width() / w;
  if (static_cast<size_t>(cols) * static_cast<size_t>(block.height() / h) != m_cells->size()) return m_tiled;
  for (size_t i = 0; i < m_cells->size(); ++i) {
    const QRect expected(first.x() + static_cast<int>(i % cols) * w, first.y() + static_cast<int>(i / cols) * h,
                         w, h);
    if ((*m_cells)[i]->geometry() != expected) return m_tiled;
  }
  m_tiled = block;
  return m_tiled;
}

namespace {

// The image that a painter paints into when it may be written directly: a raster
// image of 32-bit pixels at one device pixel per pixel, the painter only shifted.
QImage* directTarget(QPainter& p) {
  QPaintEngine* engine = p.paintEngine();
  if (!engine || engine->type() != QPaintEngine::Raster) return nullptr;
  QPaintDevice* device = engine->paintDevice();
  if (!device || device->devType() != QInternal::Image) return nullptr;
  auto* image = static_cast<QImage*>(device);
  const QImage::Format f = image->format();
  if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32_Premultiplied) return nullptr;
  // A shared image would be copied by the first write, away from the painter.
  if (!image->isDetached() || image->devicePixelRatio() != 1.0) return nullptr;
  if (p.deviceTransform().type() > QTransform::TxTranslate) return nullptr;
  return image;
}

}  // namespace

void CellArea::paintEvent(QPaintEvent* event) {
  // Cells are painted now, so whatever is pending is being drawn.
  const QRect requested = m_pending;
  m_pending = QRect();
  QPainter p(this);
  const QRect block = tiledBlock();
  const QRegion background = event->region() - block;
  for (const QRect& r : background) p.fillRect(r, Qt::white);
  if (!m_cells || m_cells->empty()) return;
  // A cell takes its erase requests as done when it paints: only cells that reach
  // the screen may paint.
  const QRegion& exposed = event->region();
  const bool simple = exposed.rectCount() == 1;
  const QRect bounds = exposed.boundingRect();
  const QFont& f = font();
  QImage* target = simple ? directTarget(p) : nullptr;
  const QSize cellSize = m_cells->front()->geometry().size();
  if (target && !block.isEmpty() && cellSize == QSize(CELL_WIDTH, CELL_HEIGHT)) {
    // Grid cells go straight into the painter's image, a screen line at a time:
    // thousands of small image draws cost more in the painter's bookkeeping and in
    // scattered memory writes than in their pixels.
    const QPoint shift = p.deviceTransform().map(QPoint(0, 0));
    const QRect clip = bounds.intersected(block).translated(shift).intersected(target->rect());
    if (clip.isEmpty()) return;
    const int cols = block.width() / CELL_WIDTH;
    const QPoint origin = block.topLeft() + shift;
    const int row0 = (clip.top() - origin.y()) / CELL_HEIGHT, row1 = (clip.bottom() - origin.y()) / CELL_HEIGHT;
    const int col0 = (clip.left() - origin.x()) / CELL_WIDTH, col1 = (clip.right() - origin.x()) / CELL_WIDTH;
    // Pixels of each cell of a row; its images are 20 x 30 of 32 bits, 80 bytes a line.
    std::vector<const uchar*> images(static_cast<size_t>(col1 - col0 + 1));
    constexpr int CELL_LINE = CELL_WIDTH * 4;
    for (int row = row0; row <= row1; ++row) {
      for (int col = col0; col <= col1; ++col) {
        CItem& c = *(*m_cells)[static_cast<size_t>(row * cols + col)];
        const QImage* img = c.GridImage(f, 1.0);
        images[col - col0] = img && img->bytesPerLine() == CELL_LINE ? img->constBits() : nullptr;
        if (!images[col - col0]) c.Paint(p, f);  // a list row in a grid's shape
      }
      const int top = std::max(clip.top(), origin.y() + row * CELL_HEIGHT);
      const int bottom = std::min(clip.bottom(), origin.y() + row * CELL_HEIGHT + CELL_HEIGHT - 1);
      const int x0 = origin.x() + col0 * CELL_WIDTH;
      const int left = std::max(clip.left(), x0) - x0;  // the first column may start inside a cell
      const int lastRight = std::min(clip.right(), origin.x() + col1 * CELL_WIDTH + CELL_WIDTH - 1);
      const qsizetype stride = target->bytesPerLine();
      uchar* line = target->bits() + static_cast<qsizetype>(top) * stride + static_cast<qsizetype>(x0) * 4;
      for (int y = top; y <= bottom; ++y, line += stride) {
        const int cy = y - origin.y() - row * CELL_HEIGHT;
        for (int col = col0; col <= col1; ++col) {
          const uchar* img = images[col - col0];
          if (!img) continue;
          const int from = col == col0 ? left : 0;
          const int to = col == col1 ? lastRight - (x0 + (col1 - col0) * CELL_WIDTH) : CELL_WIDTH - 1;
          const uchar* src = img + cy * CELL_LINE;
          uchar* dst = line + (col - col0) * CELL_WIDTH * 4;
          if (from == 0 && to == CELL_WIDTH - 1)
            std::memcpy(dst, src, CELL_WIDTH * 4);  // the common whole cell: a fixed-size copy
          else
            std::memcpy(dst + from * 4, src + from * 4, static_cast<size_t>(to - from + 1) * 4);
        }
      }
    }
    return;
  }
  DirectImage direct;
  if (target) {
    direct = {target, p.deviceTransform().map(QPoint(0, 0)), QRect(), 0};
    // A paint that no cell asked for, or another image, means that something else
    // may have written where the cells drew (a resize, a new window image); an image
    // with alpha may be cleared to transparent by the window system before each paint.
    if (target->constBits() != m_lastBits || target->size() != m_lastSize || !requested.contains(bounds) ||
        target->hasAlphaChannel())
      ++m_epoch;
    m_lastBits = target->constBits();
    m_lastSize = target->size();
    direct.epoch = m_epoch;
  }
  direct.clip = bounds.translated(direct.shift).intersected(target ? target->rect() : QRect());
  for (const auto& c : *m_cells)
    if (c->geometry().intersects(bounds) && (simple || exposed.intersects(c->geometry())))
      c->Paint(p, f, target ? &direct : nullptr);
}

CItem* CellArea::cellAt(const QPoint& point) const {
  if (!m_cells) return nullptr;
  for (auto it = m_cells->rbegin(); it != m_cells->rend(); ++it)
    if ((*it)->geometry().contains(point)) return it->get();
  return nullptr;
}

void CellArea::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  const QPoint at = event->position().toPoint();
  if (CItem* c = cellAt(at)) {
    c->MousePress(event->button(), at - c->geometry().topLeft());
    event->accept();
  }
}
