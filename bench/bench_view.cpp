// Offscreen figures of the acquisition view: the first screen of a small and of a
// huge file (the time must not grow with the file), making the cells of a client
// area, a full redisplay with its paint at full HD, 1440p and 4K in every mode, and
// a recording followed in realtime (throughput, input latency, CPU at a bus's pace).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

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
#include "app/MdbItemDecoder.h"
#include "display/CVRIMView.h"
#include "platform/AppWindows.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"

namespace {

QTemporaryDir* g_dir = nullptr;

constexpr int CLIENT_W = 1920;
constexpr int CLIENT_H = 1080;
// Client areas of a maximised window on the common screens.
constexpr QSize SCREENS[] = {{1920, 1080}, {2560, 1440}, {3840, 2160}};

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

// Counts the paints of the client area: a figure that includes its paint must show one.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

struct ViewFixture {
  CActiveFile file;
  std::unique_ptr<CVRIMView> view;
  explicit ViewFixture(uint32_t mode = DISPLAY_HEX, QSize client = {CLIENT_W, CLIENT_H},
                       CVRIMView::DecoderFactory decoder = {}) {
    platform::Profile().WriteProfileInt(QStringLiteral("General"), QStringLiteral("DisplayAttribute"),
                                        static_cast<int32_t>(mode));
    view = std::make_unique<CVRIMView>(file);
    if (decoder) view->SetDecoderFactory(std::move(decoder));
    view->resize(view->WidthForClient(client.width()), client.height());
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

// Making every cell of a maximised window from a small one, and the step of one
// more row while the window is dragged larger.
void BM_LayoutCells(benchmark::State& state) {
  const QSize client = SCREENS[state.range(0)];
  const int step = static_cast<int>(state.range(1));
  ViewFixture fx(DISPLAY_HEX, {client.width(), step ? client.height() : 100});
  for (auto _ : state) {
    fx.view->resize(fx.view->WidthForClient(client.width()), client.height());
    platform::PumpMessages();
    fx.view->repaint();
    state.PauseTiming();
    state.counters["cells"] = fx.view->GetCellCount();
    fx.view->resize(fx.view->WidthForClient(client.width()), step ? client.height() - step : 100);
    platform::PumpMessages();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LayoutCells)
    ->ArgsProduct({{0, 1, 2}, {0, 30}})
    ->ArgNames({"screen", "step"})
    ->Unit(benchmark::kMillisecond);

void BM_Redisplay(benchmark::State& state) {
  const QString path = makeFile(QStringLiteral("redisplay.ANL"), 24 + 6 * 100000);
  ViewFixture fx(static_cast<uint32_t>(state.range(0)), SCREENS[state.range(1)]);
  fx.file.Open(path);
  fx.view->OnFileLoaded();
  platform::PumpMessages();
  fx.view->repaint();
  uint32_t first = 0;
  PaintCounter counter;
  fx.view->clientArea()->installEventFilter(&counter);
  for (auto _ : state) {
    // Items never shown before each time: nothing drawn earlier is of use.
    first += fx.view->GetCellCount();
    if (first + fx.view->GetCellCount() > fx.view->GetItemCount()) first = 0;
    fx.view->SetFirstItem(first);
    fx.view->Redisplay();
    platform::PumpMessages();  // the cells take their items and the window paints
  }
  state.counters["cells"] = fx.view->GetCellCount();
  state.counters["paints_per_redisplay"] = static_cast<double>(counter.paints) / state.iterations();
}
BENCHMARK(BM_Redisplay)
    ->ArgsProduct({{DISPLAY_HEX, DISPLAY_ASCII, DISPLAY_LIST}, {0, 1, 2}})
    ->ArgNames({"mode", "screen"})
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

double processCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A full-HD list of MDB names followed live while a bus brings 200 items/s in
// buffers of two, each followed by a notification and a status as the receive path
// sends them: the CPU seconds per second of the whole process, decoder included.
void BM_RealtimeListCpu(benchmark::State& state) {
  const QString path = g_dir->filePath(QStringLiteral("paced.ANL"));
  {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(QByteArray(24, '\0'));
  }
  platform::Profile().WriteProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Protocol"), PROTOCOL_MDB);
  ViewFixture fx(DISPLAY_LIST, {CLIENT_W, CLIENT_H}, [](CVRIMView& v) { return std::make_unique<MdbItemDecoder>(v); });
  fx.file.Open(path);
  fx.view->OnFileLoaded();
  fx.view->SetRealtime(true);
  fx.view->Activate();
  PaintCounter counter;
  fx.view->clientArea()->installEventFilter(&counter);
  double cpuPerSecond = 0;
  for (auto _ : state) {
    std::atomic<bool> stop{false};
    std::thread writer([&] {
      QFile f(path);
      f.open(QIODevice::Append);
      uint8_t n = 0;
      while (!stop) {
        ItemRecord r[2];
        r[0].data = 0x0A + (n & 0x30);  // poll of a peripheral with the mode bit, then its answer
        r[0].flags = ITEM_FLAG_MODE;
        r[1].data = 0x00;
        r[1].flags = ITEM_FLAG_SLAVE | ITEM_FLAG_MODE;
        ++n;
        f.write(reinterpret_cast<const char*>(r), sizeof r);
        f.flush();
        platform::PostMessage(platform::ActiveViewWindow(), WM_DATA_WRITTEN, 0, 0);
        platform::PostMessage(platform::ActiveViewWindow(), WM_VIEW_STATUS, STATUS_RUNNING,
                              static_cast<intptr_t>(f.size() / 6));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    const double cpu0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();
    cpuPerSecond = (processCpuSeconds() - cpu0) / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
    stop = true;
    writer.join();
    platform::PumpMessages();
  }
  state.counters["cpu_s_per_s"] = cpuPerSecond;
  state.counters["paints_per_s"] = counter.paints / 3.0;
  state.counters["items_shown_last"] = fx.view->GetItemCount();
}
BENCHMARK(BM_RealtimeListCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

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
