#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <vector>

#include "capture/CActiveFile.h"
#include "common/SystemTypes.h"
#include "display/PrintJob.h"
#include "mdb/CMDBInterpreter.h"
#include "mdb/MdbViewAccess.h"
#include "tools/MdbScenarios.h"

namespace {

class NoView : public MdbViewAccess {
 public:
  uint32_t GetFirstItem() const override { return 0; }
  uint32_t GetCellCount() const override { return 0; }
  uint32_t GetItemCount() const override { return 0; }
  uint32_t GetDisplayAttribute() const override { return DISPLAY_LIST; }
  platform::WindowHandle GetCell(uint32_t) const override { return platform::NULL_WINDOW; }
};

// A recording of generated MDB traffic with a fresh 24-byte header, shown.
struct Recording {
  explicit Recording(size_t count) {
    uint32_t time = 0;
    items = MdbScenarios::ToItems(MdbScenarios::LongRecording(count), time);
    items.resize(count);
    QByteArray bytes(24, '\0');
    const uint32_t headerSize = 24;
    std::memcpy(bytes.data() + 8, &headerSize, 4);
    std::memcpy(bytes.data() + 12, "VRIM", 4);
    bytes.append(reinterpret_cast<const char*>(items.data()), qsizetype(items.size() * sizeof(ItemRecord)));
    QFile f(dir.filePath(QStringLiteral("BENCH.ANL")));
    ok = f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    f.close();
    ok = ok && file.Open(f.fileName());
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFileName(dir.filePath(QStringLiteral("BENCH.pdf")));
  }
  PrintSource source(uint32_t mode) { return {&file, uint32_t(items.size()), mode, PROTOCOL_MDB, &decoder}; }

  QTemporaryDir dir;
  std::vector<ItemRecord> items;
  CActiveFile file;
  NoView view;
  CMDBInterpreter decoder{view, file};
  QPrinter printer{QPrinter::HighResolution};
  bool ok = false;
};

// The counting pass that runs before the print dialog: every page laid out, nothing
// drawn.
void BM_CountingPassList600Dpi(benchmark::State& state) {
  Recording rec(1000000);
  if (!rec.ok) return state.SkipWithError("cannot write the recording");
  PrintJob job(rec.source(DISPLAY_LIST), nullptr, {});
  for (auto _ : state) benchmark::DoNotOptimize(job.OnPreparePrinting(rec.printer));
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(rec.items.size()));
  state.counters["pages"] = double(job.PageCount());
}
BENCHMARK(BM_CountingPassList600Dpi)->Unit(benchmark::kMillisecond);

// Pages written to a PDF file at 600 dpi: 20 pages a run, in list mode with the MDB
// names and in the hex grid.
void BM_PdfPages(benchmark::State& state) {
  Recording rec(100000);
  if (!rec.ok) return state.SkipWithError("cannot write the recording");
  PrintJob job(rec.source(uint32_t(state.range(0))), nullptr, {});
  job.OnPreparePrinting(rec.printer);
  for (auto _ : state) job.PrintPages(rec.printer, 1, 20, false);
  state.counters["pages_per_second"] =
      benchmark::Counter(double(state.iterations()) * 20, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PdfPages)->Arg(DISPLAY_LIST)->Arg(DISPLAY_HEX)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
