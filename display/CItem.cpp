#include "display/CItem.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>

#include "common/CellCodes.h"
#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CASCII.h"
#include "display/CellArea.h"
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
    // width class. The names start 2 pixels into the 20-pixel cell: the widest one
    // must end before its last column, or it is cut and runs into its neighbour.
    // Within that, the letters come as near an average of 6 pixels as they can.
    CASCII names;
    auto fits = [&](int stretch) {
      f.setStretch(stretch);
      const QFontMetricsF m(f);
      for (int b = 0; b <= 0x7F; b = b == 0x20 ? 0x7F : b + 1) {
        const QString name = QString::fromLatin1(names.GetName(static_cast<uint8_t>(b)));
        if (2 + std::max(m.tightBoundingRect(name).right(), m.horizontalAdvance(name)) > CELL_WIDTH - 1)
          return false;
      }
      return true;
    };
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    const qreal target = 6.0 * letters.size();
    int low = 25, high = 400;
    while (high - low > 1) {
      const int mid = (low + high) / 2;
      f.setStretch(mid);
      const bool tooWide = QFontMetricsF(f).horizontalAdvance(letters) > target || !fits(mid);
      (tooWide ? high : low) = mid;
    }
    f.setStretch(low);
    return f;
  }();
  return font;
}

// Rendered grid cells keyed by everything that decides their look, so that a full
// screen of cells costs one image copy each instead of text layout.
struct RenderCache {
  QFont font;
  qreal dpr = 0;
  std::unordered_map<quint64, QImage> images;  // stable addresses: a paint holds several
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
void renderCell(QPainter& p, const cellpaint::Plan& plan, const QFont& defaultFont, const QSize& size,
                bool filled = false) {
  // An unmarked cell shows the view's white background.
  if (!filled) p.fillRect(QRect(QPoint(0, 0), size), QColor::fromRgb(cellpaint::fillColor(plan.fill)));
  if (!plan.drawsItem) return;
  if (plan.opaqueText) {
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(QBrush(Qt::white));
  } else {
    p.setBackgroundMode(Qt::TransparentMode);
  }
  p.setPen(QColor::fromRgb(plan.textColor));
  const QFont* current = nullptr;
  int ascent = 0;
  for (const cellpaint::Text& t : plan.texts) {
    const QFont* f = t.font == cellpaint::Font::Narrow && narrowFont() ? &*narrowFont() : &defaultFont;
    if (f != current) {  // a row's texts share one font
      current = f;
      p.setFont(*f);
      ascent = QFontMetrics(*f).ascent();
    }
    p.drawText(QPoint(t.x, t.y + ascent), t.text);
  }
  p.setPen(QPen(Qt::black, 1));
  for (const cellpaint::Line& l : plan.lines) p.drawLine(l.x1, l.y1, l.x2 > l.x1 ? l.x2 - 1 : l.x2, l.y2);
}

// Rendered list rows keyed by all that they show. While a recording is followed in
// list mode the rows move up by a few items at each refresh, and every row shows
// what another row showed before: a copy instead of laying out its texts anew.
struct RowCache {
  static constexpr qsizetype LIMIT_BYTES = 24 << 20;
  QFont font;
  qsizetype bytes = 0;
  QHash<QByteArray, QImage> images;
};

RowCache& rowCache() {
  static RowCache cache;
  return cache;
}

QByteArray rowKey(const cellpaint::Plan& look, const cellpaint::Input& in, int width) {
  struct Fixed {
    quint32 textColor, time, number;
    qint32 width;
    quint8 fill, opaque, side, modeBit, mode, data, protocol;
  } f{look.textColor, in.time, in.firstItem + in.index + 1u, width, static_cast<quint8>(look.fill),
      look.opaqueText, look.transmitSide, look.modeBit, static_cast<quint8>(look.mode), in.data, in.protocol};
  QByteArray key(reinterpret_cast<const char*>(&f), sizeof f);
  key.append(reinterpret_cast<const char*>(in.text.utf16()), in.text.size() * 2);
  return key;
}

// How far from its left edge a list row's texts can reach: the time, whose digits
// end the row's own columns, or the decoded text after it.
int listReach(const QFont& font, uint8_t protocol, const QString& text) {
  struct Widths {
    QFont font;
    int time = 0;
    QHash<QString, int> texts;
  };
  static Widths widths;
  constexpr int OVERHANG = 3;
  if (widths.time == 0 || widths.font != font || widths.texts.size() > 4096) {
    const QFontMetrics m(font);
    int digit = m.horizontalAdvance(QLatin1Char('.'));
    for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, m.horizontalAdvance(QLatin1Char(c)));
    widths = {font, 420 + 12 * digit + OVERHANG, {}};  // "%f" of a u32 count of ticks
  }
  if (protocol != PROTOCOL_MDB || text.isEmpty()) return widths.time;
  auto it = widths.texts.constFind(text);
  if (it == widths.texts.constEnd())
    it = widths.texts.insert(text, 520 + QFontMetrics(font).horizontalAdvance(text) + OVERHANG);
  return std::max(widths.time, *it);
}

// The cached pixels of a list row, null when the row was not drawn before.
const QImage* cachedRow(const QByteArray& key, const QFont& defaultFont) {
  RowCache& cache = rowCache();
  if (cache.font != defaultFont || cache.bytes > RowCache::LIMIT_BYTES) {
    cache.images.clear();
    cache.bytes = 0;
    cache.font = defaultFont;
  }
  auto it = cache.images.constFind(key);
  return it == cache.images.constEnd() ? nullptr : &*it;
}

void keepRow(const QByteArray& key, const QImage& pixels) {
  RowCache& cache = rowCache();
  cache.bytes += pixels.sizeInBytes();
  cache.images.insert(key, pixels);
}

// Fills a rectangle of an image of 32-bit pixels with one colour.
void fillDirect(QImage& image, const QRect& r, QRgb color) {
  uchar* line = image.bits() + static_cast<qsizetype>(r.top()) * image.bytesPerLine();
  for (int y = r.top(); y <= r.bottom(); ++y, line += image.bytesPerLine()) {
    auto* px = reinterpret_cast<QRgb*>(line) + r.left();
    if (color == cellpaint::COLOR_WHITE)  // the usual row: the library's fastest fill
      std::memset(px, 0xFF, static_cast<size_t>(r.width()) * 4);
    else
      std::fill(px, px + r.width(), color);
  }
}

}  // namespace

CItem::CItem(CellArea* area, platform::WindowHandle view, const MdbViewAccess* viewAccess,
             uint32_t controlId)
    : m_area(area), m_view(view), m_viewAccess(viewAccess), m_controlId(controlId) {
  m_window.on(WM_CELL_INIT, [this](platform::Message& m) { return OnCellInit(m.wParam, m.lParam); });
  m_window.on(WM_CELL_LAYOUT, [this](platform::Message&) { return OnCellLayout(); });
  m_window.on(WM_CELL_DATA, [this](platform::Message& m) { return OnCellData(m); });
  m_window.on(WM_CELL_MARK, [this](platform::Message& m) { return OnCellMark(m.wParam); });
}

CItem::~CItem() {
  // What lay under the cell shows again.
  if (m_area) m_area->cellMoved(m_geometry, QRect());
}

const QFont* CItem::NarrowFont() { return narrowFont() ? &*narrowFont() : nullptr; }

void CItem::ClearRenderCache() {
  renderCache().images.clear();
  rowCache().images.clear();
  rowCache().bytes = 0;
}

void CItem::repaintCell() {
  if (!m_area) return;
  QRect dirty = m_geometry;
  // A list row whose fill stays needs only the part that its texts reach, before
  // and after: the rest of a wide row is fill already.
  if (m_inkWidth >= 0 && cellgeometry::displayModeOf(m_state) == DISPLAY_LIST &&
      cellpaint::fillColor(cellpaint::look(paintInput()).fill) == m_inkFill) {
    const int reach = listReach(m_area->font(), m_protocol, m_text);
    dirty.setWidth(std::min(dirty.width(), std::max(m_inkWidth, reach)));
  }
  m_area->cellChanged(dirty);
}

void CItem::setGeometry(const QRect& place) {
  if (place == m_geometry) return;
  m_inkWidth = -1;
  const QRect old = m_geometry;
  m_geometry = place;
  if (m_area) m_area->cellMoved(old, place);
}

intptr_t CItem::OnCellInit(uintptr_t wParam, intptr_t lParam) {
  m_index = static_cast<uint32_t>(lParam);
  m_protocol = static_cast<uint8_t>(wParam & 0xFF);
  m_state |= static_cast<uint32_t>((wParam >> 8) & 0xFF) << 24;
  // Cells are painted in the order of their indexes, so the one placed last lies on top.
  setGeometry(cellgeometry::gridPlace(m_index, m_area ? m_area->width() : 0));
  return 0;
}

intptr_t CItem::OnCellLayout() {
  const int width = m_area ? m_area->width() : 0;
  setGeometry((m_state & DISPLAY_LIST) ? cellgeometry::listPlace(m_index, width)
                                       : cellgeometry::gridPlace(m_index, width));
  return 0;
}

void CItem::SetItem(const ItemRecord& r) {
  m_flags = r.flags;
  m_data = r.data;
  m_time = r.time;
  m_state |= CELL_ITEM;
  if (!(m_state & CELL_MODE_MASK)) m_state |= DISPLAY_HEX;
  m_text.clear();
  repaintCell();
}

intptr_t CItem::OnCellData(platform::Message& msg) {
  switch (msg.wParam) {
    case CELLDATA_ITEM:
      if (const ItemRecord* r = msg.payloadAs<ItemRecord>()) SetItem(*r);
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

void CItem::MousePress(Qt::MouseButton button, const QPoint& point) {
  if (button == Qt::LeftButton)
    OnLButtonDown();
  else if (button == Qt::RightButton)
    OnRButtonDown(point);
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
    // The menu belongs to the cell: its commands end with it.
    QObject::connect(a, &QAction::triggered, m_menu.get(), [this, command] { (this->*command)(); });
  };
  add("Set Reference", ID_CELL_SET_REFERENCE, &CItem::OnSetReference);
  add("Select First Item", ID_CELL_SELECT_FIRST, &CItem::OnSelectFirstItem);
  add("Select Last Item", ID_CELL_SELECT_LAST, &CItem::OnSelectLastItem);
  add("Clear Selected Items", ID_CELL_CLEAR_SELECTION, &CItem::OnClearSelectedItems);
  m_menu->popup(m_area ? m_area->mapToGlobal(m_geometry.topLeft() + point) : point);
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

const QImage* CItem::GridImage(const QFont& defaultFont, qreal dpr) {
  if (cellgeometry::displayModeOf(m_state) == DISPLAY_LIST || m_geometry.size() != QSize(CELL_WIDTH, CELL_HEIGHT))
    return nullptr;
  // A grid cell's look decides all of its pixels: a screen of cells costs one
  // image copy each instead of text layout.
  const cellpaint::Input in = paintInput();
  const cellpaint::Plan look = cellpaint::look(in);
  m_state = look.state;
  RenderCache& cache = renderCache();
  if (cache.dpr != dpr || cache.font != defaultFont) {
    cache.images.clear();
    cache.dpr = dpr;
    cache.font = defaultFont;
  }
  const quint64 key = gridKey(look, m_data);
  auto it = cache.images.find(key);
  if (it == cache.images.end()) {
    // Opaque pixels with their alpha byte set, so that they may be copied as they
    // are into an image with or without alpha.
    QImage img(QSize(CELL_WIDTH, CELL_HEIGHT) * dpr, QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    QPainter pp(&img);
    renderCell(pp, cellpaint::plan(in), defaultFont, m_geometry.size());
    pp.end();
    it = cache.images.emplace(key, std::move(img)).first;
  }
  return &it->second;
}

cellpaint::Input CItem::paintInput() const {
  cellpaint::Input in;
  in.state = m_state;
  in.data = m_data;
  in.flags = m_flags;
  in.protocol = m_protocol;
  in.time = m_time;
  in.index = m_index;
  in.narrowFont = narrowFont().has_value();
  return in;
}

void CItem::Paint(QPainter& p, const QFont& defaultFont, const DirectImage* direct) {
  const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
  if (const QImage* img = GridImage(defaultFont, dpr)) {
    p.drawImage(m_geometry.topLeft(), *img);
    return;
  }
  cellpaint::Input in = paintInput();
  const bool list = cellgeometry::displayModeOf(m_state) == DISPLAY_LIST;
  if (list && (m_state & CELL_ITEM)) {
    in.firstItem = m_viewAccess ? m_viewAccess->GetFirstItem() : 0;
    in.text = m_text;
  }
  if (direct && list) {
    paintRowDirect(p, defaultFont, *direct, in);
    return;
  }
  const cellpaint::Plan plan = cellpaint::plan(in);
  m_state = plan.state;
  m_inkWidth = -1;
  // Nothing of a cell reaches beyond its place.
  p.save();
  p.setClipRect(m_geometry, Qt::IntersectClip);
  p.translate(m_geometry.topLeft());
  renderCell(p, plan, defaultFont, m_geometry.size());
  p.restore();
}

void CItem::paintRowDirect(QPainter& p, const QFont& defaultFont, const DirectImage& direct,
                           const cellpaint::Input& in) {
  // A wide row is mostly its fill, which the painter spreads over threads at a cost
  // above that of the pixels; and while a recording is followed its texts are
  // mostly those that another row showed before.
  const cellpaint::Plan look = cellpaint::look(in);
  m_state = look.state;
  QImage& target = *direct.image;
  const QRect r = m_geometry.translated(direct.shift).intersected(direct.clip);
  if (r.isEmpty()) return;
  const QRgb fill = cellpaint::fillColor(look.fill);
  // The row in the image holds this fill beyond its last texts when nothing has
  // written there since its last paint; then only as much as the texts need is
  // drawn. (A row that reaches past the bottom of the area counts by its visible part.)
  const QRect row = (m_area ? m_geometry.intersected(m_area->rect()) : m_geometry).translated(direct.shift);
  const bool trusted = m_inkWidth >= 0 && m_inkEpoch == direct.epoch && m_inkFill == fill;
  const int oldInk = m_inkWidth;
  const bool fromLeft = r.left() == row.left() && r.top() == row.top() && r.bottom() == row.bottom();
  const bool known = r == row || (fromLeft && trusted);
  m_inkFill = fill;
  m_inkEpoch = direct.epoch;
  m_inkWidth = -1;
  int textsEnd = r.left();  // device x where the fill takes over
  int reachNow = 0;
  if (look.drawsItem) {
    const int reach = std::min(listReach(defaultFont, in.protocol, in.text), m_geometry.width());
    const QRect texts(row.topLeft(), QSize(reach, m_geometry.height()));
    const QByteArray key = rowKey(look, in, m_geometry.width());
    if (const QImage* img = cachedRow(key, defaultFont)) {
      const QRect part = texts.intersected(r);
      uchar* dst = target.bits() + static_cast<qsizetype>(part.y()) * target.bytesPerLine() + part.x() * 4;
      const uchar* src = img->constBits() + static_cast<qsizetype>(part.y() - texts.y()) * img->bytesPerLine() +
                         (part.x() - texts.x()) * 4;
      for (int y = part.top(); y <= part.bottom(); ++y, dst += target.bytesPerLine(), src += img->bytesPerLine())
        std::memcpy(dst, src, static_cast<size_t>(part.width()) * 4);
    } else {
      fillDirect(target, texts.intersected(r), fill);
      // The area's painter has no clip of its own: the row's replaces none, and no
      // state needs saving for the next row, which sets all it uses.
      p.setClipRect(m_geometry);
      p.setTransform(QTransform::fromTranslate(m_geometry.x(), m_geometry.y()));
      renderCell(p, cellpaint::plan(in), defaultFont, texts.size(), true);
      p.resetTransform();
      p.setClipping(false);
      if (r.contains(texts)) {
        QImage pixels(texts.size(), QImage::Format_RGB32);
        for (int y = 0; y < texts.height(); ++y)
          std::memcpy(pixels.scanLine(y), target.constScanLine(texts.y() + y) + texts.x() * 4,
                      static_cast<size_t>(texts.width()) * 4);
        keepRow(key, pixels);
      }
    }
    textsEnd = std::max(r.left(), texts.right() + 1);
    reachNow = reach;
  }
  const int fillEnd = trusted ? std::min(r.right(), row.left() + std::max(oldInk, reachNow) - 1) : r.right();
  if (textsEnd <= fillEnd) fillDirect(target, QRect(QPoint(textsEnd, r.top()), QPoint(fillEnd, r.bottom())), fill);
  if (known) m_inkWidth = std::max(reachNow, r == row || oldInk <= r.width() ? 0 : oldInk);
}
