// What opening a file costs the settings file: the recent list put in order and
// saved (flushed to disk), ten entries deep.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"

namespace {

void BM_RecentFileListAdd(benchmark::State& state) {
  QTemporaryDir dir;
  platform::ProfileStore store(dir.filePath(QStringLiteral("VRIM.ini")));
  platform::RecentFileList list(&store);
  for (int i = 0; i < platform::RecentFileList::MAX_ENTRIES; ++i)
    list.Add(dir.filePath(QStringLiteral("F%1.ANL").arg(i)));
  int next = 0;
  for (auto _ : state) list.Add(dir.filePath(QStringLiteral("F%1.ANL").arg(next++ % 12)));
}
BENCHMARK(BM_RecentFileListAdd)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
