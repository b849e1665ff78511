#pragma once

#include <QString>
#include <atomic>
#include <numeric>
#include <string>

#include "common/CellCodes.h"
#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "mdb/CMDBInterpreter.h"
#include "mdb/MdbViewAccess.h"
#include "platform/MessageWindow.h"
#include "support/AcquisitionFile.h"

namespace mdbtest {

// A view whose cells are real message receivers recording the CELLDATA_TEXT texts;
// the decoder reads the view's numbers from its own thread, hence the atomics.
class TestView : public MdbViewAccess {
 public:
  explicit TestView(uint32_t cells) : cellCount(cells), m_texts(cells), m_received(cells) {
    for (uint32_t i = 0; i < cells; ++i) {
      m_cells.push_back(std::make_unique<platform::MessageWindow>());
      m_handles.push_back(m_cells.back()->handle());
      m_cells.back()->on(WM_CELL_DATA, [this, i](platform::Message& m) -> intptr_t {
        if (m.wParam != CELLDATA_TEXT) return 0;
        const std::string* text = m.payloadAs<std::string>();
        m_texts[i] = text ? QString::fromStdString(*text) : QString();
        ++m_received[i];
        return 0;
      });
    }
  }

  uint32_t GetFirstItem() const override { return first; }
  uint32_t GetCellCount() const override { return cellCount; }
  uint32_t GetItemCount() const override { return itemCount; }
  uint32_t GetDisplayAttribute() const override { return mode; }
  platform::WindowHandle GetCell(uint32_t index) const override {
    return index < answeredCells && index < m_handles.size() ? m_handles[index] : platform::NULL_WINDOW;
  }

  // Destroys the receivers of cells [from, end) while GetCell still answers their
  // handles, as a view does between a pass's GetCell and its post.
  void destroyCellsFrom(uint32_t from) {
    for (uint32_t i = from; i < m_cells.size(); ++i) m_cells[i].reset();
  }

  int totalReceived() const { return std::accumulate(m_received.begin(), m_received.end(), 0); }
  // What cells [0, n) received, '|'-separated: the last text, "-" for nothing, and
  // (when counted) "<k>x" before the text of a cell that got k > 1 posts.
  std::string shown(uint32_t n, bool counted = true) const {
    std::string out;
    for (uint32_t i = 0; i < n; ++i) {
      if (i) out += '|';
      if (counted && m_received[i] > 1) out += std::to_string(m_received[i]) + "x";
      out += m_received[i] ? m_texts[i].toStdString() : "-";
    }
    return out;
  }
  void clear() { std::fill(m_received.begin(), m_received.end(), 0); }

  std::atomic<uint32_t> first{0}, cellCount, itemCount{0};
  std::atomic<uint32_t> mode{DISPLAY_LIST};
  std::atomic<uint32_t> answeredCells{0xFFFFFFFFu};

 private:
  std::vector<std::unique_ptr<platform::MessageWindow>> m_cells;
  std::vector<platform::WindowHandle> m_handles;  // fixed once made: read by the decoder thread
  std::vector<QString> m_texts;
  std::vector<int> m_received;
};

inline ItemRecord vmc(uint8_t data, bool mode = false) { return {uint8_t(mode ? ITEM_FLAG_MODE : 0), data, 0}; }
inline ItemRecord peripheral(uint8_t data, bool mode = false) {
  return {uint8_t(ITEM_FLAG_SLAVE | (mode ? ITEM_FLAG_MODE : 0)), data, 0};
}

inline QByteArray itemBytes(const std::vector<ItemRecord>& items) {
  return QByteArray(reinterpret_cast<const char*>(items.data()), qsizetype(items.size() * ITEM_SIZE));
}

// An acquisition file: the current 24-byte header (with a comment when given, the
// block then growing to hold it), then the items.
inline QByteArray acquisitionFile(const std::vector<ItemRecord>& items, const QByteArray& comment = {}) {
  const uint32_t size = comment.isEmpty() ? 24 : uint32_t(24 + comment.size() + 1);
  return testsupport::anlHeader(size, 46000.5) + (comment.isEmpty() ? comment : comment + '\0') +
         itemBytes(items);
}

// The texts DecodeItem gives the items in turn, '|'-separated, "-" for none.
inline std::string decodeAll(CMDBInterpreter& decoder, const std::vector<ItemRecord>& items) {
  std::string out;
  for (uint32_t i = 0; i < items.size(); ++i) {
    QString text = QStringLiteral("-");
    decoder.DecodeItem(i, text, &items[i]);  // a byte without a name leaves the text alone
    out += (i ? "|" : "") + text.toStdString();
  }
  return out;
}

}  // namespace mdbtest
