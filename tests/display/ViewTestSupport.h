#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "capture/CActiveFile.h"
#include "common/CellCodes.h"
#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CItem.h"
#include "display/CVRIMView.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "support/TestSupport.h"

namespace viewtest {

// Item i of the test files: data i & 0xFF, time 10 i, every third one from the peripheral.
inline ItemRecord testItem(uint64_t i) {
  return {uint8_t(i % 3 == 2 ? ITEM_FLAG_SLAVE : 0), uint8_t(i & 0xFF), uint32_t(i * 10)};
}

inline QByteArray header(uint32_t size = 24) {
  QByteArray h(24, '\0');
  std::memcpy(h.data() + 8, &size, 4);
  return h;
}

inline QByteArray items(uint64_t from, uint64_t count) {
  QByteArray b(static_cast<int>(count * 6), '\0');
  for (uint64_t i = 0; i < count; ++i) {
    const ItemRecord r = testItem(from + i);
    std::memcpy(b.data() + 6 * i, &r, 6);
  }
  return b;
}

// Pixel checks for grabbed cells. Antialiased text is matched by its dominant channels, fills exactly.
inline int count(const QImage& img, const QRect& area, const std::function<bool(QColor)>& pred) {
  int n = 0;
  const QRect r = area.intersected(img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (pred(img.pixelColor(x, y))) ++n;
  return n;
}
inline bool isRed(QColor c) { return c.red() > 170 && c.green() < 100 && c.blue() < 100; }
inline bool isBlue(QColor c) { return c.blue() > 170 && c.red() < 100 && c.green() < 100; }
inline bool isBlack(QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() < 60; }
inline bool isWhite(QColor c) { return c.red() > 245 && c.green() > 245 && c.blue() > 245; }

using Command = std::pair<uint32_t, CVRIMView::CommandRoute>;

// A shown view on a real file in a private profile, recording the commands it sends and the detail requests
// it posts. The display mode comes from the profile as after a restart; presets run before the first layout.
struct ViewHost {
  testsupport::TempProfile profile;
  CActiveFile file;
  std::vector<Command> commands;
  std::vector<intptr_t> details;
  std::unique_ptr<CVRIMView> view;  // last: a view closed while recording still sends its Stop

  explicit ViewHost(int clientWidth = 400, int clientHeight = 300, uint32_t mode = DISPLAY_HEX,
                    const std::function<void(CVRIMView&)>& presets = {}) {
    platform::Profile().WriteProfileInt("General", "DisplayAttribute", static_cast<int32_t>(mode));
    view = std::make_unique<CVRIMView>(file);
    if (presets) presets(*view);
    view->SetCommandSink([this](uint32_t id, CVRIMView::CommandRoute r) { commands.push_back({id, r}); });
    view->messageWindow().on(WM_SHOW_DETAIL, [this](platform::Message& m) {
      details.push_back(m.lParam);
      return 0;
    });
    resizeClient(clientWidth, clientHeight);
    view->show();
    platform::PumpMessages();
    view->OnInitialUpdate();
    platform::PumpMessages();
  }
  void post(uint32_t id, uintptr_t w = 0, intptr_t l = 0) {
    platform::PostMessage(view->handle(), id, w, l);
    platform::PumpMessages();
  }
  void load(const QString& path) {
    file.Open(path);
    post(WM_FILE_LOADED);
  }
  QString open(uint64_t count, const char* name = "v.ANL") {  // a file of count test items, loaded
    const QString path = profile.file(name);
    testsupport::writeWholeFile(path, header() + items(0, count));
    load(path);
    return path;
  }
  // The recorder wrote these bytes and said so; the refresh it brings has run.
  void written(const QString& path, const QByteArray& bytes) {
    testsupport::writeWholeFile(path, bytes);
    post(WM_DATA_WRITTEN);
    testsupport::waitFor([&] { return !view->RefreshPending(); }, 5000);
    platform::PumpMessages();
  }
  void resizeClient(int width, int height) {
    view->resize(view->WidthForClient(width), height);
    platform::PumpMessages();
  }
  void key(uint32_t vk) {
    view->OnKeyDown(vk);
    platform::PumpMessages();
  }
  QImage grab() const { return view->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  CItem* cell(uint32_t i) const { return view->cell(i); }
  bool has(uint32_t i, uint32_t bit) const { return cell(i)->state() & bit; }
  bool filled(uint32_t i) const { return cell(i) && has(i, CELL_ITEM); }
  bool shows(uint32_t i, uint64_t k) const {  // cell i holds test item k
    const ItemRecord r = testItem(k);
    return filled(i) && cell(i)->data() == r.data && cell(i)->time() == r.time;
  }
};

}  // namespace viewtest
