// Start-up, exit and the command layer of the application object; its link part is
// in CVRIMApp.cpp.
#include <QCoreApplication>
#include <QPageSetupDialog>
#include <QStringList>

#include "app/AppShell.h"
#include "app/CAboutDlg.h"
#include "app/CVRIMApp.h"
#include "app/MdbItemDecoder.h"
#include "common/CommandIds.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CVRIMView.h"
#include "display/ViewCommands.h"
#include "platform/AppWindows.h"
#include "platform/MessageBoxService.h"
#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"

namespace {

const QString LINK_SECTION = QStringLiteral("PropertyPage2");

}  // namespace

QString CVRIMApp::BuildRegistryKeyName() const {
  if (!m_shell) return platform::RegistryKeyName(0).value_or(QString());
  return platform::RegistryKeyName(m_shell->cmdInfo.m_nProfile).value_or(QString());
}

const CCmdLineInfo& CVRIMApp::GetCommandLineInfo() const {
  static const CCmdLineInfo none;
  return m_shell ? m_shell->cmdInfo : none;
}

CMainFrame* CVRIMApp::GetMainWnd() const { return m_shell ? m_shell->frame.get() : nullptr; }
CVRIMView* CVRIMApp::GetActiveView() const { return m_shell ? m_shell->view : nullptr; }
CVRIMDoc* CVRIMApp::GetDocument() const { return m_shell ? m_shell->doc.get() : nullptr; }
platform::CommandRouter* CVRIMApp::GetCommandRouter() const { return m_shell ? &m_shell->router : nullptr; }

void CVRIMApp::OnFilePrintSetup() {
  QPageSetupDialog dialog(&m_shell->printer, m_shell->frame.get());
  dialog.exec();
}

void CVRIMApp::OnAppAbout() {
  CAboutDlg dlg;
  dlg.exec();
}

bool CVRIMApp::InitInstance(const QStringList& arguments) {
  m_shell = std::make_unique<Shell>();
  Shell& sh = *m_shell;

  sh.cmdInfo.ParseCommandLine(arguments);
  const std::optional<QString> key = platform::RegistryKeyName(sh.cmdInfo.m_nProfile);
  if (!key) {
    // Another number would mix this copy's settings into a profile not asked for.
    platform::ShowMessageBox(
        QStringLiteral("Profile=%1 is not a profile number: use 0 to 99.").arg(sh.cmdInfo.m_nProfile),
        platform::MB_OK | platform::MB_ICONERROR);
    m_shell.reset();
    return false;
  }
  platform::SetProfile(*key);

  // The document, the frame and its view.
  sh.doc = std::make_unique<CVRIMDoc>(m_activeFile);
  sh.frame = std::make_unique<CMainFrame>(sh.router);
  platform::SetMainFrameWindow(sh.frame->handle());
  sh.view = new CVRIMView(m_activeFile, sh.frame.get());
  sh.frame->setCentralWidget(sh.view);
  sh.view->SetDecoderFactory([](CVRIMView& v) { return std::make_unique<MdbItemDecoder>(v); });
  sh.viewAdapter = std::make_unique<ViewRecordingAdapter>(*sh.view);
  sh.recording = std::make_unique<CRecordingControl>(*sh.viewAdapter, *this);
  SetStopRecording([this] {
    if (m_shell && m_shell->recording) m_shell->recording->OnStopRecording();
  });
  registerCommands();
  sh.router.setChain({&sh.viewCommands, &sh.doc->commands(), &sh.frame->commands(), &sh.appCommands});

  CVRIMView* view = sh.view;
  view->SetCommandSink([this](uint32_t id, CVRIMView::CommandRoute route) {
    if (!m_shell) return;
    if (route == CVRIMView::CommandRoute::Posted) {
      m_shell->router.route(id);
      return;
    }
    // The start-up timer's Start and the closing view's Stop run as called.
    if (id == ID_START_RECORDING) m_shell->recording->OnStartRecording();
    if (id == ID_STOP_RECORDING) m_shell->recording->OnStopRecording();
  });
  view->messageWindow().on(WM_COMMAND, [this](platform::Message& m) {
    if (m_shell) m_shell->router.route(static_cast<uint32_t>(m.wParam));
    return intptr_t{0};
  });
  CMainFrame* frame = sh.frame.get();
  QObject::connect(view, &CVRIMView::titleChanged, frame, &CMainFrame::SetDocumentTitle);

  sh.doc->isConnected = [this] { return IsConnected(); };
  sh.doc->disconnectDevice = [this] { OnDisconnectDevice(); };
  sh.doc->addToRecentFileList = [](const QString& path) { platform::RecentFiles().Add(path); };
  frame->canCloseFrame = [this] { return m_shell->doc->CanCloseFrame(); };
  frame->openDocument = [this](const QString& path) { m_shell->doc->OnOpenDocument(path); };
  // An entry that can no longer be opened leaves the list, as it always has.
  frame->openRecentFile = [this](const QString& path) {
    if (!m_shell->doc->OnOpenDocument(path)) platform::RecentFiles().Remove(path);
  };
  platform::RecentFiles().SetChangedCallback([this] {
    if (m_shell && m_shell->frame) m_shell->frame->SetRecentFiles(platform::RecentFiles().Entries());
  });
  frame->SetRecentFiles(platform::RecentFiles().Entries());

  // The view's first update: the decoder starts, the start-up recording is armed.
  view->OnInitialUpdate();

  frame->show();
  frame->repaint();

  sh.shellOpen = std::make_unique<CShellOpen>();
  sh.shellOpen->EnableShellOpen(*key, [this](const QString& path) {
    if (m_shell) m_shell->doc->OnOpenDocument(path);
  });
  CShellOpen::RegisterShellFileTypes(QCoreApplication::applicationDirPath() + QStringLiteral("/vrim-open"));

  LoadLinkType();
  if (platform::Profile().GetProfileInt(LINK_SECTION, QStringLiteral("StartupConnect"), 0)) OnConnectDevice();
  frame->UpdateCommandUi();
  return true;
}

void CVRIMApp::registerCommands() {
  Shell& sh = *m_shell;
  CVRIMView* view = sh.view;
  CRecordingControl* rec = sh.recording.get();
  auto rule = [this, view](ViewCommand c) {
    return [this, view, c] { return viewCommandEnabled(c, view->CommandState(IsConnected())); };
  };

  sh.viewCommands.onCommand(ID_START_RECORDING, [rec] { rec->OnStartRecording(); },
                            [rec] { return rec->CanStart(); });
  sh.viewCommands.onCommand(ID_STOP_RECORDING, [rec] { rec->OnStopRecording(); },
                            [rec] { return rec->CanStopOrRestart(); });
  sh.viewCommands.onCommand(ID_RESTART_RECORDING, [rec] { rec->OnRestartRecording(); },
                            [rec] { return rec->CanStopOrRestart(); });
  sh.viewCommands.onCommand(ID_REFRESH, [view] { view->OnRefresh(); }, rule(ViewCommand::Refresh));
  sh.viewCommands.onCommand(ID_DISPLAY_HEX, [view] { view->OnDisplayHex(); }, rule(ViewCommand::DisplayHex));
  sh.viewCommands.onCommand(ID_DISPLAY_ASCII, [view] { view->OnDisplayAscii(); }, rule(ViewCommand::DisplayAscii));
  sh.viewCommands.onCommand(ID_DISPLAY_LIST, [view] { view->OnDisplayList(); }, rule(ViewCommand::DisplayList));
  sh.viewCommands.onCommand(ID_REALTIME_DISPLAY, [view] { view->OnRealtimeDisplay(); },
                            rule(ViewCommand::RealtimeDisplay));

  sh.appCommands.onCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
  sh.appCommands.onCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
  sh.appCommands.onCommand(ID_CONNECT_DEVICE, [this] { OnConnectDevice(); },
                           [this] { return OnUpdateConnectDevice(); });
  sh.appCommands.onCommand(ID_DISCONNECT_DEVICE, [this] { OnDisconnectDevice(); },
                           [this] { return OnUpdateDisconnectDevice(); });
}

int CVRIMApp::ExitInstance() {
  // The windows go first: the view stops a recording still running, saves its
  // display mode and waits for its decoder.
  if (m_shell) {
    platform::RecentFiles().SetChangedCallback({});
    platform::SetMainFrameWindow(platform::NULL_WINDOW);
    m_shell->frame.reset();
    m_shell->view = nullptr;
    // The closing view has stopped its recording; the disconnect below must not
    // ask the view, which is gone, to stop again.
    SetStopRecording({});
  }
  if (platform::Profile().GetProfileInt(LINK_SECTION, QStringLiteral("StartupConnect"), 0) && IsConnected())
    OnDisconnectDevice();
  m_shell.reset();
  return 0;
}
