// Opening the settings sheet on its connection page, which probes COM1 to COM255:
// with the usual 32 serial devices, the probe must not hold the user up.
#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "app/CMyPropertySheet.h"
#include "capture/ComPortPath.h"
#include "platform/ProfileStore.h"

namespace {

// COM1 to COM32 as ports-folder links: to the machine's first serial device (as
// the 32 ttyS nodes of a PC are), or to 32 pseudo-terminals.
class Ports {
public:
  explicit Ports(bool pseudoTerminals) {
    QDir().mkpath(ComPortPath::PortsFolder());
    for (uint32_t n = 1; n <= 32; ++n) {
      QString target = QStringLiteral("/dev/ttyS0");
      if (pseudoTerminals) {
        int master = -1, slave = -1;
        char name[64] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) continue;
        m_fds.insert(m_fds.end(), {master, slave});
        target = QString::fromLocal8Bit(name);
      }
      QFile::remove(ComPortPath::LinkPath(n));
      QFile::link(target, ComPortPath::LinkPath(n));
    }
  }
  ~Ports() {
    for (uint32_t n = 1; n <= 32; ++n) QFile::remove(ComPortPath::LinkPath(n));
    for (int fd : m_fds) ::close(fd);
  }

private:
  std::vector<int> m_fds;
};

void BM_OpenConnectionPage(benchmark::State& state) {
  const Ports ports(state.range(0) != 0);
  for (auto _ : state) {
    auto sheet = std::make_unique<CMyPropertySheet>();
    sheet->show();
    sheet->tabs()->setCurrentIndex(1);
    QApplication::processEvents();
    state.PauseTiming();
    sheet.reset();  // what the closing sheet stores is not part of the opening
    state.ResumeTiming();
  }
  state.SetLabel(state.range(0) ? "32 pseudo-terminals" : "32 links to /dev/ttyS0");
}
BENCHMARK(BM_OpenConnectionPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Closing with all four pages shown: each page stores its section, every key on
// disk as it is written.
void BM_CloseWithAllPagesShown(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto sheet = std::make_unique<CMyPropertySheet>();
    sheet->show();
    for (int page = 1; page < 4; ++page) sheet->tabs()->setCurrentIndex(page);
    state.ResumeTiming();
    sheet->reject();
  }
}
BENCHMARK(BM_CloseWithAllPagesShown)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
  qputenv("QT_QPA_PLATFORM", "offscreen");
  platform::SetProfilePath(dir.filePath(QStringLiteral("Quellfeld/VRIM.ini")));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
