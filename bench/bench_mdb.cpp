#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <vector>

#include "capture/CActiveFile.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "mdb/CMDBInterpreter.h"
#include "mdb/MdbViewAccess.h"
#include "platform/MessageWindow.h"
#include "tools/MdbScenarios.h"

namespace {

std::vector<ItemRecord> recording(size_t count) {
  uint32_t time = 0;
  return MdbScenarios::ToItems(MdbScenarios::LongRecording(count), time);
}

// A list screen of real receivers that take the texts and drop them.
class BenchView : public MdbViewAccess {
 public:
  BenchView(uint32_t cells, uint32_t items) : m_items(items) {
    for (uint32_t i = 0; i < cells; ++i) {
      m_cells.push_back(std::make_unique<platform::MessageWindow>());
      m_cells.back()->on(WM_CELL_DATA, [](platform::Message&) -> intptr_t { return 0; });
    }
  }
  uint32_t GetFirstItem() const override { return first; }
  uint32_t GetCellCount() const override { return uint32_t(m_cells.size()); }
  uint32_t GetItemCount() const override { return m_items; }
  uint32_t GetDisplayAttribute() const override { return DISPLAY_LIST; }
  platform::WindowHandle GetCell(uint32_t i) const override {
    return i < m_cells.size() ? m_cells[i]->handle() : platform::NULL_WINDOW;
  }
  uint32_t first = 0;

 private:
  std::vector<std::unique_ptr<platform::MessageWindow>> m_cells;
  uint32_t m_items;
};

void BM_DecodeItem(benchmark::State& state) {
  const std::vector<ItemRecord> items = recording(1 << 20);
  CActiveFile file;
  BenchView view(0, 0);
  CMDBInterpreter decoder(view, file);
  QString text;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(decoder.DecodeItem(uint32_t(i), text, &items[i]));
    if (++i == items.size()) i = 0;
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_DecodeItem);

// One pass over a 60-row list screen of a recorded file: one read of the screen,
// 60 decodes and the posts of their texts.
void BM_ListPass60(benchmark::State& state) {
  QTemporaryDir dir;
  const std::vector<ItemRecord> items = recording(100000);
  QByteArray bytes(24, '\0');
  const uint32_t headerSize = 24;
  std::memcpy(bytes.data() + 8, &headerSize, 4);
  std::memcpy(bytes.data() + 12, "VRIM", 4);
  bytes.append(reinterpret_cast<const char*>(items.data()), qsizetype(items.size() * sizeof(ItemRecord)));
  const QString path = dir.filePath(QStringLiteral("BENCH.ANL"));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
      state.SkipWithError("cannot write the recording");
      return;
    }
  }
  CActiveFile file;
  if (!file.Open(path)) {
    state.SkipWithError("cannot open the recording");
    return;
  }
  BenchView view(60, uint32_t(items.size()));
  CMDBInterpreter decoder(view, file);
  for (auto _ : state) {
    decoder.MakePass(headerSize);
    state.PauseTiming();
    QCoreApplication::sendPostedEvents();  // the cells take their texts
    view.first = (view.first + 60) % uint32_t(items.size() - 60);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 60);
}
BENCHMARK(BM_ListPass60)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
