#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "app/CVRIMDoc.h"
#include "capture/DialUp.h"
#include "common/CommandIds.h"
#include "common/SystemTypes.h"
#include "display/CVRIMView.h"
#include "platform/AppWindows.h"
#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"
#include "support/WidgetDriver.h"

namespace {

struct Started {
  testsupport::RecordingMessageBox boxes;
  CVRIMApp app;
  bool ok;
  explicit Started(const QStringList& args) : ok(app.InitInstance(args)) {}
  ~Started() {
    app.ExitInstance();
    platform::SetProfilePath(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quellfeld/VRIM.ini");
  }
};

}  // namespace

TEST(Startup, AProfileNumberOutOfRangeEndsTheStartQuotingWhatWasTyped) {
  for (const char* typed : {"100", "-1", "4294967296", " 7000x"}) {
    Started s({QStringLiteral("-Profile=") + typed});
    EXPECT_FALSE(s.ok);
    ASSERT_EQ(s.boxes.count(), 1u);
    EXPECT_EQ(s.boxes.texts()[0], QStringLiteral("Profile=%1 is not a profile number: use 0 to 99.").arg(typed));
    EXPECT_EQ(s.app.GetMainWnd(), nullptr);
  }
}

// The profile argument chooses the store and the window comes up idle; a recent file that is gone leaves the
// list with a message, as vrim-open's request and a drop get; the display mode is kept for the next run.
TEST(Startup, TheWindowComesUpOnItsProfileOpensDroppedFilesAndKeepsTheDisplayMode) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();  // registers the document type with the desktop's tools
  testsupport::TempProfile tmp;
  const QString other = tmp.file("FIRST.ANL"), path = tmp.file("LOG.ANL"), gone = tmp.file("GONE.ANL");
  const QByteArray bytes = QByteArray(8, '\0') + QByteArray("\x18\0\0\0VRIM", 8) + QByteArray(8 + 6 * 5, '\0');
  testsupport::writeWholeFile(other, bytes);
  testsupport::writeWholeFile(path, bytes);
  {
    Started s({"Profile=9"});
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.app.BuildRegistryKeyName(), QStringLiteral("Quellfeld_09"));
    EXPECT_TRUE(platform::Profile().path().endsWith("/Quellfeld_09/VRIM.ini"));
    CMainFrame* frame = s.app.GetMainWnd();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible() && frame->size() == QSize(640, 480));
    EXPECT_EQ(platform::MainFrameWindow(), frame->handle());
    EXPECT_EQ(platform::ActiveViewWindow(), s.app.GetActiveView()->handle());
    EXPECT_EQ(s.app.GetLinkType(), LINKTYPE_LAN);
    EXPECT_TRUE(testsupport::waitFor([&] { return frame->windowTitle() == "Ready - Analyzer - VRIM"; }));
    // Not connected and no file shown: Connect and Realtime only.
    frame->UpdateCommandUi();
    for (auto [command, on] : {std::pair{ID_START_RECORDING, false}, {ID_CONNECT_DEVICE, true},
                               {ID_DISCONNECT_DEVICE, false}, {ID_DISPLAY_LIST, false}, {ID_REALTIME_DISPLAY, true}})
      EXPECT_EQ(frame->action(command)->isEnabled(), on) << command;
    EXPECT_TRUE(s.boxes.texts().empty());
    // The desktop now knows the document type.
    EXPECT_TRUE(QFile::exists(qEnvironmentVariable("XDG_DATA_HOME") + "/applications/vrim-document.desktop"));

    platform::RecentFiles().Add(gone);
    frame->openRecentFile(gone);
    EXPECT_FALSE(platform::RecentFiles().Entries().contains(gone) || s.app.GetActiveFile().IsOpen());
    QProcess request;  // the desktop asks for it: the same message, and vrim-open names the file
    request.start(QCoreApplication::applicationDirPath() + "/vrim-open", {"Profile=9", gone});
    ASSERT_TRUE(testsupport::waitFor([&] { return s.boxes.count() == 2 && request.state() == QProcess::NotRunning; }));
    EXPECT_EQ(s.boxes.texts(), std::vector<QString>(2, "Failed to open document."));
    EXPECT_TRUE(request.exitCode() != 0 && request.readAllStandardError().contains(gone.toUtf8()));

    frame->activateWindow();
    QApplication::setActiveWindow(frame);
    testsupport::drop(frame, {QUrl::fromLocalFile(other), QUrl::fromLocalFile(gone),
                              QUrl("sftp://host/x.ANL"), QUrl::fromLocalFile(path)});
    EXPECT_EQ(s.app.GetActiveFile().GetPath(), path);
    EXPECT_EQ(platform::RecentFiles().Entries().mid(0, 2), QStringList({path, other}));
    EXPECT_EQ(s.boxes.count(), 4u) << "one more for each dropped place that cannot be opened";
    EXPECT_TRUE(testsupport::waitFor([&] { return frame->windowTitle().startsWith("Loaded: 0 / 5"); }));
    frame->UpdateCommandUi();
    QTest::keyClick(frame, Qt::Key_F10);
    EXPECT_EQ(s.app.GetActiveView()->GetDisplayAttribute(), DISPLAY_LIST);
  }
  Started again({"Profile=9"});
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.app.GetActiveView()->GetDisplayAttribute(), DISPLAY_LIST);
}

// With the serial link up and no file shown, the receive thread and the decoder
// sleep up to a second between looks; the close wakes them instead of waiting.
TEST(Startup, TheProgramEndsWellWithinASecondOfTheWindowClosing) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();  // registers the document type with the desktop's tools
  testsupport::PtyDevice dev(56);
  platform::ProfileStore p(platform::ProfileStore::pathForKey("Quellfeld_56"));
  p.WriteProfileString("PropertyPage2", "SerialPort", "COM56:");
  for (const char* key : {"HDLCConnect", "StartupConnect"}) p.WriteProfileInt("PropertyPage2", key, 1);
  auto s = std::make_unique<Started>(QStringList{"Profile=56"});
  ASSERT_TRUE(s->ok && testsupport::waitFor([&] { return s->app.IsConnected(); }));
  testsupport::waitFor([] { return false; }, 100);  // both threads asleep
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(s->app.GetMainWnd()->close());
  s.reset();  // exit and the application object's end
  EXPECT_LT(t.elapsed(), 500);
}
