#pragma once

#include <QApplication>
#include <QTest>

#include "app/CMainFrame.h"
#include "app/CVRIMApp.h"
#include "capture/CVRIMSocket.h"
#include "capture/FakeDialUp.h"
#include "common/CommandIds.h"
#include "display/CVRIMView.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"

namespace testsupport {

// The whole program on a fresh profile of its own (number `profile`), whose serial
// link leads to the simulator on COM<com> and which records into a temporary folder.
// Settings written between construction and start() are the program's start-up ones.
class SimProgramSession {
  QTemporaryDir m_dir;  // outlives the program

public:
  SimProgramSession(int profile, int com, const QStringList& simArgs)
      : sim(QStringList{"--com", QString::number(com)} + simArgs), m_profile(profile) {
    QFile::remove(platform::ProfileStore::pathForKey(*platform::RegistryKeyName(profile)));
    platform::SetProfile(*platform::RegistryKeyName(profile));
    platform::Profile().WriteProfileString("PropertyPage3", "FilePath", m_dir.path() + "/");
    platform::Profile().WriteProfileInt("PropertyPage2", "HDLCConnect", 1);
    platform::Profile().WriteProfileString("PropertyPage2", "SerialPort", QString("COM%1:").arg(com));
  }
  ~SimProgramSession() {
    if (app) app->ExitInstance();
    if (app && app->IsConnected()) app->OnDisconnectDevice();
    platform::SetProfilePath(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/Quellfeld/VRIM.ini");
  }
  bool start() {
    app = std::make_unique<CVRIMApp>(std::make_unique<FakeDialUp>());
    return sim.started() && app->InitInstance({QString("Profile=%1").arg(m_profile)});
  }
  // A key on the main window, its menu state brought up to date as before a user's key.
  void press(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    frame()->activateWindow();
    QApplication::setActiveWindow(frame());
    frame()->UpdateCommandUi();
    QTest::keyClick(frame(), k, mods);
    platform::PumpMessages();
  }
  // Connects through the menu, records the simulator's `records` items with F5 and F6
  // and returns the items that the file holds (empty when something failed).
  QByteArray record(int records) {
    platform::PostMessage(frame()->handle(), WM_COMMAND, ID_CONNECT_DEVICE, 0);
    if (!waitFor([&] { return app->IsConnected(); })) return {};
    press(Qt::Key_F5);
    const QString path = app->GetAcquisitionSocket()->GetWritingPath();
    const bool recorded = view()->IsRecording() &&
                          sim.waitForLog(QString("acquire-done records=%1").arg(records), 1, 20000) &&
                          waitFor([&] { return view()->GetItemCount() == uint32_t(records); }, 10000);
    press(Qt::Key_F6);
    return recorded && !view()->IsRecording() ? readWholeFile(path).mid(24) : QByteArray();
  }
  CMainFrame* frame() { return app->GetMainWnd(); }
  CVRIMView* view() { return app->GetActiveView(); }

  RecordingMessageBox boxes;
  SimProcess sim;
  std::unique_ptr<CVRIMApp> app;

private:
  int m_profile;
};

}  // namespace testsupport
