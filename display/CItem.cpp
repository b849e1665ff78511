#include "display/CItem.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <optional>
#include <string>

#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CellArea.h"
#include "common/CellCodes.h"
#include "display/CellGeometry.h"
#include "display/CellPaint.h"
#include "mdb/MdbViewAccess.h"

namespace {

// The narrow font of the control-character names: face "Arial Narrow" with a
// character cell 15 pixels high, characters about 6 pixels wide, weight 500.
// Fontconfig gives its metric twin; any other face means it cannot be had.
const std::optional<QFont>& narrowFont() {
  static const std::optional<QFont> font = []() -> std::optional<QFont> {
    QFont f(QStringLiteral("Arial Narrow"));
    f.setWeight(QFont::Medium);
    f.setPixelSize(15);
    const QString family = QFontInfo(f).family();
    if (!family.contains(QStringLiteral("Narrow"), Qt::CaseInsensitive)) return std::nullopt;
    for (int px = 15; px > 6; --px) {
      f.setPixelSize(px);
      if (QFontMetrics(f).height() <= 15) break;
    }
    // Widths are set by stretch, which the toolkit takes relative to the face's own
    // width class: search the stretch that gives the letters an average of 6 pixels.
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    const qreal target = 6.0 * letters.size();
    int low = 25, high = 400;
    while (high - low > 1) {
      const int mid = (low + high) / 2;
      f.setStretch(mid);
      (QFontMetricsF(f).horizontalAdvance(letters) > target ? high : low) = mid;
    }
    f.setStretch(low);
    return f;
  }();
  return font;
}

// Rendered grid cells keyed by everything that decides their look, so that a full
// screen of cells costs one pixmap copy each instead of text layout.
struct RenderCache {
  QFont font;
  qreal dpr = 0;
  QHash<quint64, QPixmap> pixmaps;
};

RenderCache& renderCache() {
  static RenderCache cache;
  return cache;
}

int colorIndex(QRgb c) {
  switch (c) {
    case cellpaint::COLOR_WHITE:
      return 0;
    case cellpaint::COLOR_BLACK:
      return 1;
    case cellpaint::COLOR_RED:
      return 2;
    default:
      return 3;  // blue
  }
}

quint64 gridKey(const cellpaint::Plan& plan, uint8_t data) {
  const cellpaint::Fill fill = plan.fill == cellpaint::Fill::None ? cellpaint::Fill::White : plan.fill;
  quint64 key = static_cast<quint64>(fill);
  if (plan.drawsItem) {
    key |= quint64(colorIndex(plan.textColor)) << 3;
    key |= quint64(plan.opaqueText) << 5;
    key |= quint64(plan.mode) << 6;  // 2 or 4: bits 7, 8
    key |= quint64(plan.transmitSide) << 10;
    key |= quint64(plan.modeBit) << 11;
    key |= quint64(1) << 12;
    key |= quint64(data) << 16;
  }
  return key;
}

// Draws a plan as the screen shows it. The text position is the top of the text
// cell; horizontal lines end one pixel before their end point.
void renderCell(QPainter& p, const cellpaint::Plan& plan, const QFont& defaultFont, const QSize& size) {
  // An unmarked cell shows the view's white background.
  p.fillRect(QRect(QPoint(0, 0), size), QColor::fromRgb(cellpaint::fillColor(plan.fill)));
  if (!plan.drawsItem) return;
  if (plan.opaqueText) {
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(QBrush(Qt::white));
  } else {
    p.setBackgroundMode(Qt::TransparentMode);
  }
  p.setPen(QColor::fromRgb(plan.textColor));
  for (const cellpaint::Text& t : plan.texts) {
    const QFont& f = t.font == cellpaint::Font::Narrow && narrowFont() ? *narrowFont() : defaultFont;
    p.setFont(f);
    p.drawText(QPoint(t.x, t.y + QFontMetrics(f).ascent()), t.text);
  }
  p.setPen(QPen(Qt::black, 1));
  for (const cellpaint::Line& l : plan.lines) p.drawLine(l.x1, l.y1, l.x2 > l.x1 ? l.x2 - 1 : l.x2, l.y2);
}

}  // namespace

CItem::CItem(QWidget* parent, platform::WindowHandle view, const MdbViewAccess* viewAccess,
             uint32_t controlId)
    : QWidget(parent), m_view(view), m_viewAccess(viewAccess), m_controlId(controlId) {
  setWindowTitle(QStringLiteral("Item"));
  // Every paint covers the whole cell, yet the cell does not claim to be opaque:
  // with thousands of opaque siblings the toolkit's clipping costs grow with the
  // square of their number, far more than filling the parent's background once.
  setAttribute(Qt::WA_NoSystemBackground);
  setGeometry(QRect());

  m_window.on(WM_CELL_INIT, [this](platform::Message& m) { return OnCellInit(m.wParam, m.lParam); });
  m_window.on(WM_CELL_LAYOUT, [this](platform::Message&) { return OnCellLayout(); });
  m_window.on(WM_CELL_DATA, [this](platform::Message& m) { return OnCellData(m); });
  m_window.on(WM_CELL_MARK, [this](platform::Message& m) { return OnCellMark(m.wParam); });
}

CItem::~CItem() = default;

void CItem::repaintCell() {
  // The parent collects the dirty cells: a screen of cells marked one by one would
  // make the toolkit compare every dirty widget with all its siblings.
  if (auto* area = dynamic_cast<CellArea*>(parentWidget()))
    area->cellChanged(geometry());
  else
    update();
}

void CItem::ClearRenderCache() { renderCache().pixmaps.clear(); }

intptr_t CItem::OnCellInit(uintptr_t wParam, intptr_t lParam) {
  m_index = static_cast<uint32_t>(lParam);
  m_protocol = static_cast<uint8_t>(wParam & 0xFF);
  m_state |= static_cast<uint32_t>((wParam >> 8) & 0xFF) << 24;
  if (parentWidget()) setGeometry(cellgeometry::gridPlace(m_index, parentWidget()->width()));
  raise();
  return 0;
}

intptr_t CItem::OnCellLayout() {
  const int width = parentWidget() ? parentWidget()->width() : 0;
  setGeometry((m_state & DISPLAY_LIST) ? cellgeometry::listPlace(m_index, width)
                                       : cellgeometry::gridPlace(m_index, width));
  return 0;
}

intptr_t CItem::OnCellData(platform::Message& msg) {
  switch (msg.wParam) {
    case CELLDATA_ITEM:
      if (const ItemRecord* r = msg.payloadAs<ItemRecord>()) {
        m_flags = r->flags;
        m_data = r->data;
        m_time = r->time;
        m_state |= CELL_ITEM;
        if (!(m_state & CELL_MODE_MASK)) m_state |= DISPLAY_HEX;
        m_text.clear();
      }
      break;
    case CELLDATA_CLEAR:
      m_state &= ~CELL_ITEM;
      m_text.clear();
      break;
    case CELLDATA_SETBITS:
      m_state |= static_cast<uint32_t>(msg.lParam);
      break;
    case CELLDATA_MASKBITS:
      m_state &= static_cast<uint32_t>(msg.lParam);
      break;
    case CELLDATA_MODE:
      m_state = (m_state & ~CELL_MODE_MASK) | static_cast<uint32_t>(msg.lParam);
      break;
    case CELLDATA_PROTOCOL:
      m_protocol = static_cast<uint8_t>(msg.lParam & 0xFF);
      break;
    case CELLDATA_TEXT:
      // The decoder's texts are 8-bit text of the Western code page.
      if (const std::string* s = msg.payloadAs<std::string>())
        m_text = QString::fromLatin1(s->c_str());
      else if (const QString* q = msg.payloadAs<QString>())
        m_text = *q;
      else
        m_text.clear();
      break;
    default:
      break;
  }
  repaintCell();
  return 0;
}

intptr_t CItem::OnCellMark(uintptr_t code) {
  switch (code) {
    case MARK_CURSOR_ON:
      markOn(CELL_CURSOR, CELL_CURSOR_OFF);
      break;
    case MARK_CURSOR_OFF:
      m_state |= CELL_CURSOR_OFF;
      break;
    case MARK_REFERENCE_ON:
      markOn(CELL_REFERENCE, CELL_REFERENCE_OFF);
      break;
    case MARK_REFERENCE_OFF:
      m_state |= CELL_REFERENCE_OFF;
      break;
    case MARK_SEARCH_ON:
      markOn(CELL_SEARCH, CELL_SEARCH_OFF);
      break;
    case MARK_SEARCH_OFF:
      m_state |= CELL_SEARCH_OFF;
      break;
    case MARK_RANGE_ON:
    case MARK_RANGE_LAST_ON:
      markOn(CELL_RANGE, CELL_RANGE_OFF);
      break;
    case MARK_RANGE_OFF:
    case MARK_RANGE_LAST_OFF:
      m_state |= CELL_RANGE_OFF;
      break;
    default:
      break;
  }
  repaintCell();
  return 0;
}

void CItem::markOn(uint32_t on, uint32_t off) {
  m_state |= on;
  m_state &= ~off;
}

void CItem::postNotice(uint32_t code) { platform::PostMessage(m_view, WM_CELL_MARK, code, m_index); }

void CItem::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  if (event->button() == Qt::LeftButton)
    OnLButtonDown();
  else if (event->button() == Qt::RightButton)
    OnRButtonDown(event->position().toPoint());
  event->accept();
}

void CItem::OnLButtonDown() {
  if (!(m_state & CELL_ITEM)) return;
  m_state |= CELL_CURSOR;
  platform::PostMessage(m_view, WM_SHOW_DETAIL, 0, m_index);
  postNotice(NOTICE_CURSOR);
  repaintCell();
}

void CItem::OnRButtonDown(const QPoint& point) {
  if (!(m_state & CELL_ITEM)) return;
  m_menu = std::make_unique<QMenu>();
  auto add = [this](const char* caption, uint32_t id, void (CItem::*command)()) {
    QAction* a = m_menu->addAction(QString::fromLatin1(caption));
    a->setData(id);
    QObject::connect(a, &QAction::triggered, this, [this, command] { (this->*command)(); });
  };
  add("Set Reference", ID_CELL_SET_REFERENCE, &CItem::OnSetReference);
  add("Select First Item", ID_CELL_SELECT_FIRST, &CItem::OnSelectFirstItem);
  add("Select Last Item", ID_CELL_SELECT_LAST, &CItem::OnSelectLastItem);
  add("Clear Selected Items", ID_CELL_CLEAR_SELECTION, &CItem::OnClearSelectedItems);
  m_menu->popup(mapToGlobal(point));
}

void CItem::OnSetReference() {
  markOn(CELL_REFERENCE, CELL_REFERENCE_OFF);
  postNotice(NOTICE_REFERENCE);
  repaintCell();
}

void CItem::OnSelectFirstItem() {
  markOn(CELL_RANGE, CELL_RANGE_OFF);
  postNotice(NOTICE_RANGE_FIRST);
  repaintCell();
}

void CItem::OnSelectLastItem() {
  markOn(CELL_RANGE, CELL_RANGE_OFF);
  postNotice(NOTICE_RANGE_LAST);
  repaintCell();
}

void CItem::OnClearSelectedItems() {
  postNotice(NOTICE_RANGE_CLEAR);
  repaintCell();
}

void CItem::paintEvent(QPaintEvent*) {
  cellpaint::Input in;
  in.state = m_state;
  in.data = m_data;
  in.flags = m_flags;
  in.protocol = m_protocol;
  in.time = m_time;
  in.index = m_index;
  in.narrowFont = narrowFont().has_value();
  const bool list = cellgeometry::displayModeOf(m_state) == DISPLAY_LIST;
  if (list && (m_state & CELL_ITEM)) {
    in.firstItem = m_viewAccess ? m_viewAccess->GetFirstItem() : 0;
    in.text = m_text;
  }
  const cellpaint::Plan plan = cellpaint::plan(in);
  m_state = plan.state;

  QPainter p(this);
  const bool gridSized = width() == CELL_WIDTH && height() == CELL_HEIGHT;
  if (list || !gridSized) {
    renderCell(p, plan, font(), size());
    return;
  }
  RenderCache& cache = renderCache();
  const qreal dpr = devicePixelRatioF();
  if (cache.dpr != dpr || cache.font != font()) {
    cache.pixmaps.clear();
    cache.dpr = dpr;
    cache.font = font();
  }
  const quint64 key = gridKey(plan, m_data);
  auto it = cache.pixmaps.constFind(key);
  if (it == cache.pixmaps.constEnd()) {
    QPixmap pm(QSize(CELL_WIDTH, CELL_HEIGHT) * dpr);
    pm.setDevicePixelRatio(dpr);
    QPainter pp(&pm);
    renderCell(pp, plan, font(), size());
    pp.end();
    it = cache.pixmaps.insert(key, pm);
  }
  p.drawPixmap(0, 0, *it);
}
