// Offscreen figures of the acquisition view: the first screen of a small and of a
// huge file (the time must not grow with the file), a full redisplay of a
// 1920 x 1080 grid including its paint, and a recording followed in realtime.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "capture/CActiveFile.h"
#include "common/ItemRecord.h"
#include "common/StatusCodes.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CVRIMView.h"
#include "platform/AppWindows.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"

namespace {

QTemporaryDir* g_dir = nullptr;

constexpr int CLIENT_W = 1920;
constexpr int CLIENT_H = 1080;

// A file of the given length: a 24-byte header, then items. Only the head is
// written; the rest is a hole that reads as zero items, so a 1 GiB file costs no
// disk and no time to make.
QString makeFile(const QString& name, qint64 length) {
  const QString path = g_dir->filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  QByteArray head(24, '\0');
  const uint32_t size = 24;
  std::memcpy(head.data() + 8, &size, 4);
  f.write(head);
  QByteArray items(6 * 8192, '\0');
  for (int i = 0; i < 8192; ++i) {
    ItemRecord r;
    r.flags = (i % 3) ? 0x80 : 0x01;
    r.data = static_cast<uint8_t>(i * 7);
    r.time = static_cast<uint32_t>(i * 100);
    std::memcpy(items.data() + 6 * i, &r, 6);
  }
  f.write(items);
  f.resize(length);
  return path;
}

struct ViewFixture {
  CActiveFile file;
  std::unique_ptr<CVRIMView> view;
  explicit ViewFixture(uint32_t mode = DISPLAY_HEX) {
    platform::Profile().WriteProfileInt(QStringLiteral("General"), QStringLiteral("DisplayAttribute"),
                                        static_cast<int32_t>(mode));
    view = std::make_unique<CVRIMView>(file);
    view->resize(view->WidthForClient(CLIENT_W), CLIENT_H);
    view->show();
    view->OnInitialUpdate();
    view->SetDisplayMode(mode);
    platform::PumpMessages();
  }
};

void BM_FirstScreen(benchmark::State& state) {
  const qint64 length = state.range(0);
  const QString path = makeFile(QStringLiteral("first_%1.ANL").arg(length), length);
  ViewFixture fx;
  for (auto _ : state) {
    fx.file.Open(path);
    fx.view->OnFileLoaded();
    platform::PumpMessages();
    fx.view->repaint();
  }
  state.counters["cells"] = fx.view->GetCellCount();
  state.counters["items"] = fx.view->GetItemCount();
}
BENCHMARK(BM_FirstScreen)->Arg(1ll << 20)->Arg(1ll << 30)->Unit(benchmark::kMillisecond);

void BM_Redisplay1080(benchmark::State& state) {
  const QString path = makeFile(QStringLiteral("redisplay.ANL"), 24 + 6 * 100000);
  ViewFixture fx(static_cast<uint32_t>(state.range(0)));
  fx.file.Open(path);
  fx.view->OnFileLoaded();
  platform::PumpMessages();
  fx.view->repaint();
  uint32_t first = 0;
  for (auto _ : state) {
    first = first == 0 ? fx.view->GetCellCount() : 0;  // other items each time
    fx.view->SetFirstItem(first);
    fx.view->Redisplay();
    platform::PumpMessages();
    fx.view->repaint();
  }
  state.counters["cells"] = fx.view->GetCellCount();
}
BENCHMARK(BM_Redisplay1080)
    ->Arg(DISPLAY_HEX)
    ->Arg(DISPLAY_ASCII)
    ->Arg(DISPLAY_LIST)
    ->Unit(benchmark::kMillisecond);

// A recording that writes 1000 items per notification: the figure is how many
// items per second the UI thread can follow, display and paint included.
void BM_RealtimeFollow(benchmark::State& state) {
  const QString path = g_dir->filePath(QStringLiteral("realtime.ANL"));
  QFile writer(path);
  writer.open(QIODevice::WriteOnly | QIODevice::Truncate);
  ViewFixture fx;
  fx.file.Open(path);
  fx.view->OnFileLoaded();
  fx.view->SetRealtime(true);
  QByteArray block(6 * 100, '\0');
  for (int i = 0; i < 100; ++i) block[6 * i + 1] = static_cast<char>(i);
  int64_t items = 0;
  for (auto _ : state) {
    for (int k = 0; k < 10; ++k) {
      writer.write(block);
      writer.flush();
      platform::PostMessage(fx.view->handle(), WM_DATA_WRITTEN, 0, 0);
      platform::PostMessage(fx.view->handle(), WM_VIEW_STATUS, STATUS_RUNNING,
                            static_cast<intptr_t>(writer.size() / 6));
      items += 100;
    }
    platform::PumpMessages();
    fx.view->repaint();
  }
  state.SetItemsProcessed(items);
}
BENCHMARK(BM_RealtimeFollow)->Unit(benchmark::kMillisecond);

// A recorder thread writes 100,000 items/s in buffers of 100 and posts a
// notification and a status after each, while a probe message posted every 10 ms
// measures how long the UI thread takes to get to it (what input would wait).
void BM_RealtimeResponsiveness(benchmark::State& state) {
  const QString path = g_dir->filePath(QStringLiteral("responsive.ANL"));
  {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
  }
  ViewFixture fx;
  fx.file.Open(path);
  fx.view->OnFileLoaded();
  fx.view->SetRealtime(true);
  fx.view->Activate();
  platform::MessageWindow probe;
  QElapsedTimer clock;
  clock.start();
  int64_t maxLatencyNs = 0;
  probe.on(WM_USER + 0x300, [&](platform::Message& m) {
    maxLatencyNs = std::max<int64_t>(maxLatencyNs, clock.nsecsElapsed() - m.lParam);
    return 0;
  });
  for (auto _ : state) {
    std::atomic<bool> stop{false};
    std::thread writer([&] {
      QFile f(path);
      f.open(QIODevice::Append);
      QByteArray block(600, '\0');
      int64_t next = clock.nsecsElapsed();
      int64_t lastProbe = 0;
      while (!stop) {
        f.write(block);
        f.flush();
        platform::PostMessage(platform::ActiveViewWindow(), WM_DATA_WRITTEN, 0, 0);
        platform::PostMessage(platform::ActiveViewWindow(), WM_VIEW_STATUS, STATUS_RUNNING,
                              static_cast<intptr_t>(f.size() / 6));
        next += 1000000;  // 100 items per millisecond
        const int64_t now = clock.nsecsElapsed();
        if (now - lastProbe > 10000000) {
          platform::PostMessage(probe.handle(), WM_USER + 0x300, 0, static_cast<intptr_t>(now));
          lastProbe = now;
        }
        if (next > now) std::this_thread::sleep_for(std::chrono::nanoseconds(next - now));
      }
    });
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    stop = true;
    writer.join();
    platform::PumpMessages();
  }
  state.counters["items_shown_last"] = fx.view->GetItemCount();
  state.counters["max_probe_latency_ms"] = static_cast<double>(maxLatencyNs) / 1e6;
}
BENCHMARK(BM_RealtimeResponsiveness)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir dir;
  g_dir = &dir;
  qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
  platform::SetProfilePath(dir.filePath(QStringLiteral("profile/VRIM.ini")));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
