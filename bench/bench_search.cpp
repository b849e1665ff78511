// Pattern search and range checksum over a 256 MiB acquisition file of random items:
// one full search pass (restart to the end of the file) beside a plain sequential
// read of the same file with the same block size, and the CRC and XOR of 10 million
// items. The file is read from the page cache after the first pass.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <random>

#include "capture/CActiveFile.h"
#include "common/ItemRecord.h"
#include "display/CChecksumDlg.h"
#include "display/ItemBlockReader.h"
#include "display/PatternSearch.h"

namespace {

constexpr uint64_t FILE_BYTES = uint64_t{256} << 20;
constexpr uint64_t ITEMS = (FILE_BYTES - 24) / ITEM_SIZE;
constexpr uint8_t PATTERN[4] = {0x5A, 0xC3, 0x17, 0xE8};
// Every PLANTED_EVERY items, away from the boundaries of the blocks written below.
constexpr uint64_t PLANTED_EVERY = uint64_t{6} << 16;

struct SearchFile {
  QTemporaryDir dir;
  CActiveFile file;

  SearchFile() {
    const QString path = dir.filePath(QStringLiteral("search.ANL"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    QByteArray header(24, '\0');
    header[8] = 24;
    out.write(header);
    std::mt19937_64 random(12345);
    QByteArray block(static_cast<qsizetype>(ITEM_SIZE) * (1 << 16), '\0');
    for (uint64_t done = 0; done < ITEMS;) {
      const uint64_t n = std::min<uint64_t>(ITEMS - done, 1 << 16);
      for (qsizetype i = 0; i < block.size(); i += 8) {
        const uint64_t r = random();
        std::memcpy(block.data() + i, &r, std::min<qsizetype>(8, block.size() - i));
      }
      // The pattern, sent by the master side.
      for (uint64_t i = 0; i < n; ++i)
        if ((done + i) % PLANTED_EVERY == 1000)
          for (int k = 0; k < 4; ++k) {
            block[static_cast<qsizetype>((i + k) * ITEM_SIZE)] = 0;
            block[static_cast<qsizetype>((i + k) * ITEM_SIZE + 1)] = static_cast<char>(PATTERN[k]);
          }
      out.write(block.constData(), static_cast<qint64>(n * ITEM_SIZE));
      done += n;
    }
    out.close();
    file.Open(path);
  }
};

SearchFile& searchFile() {
  static SearchFile f;
  return f;
}

void BM_SearchPass(benchmark::State& state) {
  CActiveFile& file = searchFile().file;
  uint32_t occurrences = 0;
  for (auto _ : state) {
    SearchState s;
    s.position = s.dataStart = 24;
    s.patternLength = 4;
    std::memcpy(s.pattern, PATTERN, 4);
    do ScanForPattern(file, s);
    while (s.found);
    occurrences = s.occurrences;
  }
  state.counters["occurrences"] = occurrences;
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * ITEMS));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ITEMS * ITEM_SIZE));
}
BENCHMARK(BM_SearchPass)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PlainRead(benchmark::State& state) {
  CActiveFile& file = searchFile().file;
  for (auto _ : state) {
    ItemBlockReader reader(file, 24);
    uint64_t bytes = 0;
    for (std::span<const uint8_t> block = reader.Next(); !block.empty(); block = reader.Next())
      bytes += block.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ITEMS * ITEM_SIZE));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_RangeChecksum(benchmark::State& state) {
  CActiveFile& file = searchFile().file;
  constexpr uint32_t COUNT = 10'000'000;
  const int method = static_cast<int>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(CChecksumDlg::Calculate(file, 1000, 1000 + COUNT - 1, method));
  state.SetLabel(method == CChecksumDlg::METHOD_CRC ? "CRC-16/X-25" : "XOR");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * COUNT);
}
BENCHMARK(BM_RangeChecksum)
    ->Arg(CChecksumDlg::METHOD_CRC)
    ->Arg(CChecksumDlg::METHOD_XOR)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
