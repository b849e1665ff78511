// The program's window on a real X display under a window manager that draws frames:
// the chosen size and the centring are those of the whole window.
#include <gtest/gtest.h>

#include <QProcess>
#include <cstdlib>
#include <optional>

#include "platform/ProfileStore.h"
#include "support/TestSupport.h"
#include "support/VirtualDisplay.h"

using namespace testsupport;

namespace {

bool near(const QRect& a, const QRect& b) {
  return std::abs(a.x() - b.x()) <= 1 && std::abs(a.y() - b.y()) <= 1 &&
         std::abs(a.width() - b.width()) <= 1 && std::abs(a.height() - b.height()) <= 1;
}

QString text(const QRect& r) {
  return QStringLiteral("%1x%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

}  // namespace

// 640 x 480 and 1280 x 1024 centred, and 1024 x 768 filling the screen with the status bar on it; a window
// larger than the screen starts left of and above it.
TEST(WindowSizeEndToEnd, TheChosenSizeAndTheCentringAreOfTheWholeWindow) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  if (const QString missing = VirtualDisplay::missingTools(); !missing.isEmpty())
    GTEST_SKIP() << "needs an X server with a window manager; not installed: " << missing.toStdString();
  VirtualDisplay display;
  ASSERT_TRUE(display.error().isEmpty()) << display.error().toStdString();
  const QString key = *platform::RegistryKeyName(23);
  const struct {
    int screenSize;
    QRect whole;
  } cases[] = {{0, {192, 144, 640, 480}}, {2, {0, 0, 1024, 768}}, {3, {-128, -128, 1280, 1024}}};
  for (const auto& c : cases) {
    platform::ProfileStore(platform::ProfileStore::pathForKey(key))
        .WriteProfileInt("PropertyPage3", "ScreenSize", c.screenSize);
    QProcess program;
    startProgram(program, {QStringLiteral("Profile=23")}, display.variables());
    std::optional<VirtualDisplay::Window> shown;
    waitFor(
        [&] {
          shown = display.windowOf(program.processId());
          return (shown && near(shown->whole, c.whole)) || program.state() == QProcess::NotRunning;
        },
        20000);
    ASSERT_TRUE(shown) << "ScreenSize " << c.screenSize << ": no window shown; the program "
                       << (program.state() == QProcess::NotRunning ? "ended" : "runs");
    EXPECT_TRUE(near(shown->whole, c.whole))
        << "ScreenSize " << c.screenSize << ": whole window " << text(shown->whole).toStdString()
        << ", inside " << text(shown->inside).toStdString();
    if (c.screenSize == 2) {  // the status bar is the inside's bottom
      EXPECT_TRUE(QRect(QPoint(0, 0), VirtualDisplay::SCREEN).contains(shown->inside))
          << text(shown->inside).toStdString();
    }
    endChild(program);
  }
}
