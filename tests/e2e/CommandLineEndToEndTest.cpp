// The program's own command line carries only "Profile=": switches that Qt would act on
// (-platform, -reverse, -geometry) reach no one, and the platform comes from the
// environment. The program runs here as it is started from a shell.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QProcess>
#include <optional>

#include "app/CShellOpen.h"
#include "platform/ProfileStore.h"
#include "support/AcquisitionFile.h"
#include "support/TestSupport.h"
#include "support/VirtualDisplay.h"

using namespace testsupport;

namespace {

QString exitText(const QProcess& program) {
  return program.state() != QProcess::NotRunning ? QStringLiteral("runs")
                                                 : QStringLiteral("ended with %1").arg(program.exitCode());
}

// The pixels of a strip of the menu bar's captions in the left or the right quarter of a window's inside.
struct Ink {
  int dark = 0;
  int light = 0;
  int all = 0;
};
Ink menuInk(const QImage& screen, const QRect& inside, bool right) {
  Ink ink;
  const int quarter = inside.width() / 4;
  const int from = right ? inside.right() + 1 - quarter : inside.left();
  for (int y = inside.top() + 2; y < inside.top() + 18; ++y)
    for (int x = from; x < from + quarter; ++x) {
      const int grey = screen.rect().contains(x, y) ? qGray(screen.pixel(x, y)) : 0;
      ++ink.all;
      ink.dark += grey < 96;
      ink.light += grey > 192;
    }
  return ink;
}

}  // namespace

// A platform that does not exist named on the command line: the program starts on the one the environment
// names, takes its profile from "/Profile=" and opens what the desktop hands it.
TEST(CommandLineEndToEnd, APlatformSwitchIsNotQtsToActOn) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  TempProfile tmp;
  const QString path = tmp.file("LOG.ANL");
  writeWholeFile(path, anlHeader() + QByteArray(6 * 5, '\0'));
  const QString key = *platform::RegistryKeyName(21);
  const platform::ProfileStore profile(platform::ProfileStore::pathForKey(key));
  QProcess program;
  startProgram(program,
               {"-platform", "nosuchplatform", "-reverse", "-geometry", "300x200+5+5", "/Profile=21"},
               {"QT_QPA_PLATFORM=offscreen"});
  bool sent = false;
  waitFor(
      [&] {
        if (program.state() == QProcess::NotRunning) return true;
        if (!sent) sent = CShellOpen::SendOpenRequest(key, {path}, 200);
        return sent && profile.GetProfileString("Recent File List", "File1") == path;
      },
      20000);
  EXPECT_EQ(program.state(), QProcess::Running) << exitText(program).toStdString();
  EXPECT_TRUE(sent) << "the program took no open request";
  EXPECT_EQ(profile.GetProfileString("Recent File List", "File1"), path) << "the file was not opened";
  endChild(program);
}

// On X: -geometry neither sizes nor places the window, -reverse does not mirror it; the profile from
// "-Profile=" chose its size. No window manager runs, so nothing else sizes or places the window.
TEST(CommandLineEndToEnd, GeometryAndReverseSwitchesLeaveTheWindowAsTheProfileHasIt) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  if (const QString missing = VirtualDisplay::missingTools(); !missing.isEmpty())
    GTEST_SKIP() << "needs an X server; not installed: " << missing.toStdString();
  VirtualDisplay display(VirtualDisplay::Manager::None);
  ASSERT_TRUE(display.error().isEmpty()) << display.error().toStdString();
  platform::ProfileStore(platform::ProfileStore::pathForKey(*platform::RegistryKeyName(22)))
      .WriteProfileInt("PropertyPage3", "ScreenSize", 1);
  QProcess program;
  startProgram(program, {"-geometry", "300x200+5+5", "-reverse", "-Profile=22"}, display.variables());
  const QRect chosen(112, 84, 800, 600);
  std::optional<VirtualDisplay::Window> shown;
  Ink left, right;
  // Painted as it should be: captions on the menu bar's background at the left, the background
  // alone at the right.
  auto laidOut = [&] { return left.dark > 0 && left.light * 10 > left.all * 8 && right.light == right.all; };
  waitFor(
      [&] {
        if (program.state() == QProcess::NotRunning) return true;
        shown = display.windowOf(program.processId());
        if (!shown) return false;
        const QImage screen = display.screen();
        left = menuInk(screen, shown->inside, false);
        right = menuInk(screen, shown->inside, true);
        return shown->whole == chosen && laidOut();
      },
      20000);
  ASSERT_TRUE(shown) << "no window shown; the program " << exitText(program).toStdString();
  EXPECT_EQ(shown->whole, chosen) << shown->whole.width() << "x" << shown->whole.height() << " at "
                                  << shown->whole.x() << "," << shown->whole.y();
  EXPECT_TRUE(laidOut()) << "menu bar, left quarter: " << left.dark << " dark and " << left.light
                         << " light of " << left.all << "; right quarter: " << right.dark << " dark and "
                         << right.light << " light of " << right.all;
  endChild(program);
}
