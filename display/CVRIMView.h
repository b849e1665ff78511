#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "common/ItemRecord.h"
#include "display/CellArea.h"
#include "display/ViewCommands.h"
#include "display/ViewDialogs.h"
#include "display/ViewMarks.h"
#include "mdb/MdbViewAccess.h"
#include "platform/MessageWindow.h"

class CActiveFile;
class CDetailDlg;
class CItem;
class CSearchPatternDlg;
class QScrollBar;
class QTimer;

// The acquisition view: a client area that paints its CItem cells, one per shown
// item of the shown file, and a vertical scroll bar of 0..10000 that stands for the position
// in the file. The view keeps the position, feeds the cells by posted messages,
// follows a running recording, keeps the marks and the status title.
//
// It reads the shown file only through CActiveFile's positional reads (one read for
// all the items of a screen), so the decoder thread, printing and search, which read
// the same file, never move a position under it.
//
// Messages reach it through its message window (handle()): WM_DATA_WRITTEN,
// WM_VIEW_STATUS, WM_FILE_LOADED, WM_SWAP_RXTX, WM_SETTINGS_CHANGED, WM_CELL_MARK
// notices, WM_SEARCH_MATCH, WM_SHOW_DETAIL and WM_SEARCH_DONE. The marks are kept by
// ViewMarks; the last two messages and the analysis commands are routed to their
// dialogs by ViewDialogs.
class CVRIMView : public QWidget, public MdbViewAccess, private ViewMarks::Screen {
  Q_OBJECT

 public:
  // How a command reaches the command layer: Posted commands pass its enable test
  // first (a disabled one does nothing); Direct ones run as called.
  enum class CommandRoute { Posted, Direct };
  using CommandSink = std::function<void(uint32_t commandId, CommandRoute route)>;

  // The decoder of the shown items (the MDB interpreter) as the view drives it.
  class ItemDecoder {
   public:
    virtual ~ItemDecoder() = default;
    virtual void Start() = 0;
    virtual void Refresh() = 0;
    virtual void StopAndWait() = 0;  // ends the decoder's thread and waits for it
  };
  using DecoderFactory = std::function<std::unique_ptr<ItemDecoder>(CVRIMView&)>;

  static constexpr int STARTUP_TIMER_MS = 500;
  // Shortest time between two realtime refreshes: about 30 a second, what a person
  // can follow; a notification within it is shown when it ends.
  static constexpr int REFRESH_PERIOD_MS = 33;

  explicit CVRIMView(CActiveFile& file, QWidget* parent = nullptr);
  ~CVRIMView() override;

  platform::WindowHandle handle() const { return m_window.handle(); }
  platform::MessageWindow& messageWindow() { return m_window; }
  CActiveFile& activeFile() { return m_file; }

  void SetCommandSink(CommandSink sink) { m_commandSink = std::move(sink); }
  void SetDecoderFactory(DecoderFactory factory) { m_decoderFactory = std::move(factory); }
  ItemDecoder* decoder() const { return m_decoder.get(); }

  // Client area (cells) and scroll bar.
  QWidget* clientArea() const { return m_client; }
  QScrollBar* scrollBar() const { return m_scrollBar; }
  int ClientWidth() const;
  int ClientHeight() const;
  // The view's width for a client width (the scroll bar takes the rest).
  int WidthForClient(int clientWidth) const;

  // Makes this view the one that engine threads post to.
  void Activate();

  // --- operations of the view ---
  void OnInitialUpdate();
  void ClearCells();
  void SendProtocolToCells();
  void SetDisplayMode(uint32_t mode);
  void Redisplay();
  void LayoutCells(uint32_t width, uint32_t height, bool force);
  void ScrollToItem(uint32_t item, uint32_t length);
  void RefreshMarkers() { m_marks.RefreshMarkers(); }
  void ClearMarkers() { m_marks.ClearMarkers(); }
  void ClearSearchMarks() { m_marks.ClearSearchMarks(); }
  // Stops a running recording, saves the display mode and removes the cells. Runs
  // once, from the destructor at the latest.
  void OnDestroy();

  // --- message handlers ---
  void OnFileLoaded();
  // Realtime refresh; runs once for all the notifications queued before it.
  void OnNewData();
  // The title follows once the messages queued before it are handled, so a burst of
  // status messages sets it once; the file-size test runs for each message.
  void OnStatus(uint32_t code, uint32_t count);
  void OnCellNotice(uint32_t code, uint32_t cell);
  void OnSwapDirection(bool swap);
  void OnDeviceSettingsChanged() { m_deviceSettingsChanged = true; }
  void OnSetSearchMark(uint32_t length, uint32_t item) { m_marks.SetSearchMark(item, length); }

  // --- input in the system's own terms ---
  void OnKeyDown(uint32_t vk);
  void OnKeyUp(uint32_t vk);
  bool OnMouseWheel(int delta);
  void OnVScroll(uint32_t code, uint32_t position);

  // --- commands ---
  void OnRefresh();
  void OnDisplayHex();
  void OnDisplayAscii();
  void OnDisplayList();
  void OnRealtimeDisplay();
  void OnSearchPattern() { m_dialogs.OnSearchPattern(); }
  void OnContinueSearch() { m_dialogs.OnContinueSearch(); }
  void OnGoToItem() { m_dialogs.OnGoToItem(); }
  void OnCalculateChecksum() { m_dialogs.OnCalculateChecksum(); }
  void OnDebugInformation() { m_dialogs.OnDebugInformation(); }
  void OnShowDetail(uint32_t cell) { m_dialogs.OnShowDetail(cell); }
  void OnSearchResult() { m_dialogs.OnSearchResult(); }
  // The shown file or its header may change: the detail dialog ends and the next
  // search step restarts.
  void ForgetShownFile() { m_dialogs.ForgetShownFile(); }
  CDetailDlg* detailDialog() const { return m_dialogs.detailDialog(); }
  CSearchPatternDlg* searchDialog() const { return m_dialogs.searchDialog(); }
  // The one-shot start-up timer (timer 1) fired.
  void OnTimer(uint32_t timerId);
  // Input to the enable rules of the view's commands.
  ViewCommandState CommandState(bool connected) const;

  // --- state for the recording commands and the dialogs ---
  bool IsRealtime() const { return m_realtime; }
  // Turning realtime off first shows what a waiting refresh would have shown.
  void SetRealtime(bool on);
  // A realtime refresh waits for its turn.
  bool RefreshPending() const;
  bool IsRecording() const { return m_recording; }
  void SetRecording(bool on) { m_recording = on; }
  bool DeviceSettingsChanged() const { return m_deviceSettingsChanged; }
  void SetDeviceSettingsChanged(bool changed) { m_deviceSettingsChanged = changed; }
  uint32_t GetDataOffset() const { return m_dataOffset; }
  void SetDataOffset(uint32_t offset) { m_dataOffset = offset; }
  void SetFirstItem(uint32_t first) { m_firstItem = first; }
  void SetItemCount(uint32_t count) { m_itemCount = count; }
  uint32_t GetFilledCells() const { return m_filledCells; }
  void SetFilledCells(uint32_t filled) { m_filledCells = filled; }
  uint32_t GetFileMaxSize() const { return m_fileMaxSize; }
  void SetFileMaxSize(uint32_t choice) { m_fileMaxSize = choice; }
  uint32_t GetMarkedFirstItem() const { return m_marks.markedFirstItem(); }
  uint32_t GetCursor() const { return m_marks.cursor(); }
  uint32_t GetReference() const { return m_marks.reference(); }
  uint32_t GetSearchMarkFirst() const { return m_marks.searchFirst(); }
  uint32_t GetSearchMarkLength() const { return m_marks.searchLength(); }
  uint32_t GetRangeFirst() const { return m_marks.rangeFirst(); }
  uint32_t GetRangeLast() const { return m_marks.rangeLast(); }
  uint32_t GetThumbTarget() const { return m_thumbTarget; }
  bool IsShiftDown() const { return m_shift; }
  const QString& Title() const { return m_title; }
  CItem* cell(uint32_t index) const;

  // --- read by the decoder thread (and by the marks) ---
  uint32_t GetFirstItem() const override { return m_firstItem; }
  uint32_t GetCellCount() const override { return m_cellCount; }
  uint32_t GetItemCount() const override { return m_itemCount; }
  uint32_t GetDisplayAttribute() const override { return m_displayAttribute; }
  platform::WindowHandle GetCell(uint32_t index) const override;

 signals:
  // The status title, to be shown as the document's title.
  void titleChanged(const QString& title);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum DeferredJob : uint32_t { JOB_NEW_DATA = 1, JOB_TITLE = 2, JOB_RESTART = 4 };

  void postToSelf(uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0);
  void postToCell(uint32_t cell, uint32_t id, uintptr_t wParam, intptr_t lParam = 0);
  void postToAllCells(uint32_t id, uintptr_t wParam, intptr_t lParam = 0);
  // Posts one message to cells first .. first + count - 1 as a single queue entry,
  // which reaches each of them in turn where the single messages would have; items
  // (one per cell) make it CELLDATA_ITEM.
  void postToCells(uint32_t first, uint32_t count, uint32_t id, uintptr_t wParam, intptr_t lParam,
                   std::vector<ItemRecord> items = {});
  struct CellBatch;
  void deliverToCells(CellBatch& batch);
  // The marks' posts of a WM_CELL_MARK code.
  void markCell(uint32_t cell, uint32_t code) override;
  void markCells(uint32_t first, uint32_t count, uint32_t code) override;
  void markAllCells(uint32_t code) override;
  void schedule(DeferredJob job);
  void runDeferred(uint32_t jobs);
  void refreshNewData();
  void applyTitle();
  // Posts CELLDATA_CLEAR to cells from 'from' on.
  void clearCellsFrom(uint32_t from);
  // Reads items first .. first + count - 1 in one positional read and posts them to
  // cells firstCell on; returns how many whole items were read.
  uint32_t fillCells(uint32_t firstCell, uint64_t firstItem, uint32_t count);
  // Shows the items and marks of the cells from 'from' on, which a layout added.
  void fillNewCells(uint32_t from);
  void setScrollPosition();
  uint32_t rowLength() const;
  uint32_t scrollLimit() const;
  void moveFirstItem(uint32_t first);
  void refreshDecoder();

  CActiveFile& m_file;
  platform::MessageWindow m_window;
  CellArea* m_client = nullptr;
  QScrollBar* m_scrollBar = nullptr;
  QTimer* m_startupTimer = nullptr;
  QTimer* m_refreshTimer = nullptr;
  QElapsedTimer m_sinceRefresh;
  CommandSink m_commandSink;
  DecoderFactory m_decoderFactory;

  bool m_realtime = false;
  bool m_deviceSettingsChanged = true;
  bool m_recording = false;
  bool m_shift = false;
  uint32_t m_dataOffset = 0;
  std::atomic<uint32_t> m_cellCount{0};
  std::atomic<uint32_t> m_firstItem{0};
  std::atomic<uint32_t> m_itemCount{0};
  uint32_t m_thumbTarget;
  uint32_t m_filledCells = 0;
  std::atomic<uint32_t> m_displayAttribute;
  uint32_t m_fileMaxSize = 0;

  std::vector<std::unique_ptr<CItem>> m_cells;  // painted by the client area
  // Serial number of each cell's making: a message posted to a cell that is gone
  // must not reach a newer cell at the same index.
  std::vector<uint64_t> m_cellSerials;
  uint64_t m_nextCellSerial = 0;
  mutable std::mutex m_cellHandlesMutex;
  std::vector<platform::WindowHandle> m_cellHandles;  // read by the decoder thread

  std::unique_ptr<ItemDecoder> m_decoder;
  ViewMarks m_marks{*this};
  uint32_t m_pendingJobs = 0;
  uint32_t m_pendingStatusCode = 0;
  bool m_restartPosted = false;
  bool m_settingScrollBar = false;
  bool m_destroyed = false;
  uint32_t m_thumbPosition = 0;
  QString m_title;
  // Last, so that the dialogs, children of this view, end while all of it is there.
  ViewDialogs m_dialogs{*this};
};
