// The whole program, started in-process as main() starts it, recording from the
// simulator over a pseudo-terminal and over UDP to a network namespace of its own.
// Keys reach the main frame; other commands are posted as the menu sends them.
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>

#include "app/CShellOpen.h"
#include "common/CellCodes.h"
#include "common/ItemRecord.h"
#include "display/CItem.h"
#include "display/CVRIMView.h"
#include "platform/MessageWindow.h"
#include "platform/RecentFileList.h"
#include "platform/TickCount.h"
#include "platform/gui/QtMessageBoxService.h"
#include "support/FileSizeLimit.h"
#include "support/ProgramHost.h"

using testsupport::SimNetwork;

namespace {

enum class Link { Serial, Lan };

const char* const BUS_LOAD = "bus-load load=3 master=16 slave=16";
const char* const LINE_SETTINGS = "line-settings baud=9600 stop=0 parity=0 data=6";
const char* const ACQUIRE_ON = "acquire 1";
const char* const ACQUIRE_OFF = "acquire 0";

QByteArray itemsOf(const QString& path) { return testsupport::readWholeFile(path).mid(24); }

class ProgramEndToEnd : public testsupport::ProgramHost, public ::testing::WithParamInterface<Link> {
 protected:
  void SetUp() override {
    ProgramHost::SetUp();
    if (IsSkipped()) return;
    if (GetParam() == Link::Lan && !SimNetwork::possible())
      GTEST_SKIP() << "the LAN variant needs a network namespace (root and the ip tool); the serial variant runs";
    static int nextProfile = 40;  // the program selects its profile from its command line
    configure(nextProfile, 60 + nextProfile, GetParam() == Link::Lan);
    ++nextProfile;
    m_dataDir = m_tmp.path() + "/";
    platform::Profile().WriteProfileInt("PropertyPage3", "FileMultiple", 1);
  }

  CVRIMView* view() const { return m_app->GetActiveView(); }
  CVRIMSocket* sink() const { return m_app->GetAcquisitionSocket(); }

  // A key on the main window, whatever the menus show at the moment.
  void press(Qt::Key key) { QTest::keyClick(frame(), key); }
  bool enabled(uint32_t command) {
    frame()->UpdateCommandUi();
    return frame()->action(command)->isEnabled();
  }

  // Simulator, program, Connect and F5; the file being written, empty if any failed.
  QString recording(const QStringList& simArgs) {
    if (!launch(simArgs) || !connect()) return {};
    press(Qt::Key_F5);
    return view()->IsRecording() ? sink()->GetWritingPath() : QString();
  }
  bool itemsAtLeast(uint32_t count) {
    return testsupport::waitFor([&] { return view()->GetItemCount() >= count; }, 10000);
  }
  // The recording ended as Stop ends it: the device told to stop after the three
  // start commands, the file first on the recent list with what the device sent first.
  void expectEndedAsStopEndsIt(const QString& path) {
    ASSERT_TRUE(waitForCommands(4));
    EXPECT_EQ(commands(), QStringList({BUS_LOAD, LINE_SETTINGS, ACQUIRE_ON, ACQUIRE_OFF}));
    EXPECT_EQ(platform::RecentFiles().Entries().value(0), path);
    EXPECT_TRUE(m_sim->items().startsWith(itemsOf(path)));
  }

  bool waitForCommands(int count) {
    return testsupport::waitFor([&] { return commands().size() >= count; }, 10000);
  }

  // The filled cells show the items of the file at the view's position, exactly.
  bool cellsShowFile(const QString& path) {
    const QByteArray items = itemsOf(path);
    const uint32_t filled = view()->GetFilledCells();
    if (filled == 0) return false;
    for (uint32_t i = 0; i < filled; ++i) {
      const CItem* c = view()->cell(i);
      const qsizetype at = (qsizetype(view()->GetFirstItem()) + i) * 6;
      if (!c || !(c->state() & CELL_ITEM) || at + 6 > items.size()) return false;
      const ItemRecord r = itemFromBytes(reinterpret_cast<const uint8_t*>(items.constData() + at));
      if (c->flags() != r.flags || c->data() != r.data || c->time() != r.time) return false;
    }
    return true;
  }

  QString m_dataDir;
};

std::string linkName(const ::testing::TestParamInfo<Link>& info) { return info.param == Link::Serial ? "Serial" : "Lan"; }

}  // namespace

// The device settings go out before the first Start only (the settings tests send them again after a save);
// records reach the file and the cells; Stop closes the file and lists it as recent.
TEST_P(ProgramEndToEnd, StartConfiguresTheDeviceOnceAndRecordsIntoFileAndCells) {
  // Noise before every frame (serial only) and the largest batch a frame carries.
  ASSERT_TRUE(launch({"--count", "600", "--rate", "4000", "--scenario", "mixed", "--seed", "5", "--garbage", "4",
                      "--batch", "250"}));
  EXPECT_FALSE(enabled(ID_START_RECORDING));
  ASSERT_TRUE(connect());
  EXPECT_TRUE(enabled(ID_START_RECORDING) && !enabled(ID_STOP_RECORDING) && !enabled(ID_RESTART_RECORDING));

  // First recording: bus load, line settings, then the start.
  press(Qt::Key_F5);
  ASSERT_TRUE(view()->IsRecording());
  const QString first = sink()->GetWritingPath();
  ASSERT_TRUE(waitForCommands(3));
  EXPECT_EQ(commands(), QStringList({BUS_LOAD, LINE_SETTINGS, ACQUIRE_ON}));
  EXPECT_TRUE(!enabled(ID_START_RECORDING) && enabled(ID_STOP_RECORDING) && enabled(ID_RESTART_RECORDING));
  ASSERT_TRUE(m_sim->waitForLog("acquire-done records=600", 1, 20000));
  ASSERT_TRUE(testsupport::waitFor([&] { return view()->GetItemCount() == 600u; }, 10000));
  EXPECT_TRUE(testsupport::waitFor([&] { return cellsShowFile(first); }));
  EXPECT_TRUE(testsupport::waitFor([&] { return frame()->pane(1)->text() == QFileInfo(first).fileName(); }));
  EXPECT_EQ(frame()->pane(2)->text(), "9600-6-1-N");
  press(Qt::Key_F6);
  expectEndedAsStopEndsIt(first);
  EXPECT_EQ(itemsOf(first), m_sim->items());
  EXPECT_TRUE(!view()->IsRecording() && sink()->GetWritingPath().isEmpty() && enabled(ID_START_RECORDING));
  EXPECT_TRUE(testsupport::waitFor([&] { return cellsShowFile(first); })) << "the view goes on showing the file";

  // Second recording: the device keeps its settings, only the start goes out.
  press(Qt::Key_F5);
  const QString second = sink()->GetWritingPath();
  EXPECT_TRUE(view()->IsRecording() && second != first);
  ASSERT_TRUE(m_sim->waitForLog("acquire-done", 2, 20000));
  EXPECT_TRUE(testsupport::waitFor([&] { return view()->GetItemCount() == 600u && cellsShowFile(second); }, 10000));
  press(Qt::Key_F6);
  ASSERT_TRUE(waitForCommands(6));
  EXPECT_EQ(commands().mid(4), QStringList({ACQUIRE_ON, ACQUIRE_OFF}));
  EXPECT_EQ(itemsOf(second), m_sim->items().mid(600 * 6));
  EXPECT_EQ(platform::RecentFiles().Entries().mid(0, 2), QStringList({second, first}));
  EXPECT_EQ(m_box.count(), 0u);

  // Stop while not recording sends nothing, nor does the closing view's Stop.
  post(ID_STOP_RECORDING);
  view()->OnDestroy();
  platform::PumpMessages();
  EXPECT_EQ(commands().size(), 6);
}

// A full disk ends the recording there: the file keeps every whole item, the device is told to stop, the file
// is on the recent list, and one message names the file and the cause.
TEST_P(ProgramEndToEnd, AFullDiskEndsTheRecordingWithOneMessage) {
  ASSERT_TRUE(launch({"--count", "5000", "--rate", "4000", "--scenario", "mixed", "--seed", "3"}) && connect());
  testsupport::FileSizeLimit full(24 + 6 * 1000 + 3);  // not for the simulator, started before
  ASSERT_TRUE(full.ok());
  press(Qt::Key_F5);
  const QString path = sink()->GetWritingPath();
  ASSERT_TRUE(testsupport::waitFor([&] { return !view()->IsRecording(); }, 20000));
  expectEndedAsStopEndsIt(path);
  EXPECT_EQ(m_box.texts(), std::vector<QString>{QString("Write file %1 failed, Error: %2").arg(path).arg(EFBIG)});
  EXPECT_EQ(itemsOf(path), m_sim->items().left(6 * 1000));
  EXPECT_TRUE(enabled(ID_START_RECORDING));
}

// F4, and then reaching "FileMaxSize" 1 (100 KiB), restart into the next numbered file at once while the
// device goes on acquiring, told nothing: every item is in exactly one file, in order.
TEST_P(ProgramEndToEnd, RestartByKeyAndAtTheSizeLimitLosesAndDoublesNothing) {
  const int count = 38000;  // four files: F4's, two of the limit, the rest
  platform::Profile().WriteProfileInt("PropertyPage3", "FileMaxSize", 1);
  const QString first = recording({"--count", QString::number(count), "--rate", "15000", "--batch", "240",
                                   "--scenario", "mixed", "--seed", "9"});
  ASSERT_TRUE(!first.isEmpty() && itemsAtLeast(300));
  press(Qt::Key_F4);
  EXPECT_TRUE(view()->IsRecording() && sink()->GetWritingPath() != first);
  EXPECT_EQ(platform::RecentFiles().Entries().value(0), first);
  ASSERT_TRUE(m_sim->waitForLog(QString("acquire-done records=%1").arg(count), 1, 30000));
  // The last file holds the rest once everything has arrived.
  const qsizetype total = qsizetype(count) * 6;
  auto stored = [&] {
    qsizetype sum = 0;
    for (const QFileInfo& f : QDir(m_dataDir).entryInfoList(QDir::Files)) sum += f.size() - 24;
    return sum;
  };
  ASSERT_TRUE(testsupport::waitFor([&] { return stored() >= total; }, 20000)) << stored();
  const QString last = sink()->GetWritingPath();
  press(Qt::Key_F6);
  ASSERT_FALSE(view()->IsRecording());

  // The recent list has the files, newest first; the folder has nothing else.
  QStringList files = platform::RecentFiles().Entries();
  ASSERT_GE(files.size(), 4);
  EXPECT_EQ(files.value(0), last);
  std::reverse(files.begin(), files.end());
  while (!files.isEmpty() && !files.first().startsWith(m_dataDir)) files.removeFirst();
  EXPECT_EQ(files.size(), QDir(m_dataDir).entryList(QDir::Files).size());
  QByteArray joined;
  for (int i = 0; i < files.size(); ++i) {
    const QByteArray whole = testsupport::readWholeFile(files[i]);
    EXPECT_EQ(whole.mid(12, 4), "VRIM") << files[i].toStdString();
    EXPECT_TRUE(i == 0 || i + 1 == files.size() || whole.size() >= 102400) << files[i].toStdString();
    EXPECT_EQ((whole.size() - 24) % 6, 0);
    joined += whole.mid(24);
  }
  EXPECT_EQ(joined.size(), total);
  EXPECT_TRUE(joined == m_sim->items());
  // The view reads the last file from its item 0 at offset 24, also what arrived while Stop ran.
  EXPECT_EQ(view()->GetDataOffset(), 24u);
  EXPECT_TRUE(testsupport::waitFor([&] { return cellsShowFile(last); }));
  EXPECT_TRUE(testsupport::waitFor([&] { return view()->GetItemCount() == uint32_t(itemsOf(last).size() / 6); }, 2000))
      << view()->GetItemCount() << " of " << itemsOf(last).size() / 6;
  EXPECT_EQ(m_box.count(), 0u);
  // The device was started and stopped once; Restart told it nothing.
  EXPECT_EQ(commands(), QStringList({BUS_LOAD, LINE_SETTINGS, ACQUIRE_ON, ACQUIRE_OFF}));
}

// Connect and Start from the profile alone: no click. The exit stops the recording
// and undoes the start-up connection.
TEST_P(ProgramEndToEnd, StartupConnectAndStartupAquireRecordWithoutAClick) {
  platform::Profile().WriteProfileInt("PropertyPage2", "StartupConnect", 1);
  platform::Profile().WriteProfileInt("PropertyPage2", "StartupAquire", 1);
  ASSERT_TRUE(launch({"--count", "300", "--rate", "3000", "--scenario", "mixed", "--seed", "2"}));
  EXPECT_TRUE(m_app->IsConnected() || GetParam() == Link::Serial);  // the serial link comes up on its thread
  ASSERT_TRUE(testsupport::waitFor([&] { return view()->IsRecording(); }, 5000));
  const QString path = sink()->GetWritingPath();
  ASSERT_TRUE(m_sim->waitForLog("acquire-done records=300", 1, 20000));
  EXPECT_TRUE(testsupport::waitFor([&] { return cellsShowFile(path) && view()->GetItemCount() == 300u; }, 10000));
  m_app->ExitInstance();
  EXPECT_FALSE(m_app->IsConnected());
  expectEndedAsStopEndsIt(path);
  EXPECT_EQ(itemsOf(path), m_sim->items());
  EXPECT_EQ(m_box.count(), 0u);
}

// The start-up timer's tick leaves a recording started by hand alone. Disconnect during a recording ends it
// first; without a link Stop and Restart are off. Closing the window: Cancel goes on recording, OK stops the
// recording, disconnects, and every item that reached the program is in the file.
TEST_P(ProgramEndToEnd, DisconnectAndClosingDuringARecordingStopItFirstAndLoseNothing) {
  const QString path = recording({"--rate", "5000", "--scenario", "mixed", "--seed", "4"});  // no end
  ASSERT_TRUE(!path.isEmpty() && itemsAtLeast(300));
  view()->OnTimer(1);  // the one-shot start-up timer
  platform::PumpMessages();
  EXPECT_EQ(sink()->GetWritingPath(), path);
  post(ID_DISCONNECT_DEVICE);
  EXPECT_FALSE(m_app->IsConnected() || view()->IsRecording());
  expectEndedAsStopEndsIt(path);
  EXPECT_FALSE(enabled(ID_START_RECORDING) || enabled(ID_STOP_RECORDING) || enabled(ID_RESTART_RECORDING));
  EXPECT_TRUE(enabled(ID_CONNECT_DEVICE));

  ASSERT_TRUE(connect());
  press(Qt::Key_F5);
  const QString second = sink()->GetWritingPath();
  ASSERT_TRUE(itemsAtLeast(2000));
  m_box.queueAnswer(platform::IDCANCEL);
  EXPECT_FALSE(frame()->close());
  EXPECT_TRUE(view()->IsRecording() && m_app->IsConnected());
  EXPECT_TRUE(frame()->close());
  ASSERT_EQ(m_box.count(), 2u);
  EXPECT_EQ(m_box.texts()[1], "You really want to close this application?");
  EXPECT_EQ(m_box.shown()[1].type, unsigned(platform::MB_OKCANCEL | platform::MB_ICONQUESTION));
  EXPECT_FALSE(m_app->IsConnected() || view()->IsRecording());
  EXPECT_TRUE(sink() == nullptr || sink()->GetWritingPath().isEmpty());
  ASSERT_TRUE(waitForCommands(6));
  EXPECT_EQ(commands().mid(4), QStringList({ACQUIRE_ON, ACQUIRE_OFF}));
  EXPECT_EQ(platform::RecentFiles().Entries().value(0), second);
  EXPECT_TRUE(itemsOf(second).size() >= 2000 * 6 && m_sim->items().contains(itemsOf(second)));
}

// Only the serial link has acknowledgements and a device that can be unplugged.
class SerialProgramEndToEnd : public ProgramEndToEnd {};

// "StartupAquire" without a link (no "StartupConnect"): the start-up timer's Start finds nothing to record
// into and leaves the program idle and quiet. Then a device that takes no frame: Start gives up after the
// link's three attempts, with the new file left open, and can be chosen again.
TEST_P(SerialProgramEndToEnd, StartupAquireWithoutALinkAndADeviceThatDoesNotAcknowledgeLeaveStartEnabled) {
  platform::Profile().WriteProfileInt("PropertyPage2", "StartupAquire", 1);
  ASSERT_TRUE(launch({"--no-ack"}));
  testsupport::waitFor([] { return false; }, CVRIMView::STARTUP_TIMER_MS + 400);
  EXPECT_FALSE(view()->IsRecording() || m_app->IsConnected());
  EXPECT_TRUE(QDir(m_dataDir).entryList(QDir::Files).isEmpty() && m_sim->log().indexOf("frame-in") < 0);
  EXPECT_EQ(m_box.count(), 0u) << (m_box.count() ? m_box.texts()[0].toStdString() : "");
  ASSERT_TRUE(connect());
  const uint32_t before = platform::GetTickCount();
  press(Qt::Key_F5);
  const uint32_t took = platform::GetTickCount() - before;
  EXPECT_TRUE(took >= 600 && took <= 2000) << took;
  EXPECT_FALSE(view()->IsRecording());
  EXPECT_TRUE(enabled(ID_START_RECORDING) && enabled(ID_STOP_RECORDING)) << "Stop ends the file Start left";
  const QString path = sink()->GetWritingPath();
  EXPECT_TRUE(!path.isEmpty() && QFile::exists(path));
  EXPECT_TRUE(m_sim->waitForLog("frame-in ns=0 ch=1 04 05 03 10 10", 3));
  EXPECT_EQ(m_sim->count("ch=1 06 09") + m_sim->count("ch=1 03 03"), 0);

  // The device answers again: the next Start sends the settings that did not get
  // through, and records into a file of its own.
  m_sim->control("ack on");
  ASSERT_TRUE(m_sim->waitForLog("control ack on"));
  press(Qt::Key_F5);
  EXPECT_TRUE(view()->IsRecording());
  const QString second = sink()->GetWritingPath();
  EXPECT_NE(second, path);
  EXPECT_TRUE(m_sim->waitForLog("cmd line-settings") && m_sim->waitForLog("cmd acquire 1"));
  press(Qt::Key_F6);
  EXPECT_TRUE(m_sim->waitForLog("cmd acquire 0"));
  EXPECT_EQ(platform::RecentFiles().Entries().value(0), second);
  EXPECT_EQ(m_box.count(), 0u);
}

// The desktop asks to open the file being recorded: the refusal's real box runs while the request's
// connection ends; OK leaves the program and the recording whole. F6 then, while a realtime refresh waits and
// records still arrive: once the queue is through, the title says "Halted".
TEST_P(SerialProgramEndToEnd, ARefusedOpenRequestLeavesTheRecordingWholeAndAfterStopTheTitleSaysHalted) {
  const QString path = recording({"--rate", "2000", "--scenario", "rs232", "--seed", "7"});  // no end
  ASSERT_FALSE(path.isEmpty());
  platform::QtMessageBoxService realBoxes;
  platform::SetMessageBoxService(&realBoxes);
  QProcess launcher;
  launcher.start(QCoreApplication::applicationDirPath() + "/vrim-open", {QString("Profile=%1").arg(m_profileNumber), path});
  QString shown;
  int ticks = 0;
  QTimer answer;  // runs in the box's own loop: OK well after the launcher has gone
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box && launcher.state() == QProcess::NotRunning && ++ticks > 10) (shown = box->text(), box->accept());
  });
  answer.start(30);
  const bool answered = testsupport::waitFor([&] { return !shown.isEmpty(); }, 15000);
  platform::SetMessageBoxService(&m_box);
  ASSERT_TRUE(answered);
  EXPECT_EQ(shown, "Failed to open document.");
  const uint32_t before = view()->GetItemCount();  // the recording goes on
  ASSERT_TRUE(testsupport::waitFor(
      [&] { return view()->GetItemCount() > before + 100 && view()->RefreshPending(); }));
  QApplication::setActiveWindow(frame());  // the box has gone
  press(Qt::Key_F6);
  const auto halted = QString("Halted: %1 / %2 - ").arg(view()->GetFirstItem()).arg(itemsOf(path).size() / 6);
  EXPECT_TRUE(testsupport::waitFor([&] { return frame()->windowTitle().startsWith(halted); }))
      << frame()->windowTitle().toStdString();
  expectEndedAsStopEndsIt(path);
}

// Each path that changes what the enable rules depend on, then at once a real key, 20 times: before the path
// the key does nothing, right after it it is never lost (after the link went down it still does nothing).
TEST_P(SerialProgramEndToEnd, AKeyRightAfterARuleChangeIsNeitherLostNorLetThrough) {
  ASSERT_TRUE(launch({"--rate", "500", "--scenario", "rs232", "--seed", "8"}));  // no end
  const QString shown = m_tmp.filePath("SHOWN.ANL");
  testsupport::writeWholeFile(shown, QByteArray(60, '\0'));
  platform::RecentFiles().Add(shown);
  const auto closeShown = [&] {
    view()->OnDisplayHex();
    m_app->GetActiveFile().Close();
    platform::PostMessage(view()->handle(), WM_FILE_LOADED, 0, 0);
    platform::PumpMessages();
  };
  const auto link = [&](bool up, bool recording) {
    if (m_app->IsConnected() != up) post(up ? ID_CONNECT_DEVICE : ID_DISCONNECT_DEVICE);
    ASSERT_TRUE(testsupport::waitFor([&] { return m_app->IsConnected() == up; }));
    if (up && view()->IsRecording() != recording) post(recording ? ID_START_RECORDING : ID_STOP_RECORDING);
  };
  const auto drop = [&] { testsupport::drop(frame(), {QUrl::fromLocalFile(shown)}); };
  const auto request = [&] {
    CShellOpen::SendOpenRequest(m_app->BuildRegistryKeyName(), {shown});
    testsupport::waitFor([&] { return m_app->GetActiveFile().IsOpen(); });
  };
  const auto recent = [&] { frame()->menuBar()->actions().first()->menu()->actions().value(6)->trigger(); };
  const struct { const char* name; std::function<void()> before, path; Qt::Key key; bool allowedAfter; } paths[] = {
      {"recent entry", closeShown, recent, Qt::Key_F9, true},
      {"dropped file", closeShown, drop, Qt::Key_F9, true},
      {"open request", closeShown, request, Qt::Key_F9, true},
      {"link up", [&] { link(false, false); }, [&] { link(true, false); }, Qt::Key_F5, true},
      {"recording start", [&] { link(true, false); }, [&] { post(ID_START_RECORDING); }, Qt::Key_F6, true},
      {"recording stop", [&] { link(true, true); }, [&] { post(ID_STOP_RECORDING); }, Qt::Key_F5, true},
      {"link down", [&] { link(true, true); }, [&] { link(false, false); }, Qt::Key_F5, false},
  };
  const auto state = [&] {
    return QString("%1 %2 %3").arg(view()->GetDisplayAttribute()).arg(view()->IsRecording()).arg(sink() ? sink()->GetWritingPath() : "");
  };
  for (const auto& p : paths)
    for (int i = 0; i < 20; ++i) {
      p.before();
      frame()->UpdateCommandUi();  // the menus show the rules before the path
      const QString before = state();
      press(p.key);
      ASSERT_EQ(state(), before) << p.name << " " << i << ": let through";
      p.path();
      const QString after = state();
      press(p.key);
      ASSERT_EQ(state() != after, p.allowedAfter) << p.name << " " << i;
    }
}

// The device goes away during a recording: the recording ends as Stop ends it (file whole, on the recent
// list), the link goes so that Connect is enabled, and the user is told once.
TEST_P(SerialProgramEndToEnd, AnUnpluggedDeviceEndsTheRecordingAndTheLink) {
  const QString path = recording({"--rate", "2000", "--scenario", "rs232", "--seed", "6"});  // no end
  ASSERT_TRUE(!path.isEmpty() && itemsAtLeast(300));
  m_sim->stop();  // its pseudo-terminal goes with it
  ASSERT_TRUE(testsupport::waitFor([&] { return !m_app->IsConnected() && m_box.count() > 0; }));
  EXPECT_FALSE(view()->IsRecording() || enabled(ID_START_RECORDING));
  EXPECT_TRUE(enabled(ID_CONNECT_DEVICE));
  EXPECT_EQ(platform::RecentFiles().Entries().value(0), path);
  EXPECT_TRUE(m_sim->items().startsWith(itemsOf(path)) && itemsOf(path).size() >= 300 * 6);
  ASSERT_EQ(m_box.count(), 1u);
  EXPECT_TRUE(m_box.texts()[0].startsWith(QString("Lost serial port COM%1:").arg(m_com)));
}

INSTANTIATE_TEST_SUITE_P(Links, ProgramEndToEnd, ::testing::Values(Link::Serial, Link::Lan), linkName);
INSTANTIATE_TEST_SUITE_P(Link, SerialProgramEndToEnd, ::testing::Values(Link::Serial), linkName);
