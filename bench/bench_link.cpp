// The link's receive paths: how fast the serial frame receiver (unescaping, FCS and
// ring) takes bytes, how quickly a byte or a frame wakes the thread that waits, and
// what the whole program records over the LAN from the simulator with the view live
// in list mode.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "capture/CComm.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "common/CommandIds.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CVRIMView.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "capture/HdlcEncoder.h"
#include "capture/HdlcReceiver.h"
#include "capture/HdlcRing.h"
#include "tests/support/PtyDevice.h"
#include "tests/support/SimProcess.h"

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

double cpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The whole program (start-up as main() does it, the view live in list mode) records
// range(1) seconds of range(0) records per second, range(2) record bytes per
// datagram, from the simulator over UDP to a network namespace; Stop follows the
// simulator's last datagram at once. Fails when anything is lost or out of order.
void BM_LanRecordingEndToEnd(benchmark::State& state) {
  using testsupport::SimNetwork;
  using testsupport::SimProcess;
  if (!SimProcess::available() || !SimNetwork::possible()) {
    state.SkipWithError("needs build/qx7700-sim and root for a network namespace");
    return;
  }
  const int64_t rate = state.range(0), seconds = state.range(1), count = rate * seconds;
  QTemporaryDir tmp;
  qputenv("XDG_CONFIG_HOME", tmp.path().toLocal8Bit());
  const QString dataDir = tmp.path() + "/data/";
  QDir().mkpath(dataDir);
  const QString key = *platform::RegistryKeyName(7);
  platform::SetProfile(key);
  platform::ProfileStore& p = platform::Profile();
  const SimNetwork net = SimNetwork::forThisProcess();
  p.WriteProfileString("PropertyPage3", "FilePath", dataDir);
  p.WriteProfileInt("PropertyPage2", "HDLCConnect", 0);
  p.WriteProfileInt("PropertyPage2", "LanConnect", 1);
  p.WriteProfileString("PropertyPage2", "DeviceIPAddress", net.deviceAddr);
  p.WriteProfileInt("PropertyPage2", "PortAquisition", net.acquisitionPort);
  p.WriteProfileInt("PropertyPage2", "PortControl", net.controlPort);
  p.WriteProfileInt("PropertyPage2", "StartupConnect", 1);
  p.WriteProfileInt("General", "DisplayAttribute", DISPLAY_LIST);
  p.WriteProfileInt("PropertyPage1", "Realtime", 1);

  for (auto _ : state) {
    SimProcess sim(net.simArgs() << "--rate" << QString::number(rate) << "--count" << QString::number(count)
                                 << "--batch" << QString::number(state.range(2)) << "--scenario" << "mixed");
    CVRIMApp app(std::make_unique<FakeDialUp>());
    if (!sim.started() || !app.InitInstance({"Profile=7"}) || !app.IsConnected()) {
      state.SkipWithError("simulator or program did not start");
      return;
    }
    app.GetMainWnd()->resize(1280, 900);
    auto command = [&](uint32_t id) {
      platform::PostMessage(app.GetMainWnd()->handle(), WM_COMMAND, id, 0);
      platform::PumpMessages();
    };
    command(ID_START_RECORDING);
    const QString path = app.GetAcquisitionSocket()->GetWritingPath();
    const double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    testsupport::waitFor([&] { return sim.count("acquire-done") > 0; }, int(seconds * 1000 + 60000));
    const double elapsed = t.elapsed() / 1000.0;
    command(ID_STOP_RECORDING);
    const double cpu = cpuSeconds() - cpu0;
    const QByteArray stored = testsupport::readWholeFile(path).mid(24);
    const QByteArray sent = sim.items();
    state.counters["items_per_s"] = double(stored.size() / 6) / elapsed;
    state.counters["lost"] = double((sent.size() - stored.size()) / 6);
    state.counters["cpu_s_per_s"] = cpu / elapsed;
    if (sent.size() != count * 6 || stored != sent) state.SkipWithError("items lost or out of order");
    app.ExitInstance();
  }
}
BENCHMARK(BM_LanRecordingEndToEnd)->Args({200000, 30, 120})->Args({800000, 10, 120})->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QApplication qtApp(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
