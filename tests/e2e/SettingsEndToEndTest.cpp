// Settings made through the settings sheet and the trigger setup dialog reach the
// simulated QX-7700 and the recording: the program runs in-process on the serial
// link, the dialogs open from their commands and are driven with keys and clicks.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "common/CommandIds.h"
#include "common/WindowMessages.h"
#include "display/CVRIMView.h"
#include "platform/ProfileStore.h"
#include "support/LinkHelpers.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"
#include "support/WidgetDriver.h"

using namespace testsupport;

namespace {

constexpr int PROFILE = 70;
constexpr int COM = 130;

// The items the trigger keeps of a recording's items: from each start pattern
// (with up to `leading` items before it since the trigger was armed) to the end of
// the next stop pattern, or to the start pattern's end without one, then `trailing`
// items.
QByteArray triggerWindows(const QByteArray& items, const QByteArray& start, const QByteArray& stop,
                          int leading, int trailing) {
  QByteArray data;
  for (qsizetype at = 1; at < items.size(); at += 6) data += items[at];
  QByteArray out;
  for (qsizetype armed = 0, s; (s = data.indexOf(start, armed)) >= 0;) {
    qsizetype end = s + start.size();
    if (!stop.isEmpty())
      end = data.indexOf(stop, end) < 0 ? data.size() : data.indexOf(stop, end) + stop.size();
    end = std::min(end + trailing, data.size());
    const qsizetype from = std::max(armed, s - leading);
    out += items.mid(from * 6, (end - from) * 6);
    armed = end;
  }
  return out;
}

class SettingsEndToEnd : public ::testing::Test {
protected:
  void SetUp() override {
    if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
    const QString key = *platform::RegistryKeyName(PROFILE);
    QFile::remove(platform::ProfileStore::pathForKey(key));
    platform::SetProfile(key);
    platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_tmp.path() + "/");
    setLink("HDLCConnect", 1);
    setLink("SerialPort", QString("COM%1:").arg(COM));
  }
  void TearDown() override {
    if (m_app) m_app->ExitInstance();
    m_app.reset();
    m_sim.reset();
    platform::SetProfilePath(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quellfeld/VRIM.ini");
  }

  void start(QStringList simArgs) {
    m_sim = std::make_unique<SimProcess>(simArgs << "--com" << QString::number(COM));
    ASSERT_TRUE(m_sim->started());
    m_app = std::make_unique<CVRIMApp>(std::make_unique<FakeDialUp>());
    ASSERT_TRUE(m_app->InitInstance({QString("Profile=%1").arg(PROFILE)}));
    post(ID_CONNECT_DEVICE);
    ASSERT_TRUE(waitFor([&] { return m_app->IsConnected(); }));
  }
  CMainFrame* frame() const { return m_app->GetMainWnd(); }
  // A command as the menu sends it, through the enable rules; a dialog it opens is
  // driven by `drive` from inside its modal run.
  void post(uint32_t command, std::function<void(QWidget*)> drive = {}) {
    if (drive) onNextModal(std::move(drive));
    platform::PostMessage(frame()->handle(), WM_COMMAND, command, 0);
    platform::PumpMessages();
  }
  // A key on the main window, active again after a dialog.
  void press(Qt::Key key) {
    QApplication::setActiveWindow(frame());
    frame()->UpdateCommandUi();
    QTest::keyClick(frame(), key);
  }
  // Records one acquisition of the simulator: the file must hold what `keep` keeps
  // of the items sent, which are returned.
  QByteArray record(int records, const std::function<QByteArray(const QByteArray&)>& keep) {
    const qsizetype before = m_sim->items().size();
    press(Qt::Key_F5);
    const QString path = m_app->GetAcquisitionSocket()->GetWritingPath();
    EXPECT_TRUE(m_sim->waitForLog("acquire-done", m_sim->count("acquire-done") + 1, 20000));
    const QByteArray sent = m_sim->items().mid(before);
    EXPECT_EQ(sent.size(), records * 6);
    EXPECT_TRUE(waitFor([&] { return readWholeFile(path).mid(24) == keep(sent); }, 10000));
    press(Qt::Key_F6);
    return sent;
  }
  // The device commands the simulator took, in order.
  QStringList commands() const {
    QStringList out;
    for (const QString& line : m_sim->log().split('\n'))
      if (line.contains("cmd ")) out << line.mid(line.indexOf("cmd ") + 4).trimmed();
    return out;
  }

  QTemporaryDir m_tmp;
  RecordingMessageBox m_box;
  std::unique_ptr<SimProcess> m_sim;
  std::unique_ptr<CVRIMApp> m_app;
};

}  // namespace

// New baud rate, data bits and parity chosen on the communication page go out with
// the next Start; the bus load frame and the rest of the line settings stay as they were.
TEST_F(SettingsEndToEnd, LineSettingsFromTheSheetReachTheDeviceAtTheNextStart) {
  start({"--count", "200", "--rate", "4000", "--scenario", "rs232", "--seed", "2"});
  const auto all = [](const QByteArray& items) { return items; };
  record(200, all);
  const QString busLoad = "bus-load load=3 master=16 slave=16";
  ASSERT_EQ(commands(), QStringList({busLoad, "line-settings baud=9600 stop=0 parity=0 data=6", "acquire 1",
                                     "acquire 0"}));

  post(ID_SETTINGS, [](QWidget* sheet) {
    QTest::keyClick(child<QComboBox>(sheet, "baudrate"), Qt::Key_End);
    for (const char* list : {"databits", "databits", "parity", "parity"})
      QTest::keyClick(child<QComboBox>(sheet, list), Qt::Key_Down);
    testsupport::press(sheet, QDialogButtonBox::Ok);
  });
  record(200, all);
  EXPECT_EQ(commands().mid(4), QStringList({busLoad, "line-settings baud=115200 stop=0 parity=2 data=8",
                                            "acquire 1", "acquire 0"}));
  EXPECT_EQ(frame()->pane(2)->text(), "115200-8-1-O");
  EXPECT_EQ(m_box.count(), 0u);
}

// Start pattern, 5 leading, stop pattern and 5 trailing set in the dialog: the file
// holds exactly the trigger's windows; with the stop box clear the windows run past
// the stop pattern to the start pattern's trailing items.
TEST_F(SettingsEndToEnd, TriggerFromTheDialogRecordsItsWindows) {
  start({"--count", "1500", "--rate", "6000", "--scenario", "rs232", "--seed", "5"});
  const QByteArray startPattern = "CREDIT", stopPattern = "OK\r\n";
  for (const bool stopBox : {true, false}) {
    post(ID_TRIGGER_SETUP, [&](QWidget* dialog) {
      for (auto [name, on] : {std::pair{"triggerstate", true}, {"stoprecording", stopBox}})
        if (child<QCheckBox>(dialog, name)->isChecked() != on) click(child<QCheckBox>(dialog, name));
      type(child<QComboBox>(dialog, "startpattern")->lineEdit(), startPattern.toHex(' '));
      type(child<QComboBox>(dialog, "stoppattern")->lineEdit(), stopPattern.toHex(' '));
      type(child<QLineEdit>(dialog, "leading"), "5");
      type(child<QLineEdit>(dialog, "trailing"), "5");
      testsupport::press(dialog, QDialogButtonBox::Ok);
    });
    const QByteArray stop = stopBox ? stopPattern : QByteArray();
    const QByteArray sent = record(
        1500, [&](const QByteArray& items) { return triggerWindows(items, startPattern, stop, 5, 5); });
    // The recording holds windows, and the two settings give different ones.
    EXPECT_GT(triggerWindows(sent, startPattern, stop, 5, 5).size(), 6 * 20);
    EXPECT_NE(triggerWindows(sent, startPattern, stopPattern, 5, 5),
              triggerWindows(sent, startPattern, {}, 5, 5));
  }
  EXPECT_EQ(m_box.count(), 0u);
}
