// Decode + trigger + append throughput of the recording data sink: a 64 MiB stream
// of mixed 3- to 6-byte device records, fed in buffers of a given size (1024 bytes
// is the largest LAN datagram), written into a real acquisition file.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <random>
#include <vector>

#include "capture/CVRIMSocket.h"
#include "capture/DataWrittenNotifier.h"
#include "platform/MessageBoxService.h"
#include "platform/ProfileStore.h"

namespace {

constexpr size_t STREAM_BYTES = 64u << 20;

struct Stream {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> recordStarts;  // where each record begins, to cut buffers on record bounds
};

const Stream& stream() {
  static const Stream s = [] {
    Stream out;
    out.bytes.reserve(STREAM_BYTES);
    std::mt19937 rng(2024);
    while (out.bytes.size() + 6 <= STREAM_BYTES) {
      const uint32_t n = rng() % 4;
      const uint8_t flags = static_cast<uint8_t>((n << 5) | (rng() & 0x9D) | (n < 3 ? 0x02 : 0x00));
      out.recordStarts.push_back(static_cast<uint32_t>(out.bytes.size()));
      out.bytes.push_back(flags);
      out.bytes.push_back(static_cast<uint8_t>(rng()));
      for (uint32_t i = 0; i <= n; ++i) out.bytes.push_back(static_cast<uint8_t>(rng()));
    }
    return out;
  }();
  return s;
}

class NoNotifier final : public DataWrittenNotifier {
public:
  void DataWritten(uint64_t) override {}
};

void setUpProfile(const QTemporaryDir& dir, bool trigger) {
  platform::SetProfilePath(dir.filePath("profile/VRIM.ini"));
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileString("PropertyPage3", "FilePath", dir.path() + "/");
  p.WriteProfileString("PropertyPage3", "FileName", "BENCH.ANL");
  p.WriteProfileInt("PropertyPage3", "FileMultiple", 0);
  p.WriteProfileInt("TriggerSetup", "TriggerState", trigger ? 1 : 0);
  const uint8_t start[] = {0x10, 0x20};
  const uint8_t stop[] = {0x30, 0x40};
  p.WriteProfileBinary("TriggerSetup", "StartPattern_00", start, 2);
  p.WriteProfileBinary("TriggerSetup", "StopPattern_00", stop, 2);
  p.WriteProfileInt("TriggerSetup", "LeadingBytes", 100);
  p.WriteProfileInt("TriggerSetup", "TrailingBytes", 100);
}

void decodeStream(benchmark::State& state, bool trigger) {
  const Stream& s = stream();
  const uint32_t bufferBytes = static_cast<uint32_t>(state.range(0));
  // Buffer bounds on record bounds, as the device sends whole records per buffer.
  std::vector<uint32_t> cuts{0};
  for (uint32_t start : s.recordStarts)
    if (start - cuts.back() > bufferBytes - 6) cuts.push_back(start);
  cuts.push_back(static_cast<uint32_t>(s.bytes.size()));

  QTemporaryDir dir;
  setUpProfile(dir, trigger);
  NoNotifier notifier;
  CVRIMSocket sink(nullptr, &notifier);
  uint64_t items = 0;
  uint64_t written = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sink.LoadTriggerSetup();
    sink.OpenAcquisitionFile();
    state.ResumeTiming();
    for (size_t i = 0; i + 1 < cuts.size(); ++i)
      benchmark::DoNotOptimize(sink.DecodeDeviceRecords(s.bytes.data() + cuts[i], cuts[i + 1] - cuts[i]));
    state.PauseTiming();
    written += (sink.GetFileLength() - 24) / 6;
    sink.CloseAcquisitionFile();
    state.ResumeTiming();
    items += s.recordStarts.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(items));
  state.counters["written_share"] = static_cast<double>(written) / static_cast<double>(items);
}

void BM_DecodeTriggerOff(benchmark::State& state) { decodeStream(state, false); }
void BM_DecodeTriggerArmed(benchmark::State& state) { decodeStream(state, true); }

}  // namespace

BENCHMARK(BM_DecodeTriggerOff)->Arg(1024)->Arg(65536)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeTriggerArmed)->Arg(1024)->Arg(65536)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
