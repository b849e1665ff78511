// The serial link's receive path: how fast the frame receiver (unescaping, FCS and
// ring) takes bytes, and how quickly a byte or a frame wakes the thread that waits.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "capture/CComm.h"
#include "capture/HdlcEncoder.h"
#include "capture/HdlcReceiver.h"
#include "capture/HdlcRing.h"
#include "tests/support/PtyDevice.h"

namespace {

// Frames as the device sends them: 120 bytes of records each, with every byte value
// (so 0x7D and 0x7E get escaped), on cycling sequence numbers.
QByteArray frameStream(int frames) {
  std::mt19937 random(7);
  QByteArray stream;
  uint8_t wire[512];
  for (int i = 0; i < frames; ++i) {
    uint8_t payload[120];
    for (uint8_t& b : payload) b = static_cast<uint8_t>(random());
    const uint8_t head[3] = {HdlcEncoder::ADDRESS, HdlcEncoder::DataControl(static_cast<uint8_t>(i & 7)), 1};
    const uint32_t n = HdlcEncoder::Encode(wire, sizeof wire, head, 3, payload, sizeof payload);
    stream.append(reinterpret_cast<const char*>(wire), n);
  }
  return stream;
}

void BM_ReceiverFcsAndRing(benchmark::State& state) {
  const QByteArray stream = frameStream(1000);
  const auto* bytes = reinterpret_cast<const uint8_t*>(stream.constData());
  const qsizetype size = stream.size();
  HdlcReceiver receiver;
  HdlcRing ring;
  uint8_t out[HdlcRing::SLOT_SIZE];
  uint32_t length = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    for (qsizetype i = 0; i < size; ++i) {
      if (receiver.OnRxByte(bytes[i]) == HdlcReceiver::Result::Frame) {
        ring.Put(receiver.Frame(), receiver.FrameLength());
        ring.Take(out, length);
        ++frames;
      }
    }
    benchmark::DoNotOptimize(out[0]);
  }
  if (frames != 1000 * static_cast<int64_t>(state.iterations())) state.SkipWithError("frames lost");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}
BENCHMARK(BM_ReceiverFcsAndRing);

// One byte written on the device's end of a pseudo-terminal until the port's read
// thread (poll on the terminal and its stop event) has handed it to the callback.
struct Waker {
  std::mutex mutex;
  std::condition_variable cv;
  uint64_t count = 0;
};

void onByte(void* context, uint8_t, uint32_t) {
  auto* w = static_cast<Waker*>(context);
  {
    std::lock_guard lock(w->mutex);
    ++w->count;
  }
  w->cv.notify_one();
}

void BM_PtyByteToCallback(benchmark::State& state) {
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  testsupport::PtyDevice device(90);
  Waker waker;
  CComm port;
  if (!device.ok() || port.Open(90, &onByte, &waker, false) == CComm::INVALID_HANDLE) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  const QByteArray one(1, 'x');
  for (auto _ : state) {
    std::unique_lock lock(waker.mutex);
    const uint64_t before = waker.count;
    lock.unlock();
    device.write(one);
    lock.lock();
    waker.cv.wait(lock, [&] { return waker.count != before; });
  }
  port.Close();
}
BENCHMARK(BM_PtyByteToCallback)->UseRealTime();

// A frame put into the ring until the receive thread sleeping in Wait has it.
void BM_RingWakesTheReceiveThread(benchmark::State& state) {
  HdlcRing ring;
  std::atomic<bool> stop{false};
  std::atomic<uint64_t> taken{0};
  std::thread consumer([&] {
    uint8_t out[HdlcRing::SLOT_SIZE];
    uint32_t length;
    while (!stop) {
      if (ring.Take(out, length)) ++taken;
      else ring.Wait(1000);
    }
  });
  const uint8_t frame[8] = {0xBD, 0, 1, 2, 3, 4, 5, 6};
  for (auto _ : state) {
    const uint64_t before = taken.load();
    ring.Put(frame, sizeof frame);
    while (taken.load() == before) std::this_thread::yield();
  }
  stop = true;
  ring.Wake();
  consumer.join();
}
BENCHMARK(BM_RingWakesTheReceiveThread)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
