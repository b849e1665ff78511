#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "common/CommandIds.h"
#include "common/WindowMessages.h"
#include "platform/ProfileStore.h"
#include "support/LinkHelpers.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/WidgetDriver.h"

namespace testsupport {

// The whole program in-process, connected over the serial link to the simulator, with
// a profile and a recording folder of its own; driven by keys and menu commands.
class ProgramHost : public ::testing::Test {
protected:
  void SetUp() override {
    if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  }
  void TearDown() override {
    if (m_app) m_app->ExitInstance();
    if (m_app && m_app->IsConnected()) m_app->OnDisconnectDevice();
    m_app.reset();
    m_sim.reset();
    platform::SetProfilePath(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quellfeld/VRIM.ini");
  }

  // Profile number and COM port differ per test, since tests run in parallel processes.
  void configure(int profile, int com, bool lan = false) {
    m_profileNumber = profile;
    m_com = com;
    const QString key = *platform::RegistryKeyName(profile);
    QFile::remove(platform::ProfileStore::pathForKey(key));
    platform::SetProfile(key);
    platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_tmp.path() + "/");
    setLink("HDLCConnect", int(!lan));
    setLink("LanConnect", int(lan));
    setLink("SerialPort", QString("COM%1:").arg(com));
    if (!lan) return;
    m_net = SimNetwork::forThisProcess();
    setLan(m_net.deviceAddr, m_net.acquisitionPort, m_net.controlPort);
  }
  // The simulator on the configured link, then the program, not yet connected.
  bool launch(const QStringList& simArgs) {
    const bool lan = platform::Profile().GetProfileInt("PropertyPage2", "LanConnect", 0);
    m_sim = std::make_unique<SimProcess>(simArgs + (lan ? m_net.simArgs() : QStringList{"--com", QString::number(m_com)}));
    m_app = std::make_unique<CVRIMApp>(std::make_unique<FakeDialUp>());
    if (!m_sim->started() || !m_app->InitInstance({QString("Profile=%1").arg(m_profileNumber)})) return false;
    QApplication::setActiveWindow(frame());
    return true;
  }
  bool connect() {
    post(ID_CONNECT_DEVICE);
    return waitFor([&] { return m_app->IsConnected(); });
  }
  void start(const QStringList& simArgs, int profile, int com, const std::function<void()>& settings = {}) {
    configure(profile, com);
    if (settings) settings();
    ASSERT_TRUE(launch(simArgs) && connect());
  }
  CMainFrame* frame() const { return m_app->GetMainWnd(); }
  // The device commands the simulator carried out, in order.
  QStringList commands() const {
    QStringList out;
    for (const QString& line : m_sim->log().split('\n'))
      if (line.contains("cmd ")) out << line.mid(line.indexOf("cmd ") + 4).trimmed();
    return out;
  }
  // A command as the menu sends it, through the enable rules; a dialog it opens is
  // driven by `drive` from inside its modal run.
  void post(uint32_t command, std::function<void(QWidget*)> drive = {}) {
    if (drive) onNextModal(std::move(drive));
    platform::PostMessage(frame()->handle(), WM_COMMAND, command, 0);
    platform::PumpMessages();
  }
  // A key on the main window, active again after a dialog.
  void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QApplication::setActiveWindow(frame());
    frame()->UpdateCommandUi();
    QTest::keyClick(frame(), key, mods);
    platform::PumpMessages();
  }
  // Records one acquisition of the simulator (F5 to F6): the file must hold what
  // `keep` keeps of the items sent, which are returned.
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

  QTemporaryDir m_tmp;
  RecordingMessageBox m_box;
  SimNetwork m_net{};
  int m_profileNumber = 0;
  int m_com = 0;
  std::unique_ptr<SimProcess> m_sim;
  std::unique_ptr<CVRIMApp> m_app;
};

}  // namespace testsupport
