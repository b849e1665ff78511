#include "display/CVRIMView.h"

#include <QKeyEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <vector>

#include "capture/CActiveFile.h"
#include "common/ItemRecord.h"
#include "common/StatusCodes.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CItem.h"
#include "display/CellArea.h"
#include "common/CellCodes.h"
#include "display/CellGeometry.h"
#include "display/ViewNavigation.h"
#include "platform/AppWindows.h"
#include "platform/ProfileStore.h"

using namespace viewnav;

namespace {

// Private messages of the view to itself.
constexpr uint32_t WM_VIEW_DEFERRED = WM_USER + 0x180;  // wParam: the deferred job
constexpr uint32_t WM_VIEW_COMMAND = WM_USER + 0x181;   // wParam: a command id posted to the view
constexpr uint32_t WM_VIEW_CELLS = WM_USER + 0x182;     // payload: a CellBatch

constexpr uint32_t STARTUP_TIMER = 1;

uint32_t keyToVk(int key) {
  switch (key) {
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    default:
      return 0;
  }
}

}  // namespace

CVRIMView::CVRIMView(CActiveFile& file, QWidget* parent)
    : QWidget(parent),
      m_file(file),
      m_thumbTarget(ITEM_NONE),
      m_displayAttribute(platform::Profile().GetProfileInt(QStringLiteral("General"),
                                                           QStringLiteral("DisplayAttribute"), 2)) {
  setFocusPolicy(Qt::StrongFocus);

  // The view's own background shows wherever no cell covers it.
  m_client = new CellArea(this);
  m_client->setCells(&m_cells);

  // The bar stands for the position in the file; the view moves its content itself.
  m_scrollBar = new QScrollBar(Qt::Vertical, this);
  m_scrollBar->setRange(0, static_cast<int>(SCROLL_RANGE));
  m_scrollBar->setFocusPolicy(Qt::NoFocus);
  m_scrollBar->installEventFilter(this);
  connect(m_scrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) {
    if (m_settingScrollBar) return;
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub:
        OnVScroll(SB_LINEUP, 0);
        break;
      case QAbstractSlider::SliderSingleStepAdd:
        OnVScroll(SB_LINEDOWN, 0);
        break;
      case QAbstractSlider::SliderPageStepSub:
        OnVScroll(SB_PAGEUP, 0);
        break;
      case QAbstractSlider::SliderPageStepAdd:
        OnVScroll(SB_PAGEDOWN, 0);
        break;
      case QAbstractSlider::SliderToMinimum:
        OnVScroll(SB_TOP, 0);
        break;
      case QAbstractSlider::SliderToMaximum:
        OnVScroll(SB_BOTTOM, 0);
        break;
      case QAbstractSlider::SliderMove:
        OnVScroll(SB_THUMBTRACK, static_cast<uint32_t>(m_scrollBar->sliderPosition()));
        return;  // the thumb follows the drag
      default:
        return;
    }
    // Lines and pages move the content; the thumb is placed by the redisplay only.
    m_settingScrollBar = true;
    m_scrollBar->setSliderPosition(static_cast<int>(m_thumbPosition));
    m_settingScrollBar = false;
  });
  // A value set on the bar without an action (its context menu's "Scroll here")
  // moves no content, so the thumb goes back to where the content is.
  connect(m_scrollBar, &QAbstractSlider::valueChanged, this, [this](int value) {
    if (m_settingScrollBar || m_scrollBar->isSliderDown() || value == static_cast<int>(m_thumbPosition))
      return;
    m_settingScrollBar = true;
    m_scrollBar->setValue(static_cast<int>(m_thumbPosition));
    m_settingScrollBar = false;
  });
  connect(m_scrollBar, &QAbstractSlider::sliderReleased, this, [this] {
    OnVScroll(SB_ENDSCROLL, static_cast<uint32_t>(m_scrollBar->sliderPosition()));
    m_settingScrollBar = true;
    m_scrollBar->setValue(static_cast<int>(m_thumbPosition));
    m_settingScrollBar = false;
  });

  m_startupTimer = new QTimer(this);
  m_startupTimer->setSingleShot(true);
  m_startupTimer->setInterval(STARTUP_TIMER_MS);
  connect(m_startupTimer, &QTimer::timeout, this, [this] { OnTimer(STARTUP_TIMER); });
  m_refreshTimer = new QTimer(this);
  m_refreshTimer->setSingleShot(true);
  m_refreshTimer->setTimerType(Qt::PreciseTimer);
  connect(m_refreshTimer, &QTimer::timeout, this, [this] { schedule(JOB_NEW_DATA); });

  m_window.on(WM_DATA_WRITTEN, [this](platform::Message&) {
    OnNewData();
    return 0;
  });
  m_window.on(WM_VIEW_STATUS, [this](platform::Message& m) {
    OnStatus(static_cast<uint32_t>(m.wParam), static_cast<uint32_t>(m.lParam));
    return 0;
  });
  m_window.on(WM_FILE_LOADED, [this](platform::Message&) {
    OnFileLoaded();
    return 0;
  });
  m_window.on(WM_SWAP_RXTX, [this](platform::Message& m) {
    OnSwapDirection(m.lParam != 0);
    return 0;
  });
  m_window.on(WM_SETTINGS_CHANGED, [this](platform::Message&) {
    OnDeviceSettingsChanged();
    return 0;
  });
  m_window.on(WM_CELL_MARK, [this](platform::Message& m) {
    OnCellNotice(static_cast<uint32_t>(m.wParam), static_cast<uint32_t>(m.lParam));
    return 0;
  });
  m_window.on(WM_SEARCH_MATCH, [this](platform::Message& m) {
    OnSetSearchMark(static_cast<uint32_t>(m.wParam), static_cast<uint32_t>(m.lParam));
    return 0;
  });
  m_window.on(WM_SHOW_DETAIL, [this](platform::Message& m) {
    OnShowDetail(static_cast<uint32_t>(m.lParam));
    return 0;
  });
  m_window.on(WM_SEARCH_DONE, [this](platform::Message&) {
    OnSearchResult();
    return 0;
  });
  m_window.on(WM_VIEW_DEFERRED, [this](platform::Message& m) {
    runDeferred(static_cast<uint32_t>(m.wParam));
    return 0;
  });
  m_window.on(WM_VIEW_CELLS, [this](platform::Message& m) {
    if (auto* batch = m.payloadAs<CellBatch>()) deliverToCells(*batch);
    return 0;
  });
  m_window.on(WM_VIEW_COMMAND, [this](platform::Message& m) {
    const auto id = static_cast<uint32_t>(m.wParam);
    if (m_commandSink) m_commandSink(id, CommandRoute::Posted);
    // Status messages posted before the restart ran still carry counts of the file
    // that it closed; another restart may follow only once they are handled.
    if (id == ID_RESTART_RECORDING) postToSelf(WM_VIEW_DEFERRED, JOB_RESTART);
    return 0;
  });
}

CVRIMView::~CVRIMView() {
  OnDestroy();
  if (m_decoder) {
    m_decoder->StopAndWait();
    m_decoder.reset();
  }
  if (platform::ActiveViewWindow() == handle()) platform::SetActiveViewWindow(platform::NULL_WINDOW);
}

void CVRIMView::Activate() { platform::SetActiveViewWindow(handle()); }

int CVRIMView::ClientWidth() const { return m_client->width(); }
int CVRIMView::ClientHeight() const { return m_client->height(); }
int CVRIMView::WidthForClient(int clientWidth) const { return clientWidth + m_scrollBar->sizeHint().width(); }

CItem* CVRIMView::cell(uint32_t index) const { return index < m_cells.size() ? m_cells[index].get() : nullptr; }

platform::WindowHandle CVRIMView::GetCell(uint32_t index) const {
  std::lock_guard lock(m_cellHandlesMutex);
  return index < m_cellHandles.size() ? m_cellHandles[index] : platform::NULL_WINDOW;
}

ViewCommandState CVRIMView::CommandState(bool connected) const {
  ViewCommandState s;
  s.recording = m_recording;
  s.connected = connected;
  s.fileOpen = m_file.IsOpen();
  s.rangeSet = m_marks.rangeFirst() != ITEM_NONE && m_marks.rangeLast() != ITEM_NONE;
  return s;
}

// ---------------------------------------------------------------- posting

void CVRIMView::postToSelf(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  platform::PostMessage(handle(), id, wParam, lParam);
}

void CVRIMView::postToCell(uint32_t cell, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  if (cell < m_cells.size()) platform::PostMessage(m_cells[cell]->handle(), id, wParam, lParam);
}

void CVRIMView::postToAllCells(uint32_t id, uintptr_t wParam, intptr_t lParam) {
  postToCells(0, static_cast<uint32_t>(m_cells.size()), id, wParam, lParam);
}

struct CVRIMView::CellBatch {
  uint32_t id;
  uintptr_t wParam;
  intptr_t lParam;
  uint32_t first;
  uint32_t count;
  uint64_t serialLimit;  // cells made from this serial on came after the post
  std::vector<ItemRecord> items;
};

void CVRIMView::postToCells(uint32_t first, uint32_t count, uint32_t id, uintptr_t wParam, intptr_t lParam,
                            std::vector<ItemRecord> items) {
  if (count == 0) return;
  platform::PostMessage(handle(), WM_VIEW_CELLS, 0,
                        platform::makePayload(CellBatch{id, wParam, lParam, first, count, m_nextCellSerial,
                                                        std::move(items)}));
}

void CVRIMView::deliverToCells(CellBatch& batch) {
  const size_t end = std::min<size_t>(static_cast<size_t>(batch.first) + batch.count, m_cells.size());
  for (size_t i = batch.first; i < end; ++i) {
    if (m_cellSerials[i] >= batch.serialLimit) continue;
    CItem& c = *m_cells[i];
    if (!batch.items.empty())
      c.SetItem(batch.items[i - batch.first]);
    else if (batch.id == WM_CELL_INIT)  // each cell learns its own index
      c.messageWindow().send(batch.id, batch.wParam, static_cast<intptr_t>(i));
    else
      c.messageWindow().send(batch.id, batch.wParam, batch.lParam);
  }
}

void CVRIMView::markCell(uint32_t cell, uint32_t code) { postToCell(cell, WM_CELL_MARK, code); }
void CVRIMView::markCells(uint32_t first, uint32_t count, uint32_t code) {
  postToCells(first, count, WM_CELL_MARK, code, 0);
}
void CVRIMView::markAllCells(uint32_t code) { postToAllCells(WM_CELL_MARK, code); }

// Notifications and status messages arrive far more often than a screen can
// change; each kind of work runs once for all the messages queued before it.
void CVRIMView::schedule(DeferredJob job) {
  if (m_pendingJobs & job) return;
  m_pendingJobs |= job;
  postToSelf(WM_VIEW_DEFERRED, job);
}

void CVRIMView::runDeferred(uint32_t jobs) {
  m_pendingJobs &= ~jobs;
  if (jobs & JOB_NEW_DATA) refreshNewData();
  if (jobs & JOB_TITLE) applyTitle();
  if (jobs & JOB_RESTART) m_restartPosted = false;
}

void CVRIMView::refreshDecoder() {
  if (m_decoder) m_decoder->Refresh();
}

// ---------------------------------------------------------------- cells

void CVRIMView::ClearCells() {
  clearCellsFrom(0);
  m_client->update();
}

void CVRIMView::clearCellsFrom(uint32_t from) {
  // Each cell asks for its own repaint: a whole-area repaint at every refresh would
  // redraw what did not change.
  if (from < m_cells.size())
    postToCells(from, static_cast<uint32_t>(m_cells.size()) - from, WM_CELL_DATA, CELLDATA_CLEAR, 0);
}

uint32_t CVRIMView::fillCells(uint32_t firstCell, uint64_t firstItem, uint32_t count) {
  count = std::min<uint32_t>(
      count, firstCell < m_cells.size() ? static_cast<uint32_t>(m_cells.size()) - firstCell : 0);
  if (count == 0) return 0;
  // Items are their file form (six packed bytes): the read lands in them directly.
  std::vector<ItemRecord> items(count);
  const int64_t got = m_file.ReadAt(m_dataOffset + firstItem * ITEM_SIZE, items.data(), items.size() * ITEM_SIZE);
  if (got <= 0) return 0;
  // A short read (the file shrank, a partial last item) fills only whole items.
  const auto whole = static_cast<uint32_t>(got / ITEM_SIZE);
  items.resize(whole);
  postToCells(firstCell, whole, WM_CELL_DATA, CELLDATA_ITEM, 0, std::move(items));
  return whole;
}

void CVRIMView::SendProtocolToCells() {
  const uint32_t protocol =
      platform::Profile().GetProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Protocol"), 0);
  postToAllCells(WM_CELL_DATA, CELLDATA_PROTOCOL, protocol);
}

void CVRIMView::LayoutCells(uint32_t width, uint32_t height, bool force) {
  const uint32_t needed =
      cellgeometry::neededCellCount(m_displayAttribute, static_cast<int>(width), static_cast<int>(height));
  if (needed == m_cellCount && !force) return;

  uint32_t init =
      platform::Profile().GetProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Protocol"), 0);
  if (platform::Profile().GetProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("SwitchRxTx"), 0))
    init |= CELLINIT_SWAP;

  const auto before = static_cast<uint32_t>(m_cells.size());
  if (before < needed) {
    m_cells.reserve(needed);
    std::vector<platform::WindowHandle> handles;
    handles.reserve(needed - before);
    for (uint32_t index = before; index < needed; ++index) {
      m_cells.push_back(std::make_unique<CItem>(m_client, handle(), this, CELL_CONTROL_ID_BASE + index));
      m_cellSerials.push_back(m_nextCellSerial++);
      handles.push_back(m_cells.back()->handle());
    }
    {
      std::lock_guard lock(m_cellHandlesMutex);
      m_cellHandles.insert(m_cellHandles.end(), handles.begin(), handles.end());
    }
    m_cellCount = needed;
    // Each new cell learns its index and place, then takes the view's mode at once, so
    // that a saved ASCII mode or a resize in ASCII mode never shows hex cells until
    // the next forced layout.
    postToCells(before, needed - before, WM_CELL_INIT, init, 0);
    postToCells(before, needed - before, WM_CELL_DATA, CELLDATA_MODE, m_displayAttribute & CELL_MODE_MASK);
  }
  if (m_cells.size() > needed) {
    {
      std::lock_guard lock(m_cellHandlesMutex);
      m_cellHandles.resize(needed);
    }
    m_cellCount = needed;
    m_cells.resize(needed);
    m_cellSerials.resize(needed);
    m_filledCells = std::min(m_filledCells, needed);
  }
  // New cells must know their index before anything else reaches them.
  platform::PumpMessages();
  if (force) {
    postToAllCells(WM_CELL_DATA, CELLDATA_MODE, m_displayAttribute & CELL_MODE_MASK);
    platform::PumpMessages();
  }
  postToAllCells(WM_CELL_LAYOUT, 0);
  // A forced layout is followed by a redisplay; after a resize the new cells show
  // their items at once.
  if (!force && needed > before) fillNewCells(before);
}

void CVRIMView::fillNewCells(uint32_t from) {
  if (!m_file.IsOpen()) return;
  // While a recording is followed, the next refresh fills on from its last cell.
  const bool following = m_recording && m_realtime;
  if (following && m_filledCells < from) return;
  const uint64_t firstNew = static_cast<uint64_t>(m_firstItem) + from;
  const uint32_t count = m_itemCount;
  const uint32_t n = firstNew < count ? static_cast<uint32_t>(std::min<uint64_t>(m_cellCount - from, count - firstNew)) : 0;
  const uint32_t filled = fillCells(from, firstNew, n);
  if (following) m_filledCells = from + filled;
  m_marks.ShowOnNewCells(from);
  refreshDecoder();
}

void CVRIMView::SetDisplayMode(uint32_t mode) {
  m_displayAttribute = (m_displayAttribute & ~CELL_MODE_MASK) | mode;
  LayoutCells(static_cast<uint32_t>(ClientWidth()), static_cast<uint32_t>(ClientHeight()), true);
  Redisplay();
  refreshDecoder();
  m_client->update();
}

void CVRIMView::setScrollPosition() {
  if (m_itemCount == 0) return;
  m_thumbPosition = thumbPosition(m_firstItem, m_itemCount);
  m_settingScrollBar = true;
  m_scrollBar->setValue(static_cast<int>(m_thumbPosition));
  m_settingScrollBar = false;
}

void CVRIMView::Redisplay() {
  if (!m_file.IsOpen()) return;
  const uint32_t first = m_firstItem;
  const uint32_t count = m_itemCount;
  const uint32_t n = first < count ? std::min<uint32_t>(m_cellCount, count - first) : 0;
  // Cells that get an item need no clear before it: the item replaces all it shows.
  const uint32_t filled = fillCells(0, first, n);
  clearCellsFrom(filled);
  setScrollPosition();
  RefreshMarkers();
  postToSelf(WM_VIEW_STATUS, STATUS_HALTED, 0);
  refreshDecoder();
}

void CVRIMView::OnFileLoaded() {
  ForgetShownFile();
  ClearMarkers();
  m_firstItem = 0;
  if (!m_file.IsOpen()) {
    // A failed open leaves no file to read: show nothing.
    m_dataOffset = 0;
    m_itemCount = 0;
    ClearCells();
  } else {
    uint32_t headerSize = 0;
    m_file.ReadCommentSize(headerSize);
    m_dataOffset = headerSize;
    m_itemCount = CActiveFile::ShownItemCount(m_file.GetLength(), m_dataOffset);
    const uint32_t filled = fillCells(0, 0, std::min<uint32_t>(m_itemCount, m_cellCount));
    clearCellsFrom(filled);
  }
  postToSelf(WM_VIEW_STATUS, STATUS_LOADED, 0);
  refreshDecoder();
}

void CVRIMView::OnNewData() {
  if (!m_realtime || m_refreshTimer->isActive()) return;
  // A recording notifies far more often than a screen is worth redrawing: at most
  // one refresh a period, the newest items shown at the end of it at the latest.
  const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : REFRESH_PERIOD_MS;
  if (since >= REFRESH_PERIOD_MS)
    schedule(JOB_NEW_DATA);
  else
    m_refreshTimer->start(static_cast<int>(REFRESH_PERIOD_MS - since));
}

bool CVRIMView::RefreshPending() const { return m_refreshTimer->isActive() || (m_pendingJobs & JOB_NEW_DATA); }

void CVRIMView::SetRealtime(bool on) {
  if (!on && m_realtime && m_refreshTimer->isActive()) {
    m_refreshTimer->stop();
    refreshNewData();
  }
  m_realtime = on;
}

void CVRIMView::refreshNewData() {
  if (!m_realtime || !m_file.IsOpen()) return;
  m_sinceRefresh.restart();
  const uint32_t count = CActiveFile::ShownItemCount(m_file.GetLength(), m_dataOffset);
  m_itemCount = count;
  const uint32_t cells = m_cellCount;
  uint32_t first = m_firstItem;
  const bool full = cells > 0 && count >= cells && count >= first && count - first >= cells;
  if (full) {
    m_filledCells = 0;
    first = realtimeAdvance(cellgeometry::isListMode(m_displayAttribute), first, count, cells, rowLength());
    m_firstItem = first;
  }
  const uint32_t n = first < count ? std::min<uint32_t>(count - first, cells) : 0;
  if (full) clearCellsFrom(n);
  if (m_filledCells < n)
    m_filledCells +=
        fillCells(m_filledCells, static_cast<uint64_t>(first) + m_filledCells, n - m_filledCells);
  RefreshMarkers();
  postToSelf(WM_VIEW_STATUS, STATUS_RUNNING, 0);
  refreshDecoder();
}

// ---------------------------------------------------------------- life cycle

void CVRIMView::OnInitialUpdate() {
  if (m_displayAttribute & DISPLAY_LIST) SetDisplayMode(m_displayAttribute);
  postToSelf(WM_VIEW_STATUS, STATUS_READY, 0);
  if (platform::Profile().GetProfileInt(QStringLiteral("PropertyPage2"), QStringLiteral("StartupAquire"), 0))
    m_startupTimer->start();
  Activate();
  if (m_decoderFactory) {
    m_decoder = m_decoderFactory(*this);
    if (m_decoder) m_decoder->Start();
  }
}

void CVRIMView::OnTimer(uint32_t timerId) {
  if (timerId != STARTUP_TIMER) return;
  m_startupTimer->stop();
  if (m_commandSink) m_commandSink(ID_START_RECORDING, CommandRoute::Direct);
}

void CVRIMView::OnDestroy() {
  if (m_destroyed) return;
  m_destroyed = true;
  m_startupTimer->stop();
  if (m_recording && m_commandSink) m_commandSink(ID_STOP_RECORDING, CommandRoute::Direct);
  platform::Profile().WriteProfileInt(QStringLiteral("General"), QStringLiteral("DisplayAttribute"),
                                      static_cast<int32_t>(m_displayAttribute.load()));
  {
    std::lock_guard lock(m_cellHandlesMutex);
    m_cellHandles.clear();
  }
  m_cellCount = 0;
  m_cells.clear();
  m_cellSerials.clear();
}

void CVRIMView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int bar = m_scrollBar->sizeHint().width();
  const int cx = std::max(0, width() - bar);
  const int cy = height();
  m_scrollBar->setGeometry(cx, 0, bar, cy);
  m_client->setGeometry(0, 0, cx, cy);
  // Tiny client areas keep the cells they have.
  if (cx >= 21 && cy >= 31 && !m_destroyed)
    LayoutCells(static_cast<uint32_t>(cx), static_cast<uint32_t>(cy), false);
}

void CVRIMView::OnSwapDirection(bool swap) {
  if (swap)
    postToAllCells(WM_CELL_DATA, CELLDATA_SETBITS, static_cast<intptr_t>(CELL_SWAP));
  else
    postToAllCells(WM_CELL_DATA, CELLDATA_MASKBITS, static_cast<intptr_t>(~CELL_SWAP));
  m_client->update();
}

// ---------------------------------------------------------------- commands

void CVRIMView::OnRefresh() {
  SetDisplayMode(m_displayAttribute);
  RefreshMarkers();
}

void CVRIMView::OnDisplayHex() { SetDisplayMode(DISPLAY_HEX); }
void CVRIMView::OnDisplayAscii() { SetDisplayMode(DISPLAY_ASCII); }
void CVRIMView::OnDisplayList() { SetDisplayMode(DISPLAY_LIST); }

void CVRIMView::OnRealtimeDisplay() {
  m_realtime = !m_realtime;
  platform::Profile().WriteProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Realtime"),
                                      m_realtime ? 1 : 0);
}

// ---------------------------------------------------------------- navigation

uint32_t CVRIMView::rowLength() const { return cellgeometry::rowLength(m_displayAttribute, ClientWidth()); }
uint32_t CVRIMView::scrollLimit() const { return viewnav::scrollLimit(m_itemCount, m_cellCount); }

void CVRIMView::moveFirstItem(uint32_t first) {
  if (first == m_firstItem) return;
  m_firstItem = first;
  Redisplay();
}

void CVRIMView::OnKeyDown(uint32_t vk) {
  if (!m_file.IsOpen() || m_recording) return;
  switch (vk) {
    case VK_SHIFT:
      m_shift = true;
      return;
    case VK_LEFT:
    case VK_RIGHT:
      m_marks.StepMark(m_shift, vk == VK_LEFT, m_itemCount);
      m_dialogs.PostShowDetail(m_marks.cursor() - m_firstItem);
      return;
    default:
      if (m_itemCount <= m_cellCount) return;
      if (auto next = firstItemForKey(vk, m_firstItem, m_cellCount, rowLength(), scrollLimit()))
        moveFirstItem(*next);
  }
}

void CVRIMView::OnKeyUp(uint32_t vk) {
  if (vk == VK_SHIFT) m_shift = false;
}

bool CVRIMView::OnMouseWheel(int delta) {
  if (!m_file.IsOpen()) return true;
  if (auto next = firstItemForWheel(delta, m_firstItem, rowLength(), scrollLimit())) {
    m_firstItem = *next;
    Redisplay();
  }
  return true;
}

void CVRIMView::OnVScroll(uint32_t code, uint32_t position) {
  if (!m_file.IsOpen() || m_recording) return;
  auto key = [this](uint32_t vk) {
    if (auto next = firstItemForKey(vk, m_firstItem, m_cellCount, rowLength(), scrollLimit()))
      moveFirstItem(*next);
  };
  switch (code) {
    case SB_LINEUP:
      key(VK_UP);
      break;
    case SB_LINEDOWN:
      key(VK_DOWN);
      break;
    case SB_PAGEUP:
      key(VK_PRIOR);
      break;
    case SB_PAGEDOWN:
      key(VK_NEXT);
      break;
    case SB_THUMBTRACK:
      m_thumbTarget = thumbTarget(position, m_itemCount);
      break;
    case SB_ENDSCROLL:
      if (m_thumbTarget != ITEM_NONE) {
        m_firstItem = std::min(m_thumbTarget, scrollLimit());
        m_thumbTarget = ITEM_NONE;
        Redisplay();
      }
      break;
    default:
      break;
  }
}

void CVRIMView::keyPressEvent(QKeyEvent* event) {
  QWidget::keyPressEvent(event);
  if (const uint32_t vk = keyToVk(event->key())) {
    OnKeyDown(vk);
    event->accept();
  }
}

void CVRIMView::keyReleaseEvent(QKeyEvent* event) {
  QWidget::keyReleaseEvent(event);
  if (const uint32_t vk = keyToVk(event->key())) {
    if (!event->isAutoRepeat()) OnKeyUp(vk);
    event->accept();
  }
}

void CVRIMView::wheelEvent(QWheelEvent* event) {
  const int dy = event->angleDelta().y();
  if (dy == 0 && event->angleDelta().x() != 0) return;  // a sideways turn is no line
  OnMouseWheel(std::clamp(dy, -32768, 32767));
  event->accept();
}

bool CVRIMView::eventFilter(QObject* watched, QEvent* event) {
  // The wheel over the scroll bar moves the content as anywhere in the view.
  if (watched == m_scrollBar && event->type() == QEvent::Wheel) {
    wheelEvent(static_cast<QWheelEvent*>(event));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- marks

void CVRIMView::OnCellNotice(uint32_t code, uint32_t cell) {
  const uint32_t reference = m_marks.reference();
  m_marks.OnCellNotice(code, cell);
  // Times and distances in the detail dialog are measured to the reference.
  if (m_marks.reference() != reference) m_dialogs.ReferenceMoved(m_marks.reference());
}

void CVRIMView::ScrollToItem(uint32_t item, uint32_t length) {
  postToSelf(WM_SEARCH_MATCH, length, item);
  const uint32_t count = m_itemCount;
  const uint32_t cells = m_cellCount;
  // The whole file fits the screen: it is shown from item 0 (another display mode may
  // have left a later first item), and only the marks move.
  if (count < cells && m_firstItem == 0) {
    m_marks.ForceNextRefresh();
    platform::PumpMessages();
    RefreshMarkers();
    refreshDecoder();
    return;
  }
  if (count < cells) m_firstItem = 0;
  else m_firstItem = item < count && count - item > cells ? item : count - cells;
  const uint32_t filled = fillCells(0, m_firstItem, cells);
  clearCellsFrom(filled);
  // The search marks were taken off: they are drawn again also when the screen stays.
  if (m_firstItem == m_marks.markedFirstItem()) m_marks.ForceNextRefresh();
  platform::PumpMessages();
  RefreshMarkers();
  refreshDecoder();
}

// ---------------------------------------------------------------- status

void CVRIMView::OnStatus(uint32_t code, uint32_t count) {
  m_pendingStatusCode = code;
  schedule(JOB_TITLE);
  // One restart per file: the status messages on their way carry counts of the file
  // that the restart closes.
  if (reachesFileSizeLimit(m_fileMaxSize, count) && !m_restartPosted) {
    m_restartPosted = true;
    postToSelf(WM_VIEW_COMMAND, ID_RESTART_RECORDING, 0);
  }
}

void CVRIMView::applyTitle() {
  const QString title = statusTitle(m_pendingStatusCode, m_firstItem, m_itemCount);
  if (title == m_title) return;
  m_title = title;
  emit titleChanged(title);
}
