#include "app/CVRIMApp.h"

#include <QCoreApplication>
#include <QPageSetupDialog>
#include <QStatusBar>
#include <cerrno>
#include <csignal>
#include <new>

#include "app/AppShell.h"
#include "app/CAboutDlg.h"
#include "app/CCommentEditor.h"
#include "app/CMyPropertySheet.h"
#include "app/CTriggerSetupDlg.h"
#include "app/MdbItemDecoder.h"
#include "capture/CHDLC.h"
#include "capture/CVRIMSocket.h"
#include "capture/NmcliDialUp.h"
#include "common/CommandIds.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CVRIMView.h"
#include "display/PrintJob.h"
#include "display/ViewCommands.h"
#include "platform/AppWindows.h"
#include "platform/MessageBoxService.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "platform/RecentFileList.h"
#include "update/CUpdate.h"

namespace {

const QString LINK_SECTION = QStringLiteral("PropertyPage2");
constexpr uint32_t LINK_BAUD_RATE = 38400;
constexpr uint8_t LINK_CHANNEL = 1;
// The receive thread sleeps on the link's ring; this bound only limits how long a
// lost wake-up could keep it.
constexpr uint32_t RECEIVE_WAIT_MS = 1000;
// To the application's link window: the serial port lost its device (wParam: error).
constexpr uint32_t WM_SERIAL_PORT_LOST = WM_USER + 100;
// A host address of the device on the local network.
const QString DEFAULT_DEVICE_ADDRESS = QStringLiteral("192.168.0.100");

CVRIMApp* g_instance = nullptr;

void showError(const char* format, uint32_t error) {
  platform::ShowMessageBox(QString::asprintf(format, static_cast<unsigned>(error)),
                           platform::MB_OK | platform::MB_ICONERROR);
}

}  // namespace

CVRIMApp::CVRIMApp(std::unique_ptr<DialUp> dialUp)
    : m_dialUp(dialUp ? std::move(dialUp) : std::make_unique<NmcliDialUp>()),
      m_linkWindow(std::make_unique<platform::MessageWindow>()) {
  g_instance = this;
  m_linkWindow->on(WM_SERIAL_PORT_LOST, [this](platform::Message& m) {
    onSerialPortLost(static_cast<uint32_t>(m.wParam));
    return intptr_t{0};
  });
}

CVRIMApp::~CVRIMApp() {
  // The windows go first: the view may still stop a recording through the link.
  m_shell.reset();
  // Then threads: the receive thread uses the sink and the link.
  stopReceiveThread();
  if (m_hdlc) m_hdlc->Close();
  if (g_instance == this) g_instance = nullptr;
}

CVRIMApp* CVRIMApp::Instance() { return g_instance; }

void CVRIMApp::LoadLinkType() {
  m_linkType = platform::Profile().GetProfileInt(LINK_SECTION, QStringLiteral("HDLCConnect"), 0) ? LINKTYPE_HDLC
                                                                                                  : LINKTYPE_LAN;
}

uint32_t CVRIMApp::SerialPortNumber(const QString& text) {
  uint32_t n = 0;
  for (qsizetype i = 3; i < text.size() && text[i].isDigit(); ++i) n = n * 10 + static_cast<uint32_t>(text[i].digitValue());
  return n;
}

bool CVRIMApp::OnConnectDevice() { return m_linkType == LINKTYPE_HDLC ? ConnectSerial() : ConnectLan(); }

bool CVRIMApp::OnDisconnectDevice() { return m_linkType == LINKTYPE_HDLC ? DisconnectSerial() : DisconnectLan(); }

bool CVRIMApp::SendDeviceCommand(const QByteArray& command) {
  const auto* data = reinterpret_cast<const uint8_t*>(command.constData());
  if (m_linkType == LINKTYPE_HDLC)
    return m_hdlc && m_hdlc->SendFrame(LINK_CHANNEL, data, static_cast<uint32_t>(command.size()), true);
  if (!m_controlSocket) return false;
  const int sent = m_controlSocket->Send(data, static_cast<int>(command.size()));
  return sent != 0 && sent != -1;
}

bool CVRIMApp::ReadControlReply(uint8_t* destination) {
  return m_controlSocket && m_controlSocket->ReadControlReply(destination);
}

// ---- serial ----

bool CVRIMApp::ConnectSerial() {
  // A thread left from an earlier connection ends before its objects change, and
  // until the new one runs there is no link.
  stopReceiveThread();
  m_connected = false;
  if (!m_hdlc) m_hdlc = std::make_unique<CHDLC>();
  else if (m_hdlc->IsConnected()) m_hdlc->Close();

  const QString portText = platform::Profile().GetProfileString(LINK_SECTION, QStringLiteral("SerialPort"),
                                                                QStringLiteral("COM1:"));
  const platform::WindowHandle linkWindow = m_linkWindow->handle();
  m_hdlc->SetPortLostHandler(
      [linkWindow](uint32_t error) { platform::PostMessage(linkWindow, WM_SERIAL_PORT_LOST, error); });
  if (!m_hdlc->Open(SerialPortNumber(portText), LINK_BAUD_RATE)) {
    m_hdlc.reset();
    m_acquisitionSocket.reset();
    return false;
  }
  m_acquisitionSocket.reset(new (std::nothrow) CVRIMSocket(&m_activeFile));
  if (!m_acquisitionSocket) {
    showError("Memory allocation, Error: %u\r\n", ENOMEM);
    return false;
  }
  CHDLC* link = m_hdlc.get();
  return m_receiveThread.Start([this](std::stop_token stop) { HdlcReceiveThread(stop); },
                               [link] { link->WakeReceiver(); });
}

void CVRIMApp::HdlcReceiveThread(const std::stop_token& stop) {
  m_connected = true;
  // Nothing else wakes the idle UI: tell the frame that Connect and Start changed.
  platform::PostMessage(platform::MainFrameWindow(), WM_IDLEUPDATECMDUI);
  uint8_t payload[256];
  uint32_t length = 0;
  // Sleeps on the ring while nothing arrives; a frame wakes it at once. Each turn
  // runs a whole payload through the sink, whose lock keeps Stop and Restart from
  // closing the file under it.
  while (!stop.stop_requested()) {
    if (m_hdlc->Receive(LINK_CHANNEL, payload, length))
      m_acquisitionSocket->ReceiveDeviceRecords(payload, length, false);
    else
      m_hdlc->WaitForFrame(RECEIVE_WAIT_MS);
  }
}

void CVRIMApp::stopReceiveThread() { m_receiveThread.Stop(); }

bool CVRIMApp::DisconnectSerial() {
  m_connected = false;
  // The stop command still goes over the open link.
  if (m_stopRecording) m_stopRecording();
  // The thread leaves its turn before the sink and the link go.
  stopReceiveThread();
  m_connected = false;
  m_acquisitionSocket.reset();
  if (m_hdlc) {
    if (m_hdlc->IsConnected()) m_hdlc->Close();
    m_hdlc.reset();
  }
  return true;
}

void CVRIMApp::onSerialPortLost(uint32_t error) {
  // Only for the link still held: a new connect may have replaced it meanwhile.
  if (m_linkType != LINKTYPE_HDLC || !m_hdlc || !m_hdlc->IsPortLost()) return;
  const uint32_t port = m_hdlc->GetPortNumber();
  DisconnectSerial();
  platform::ShowMessageBox(QString::asprintf("Lost serial port COM%u:\r\nError: %u\r\nThe device has been disconnected.",
                                             port, error),
                           platform::MB_OK | platform::MB_ICONERROR);
}

// ---- LAN ----

void CVRIMApp::releaseSockets() {
  if (m_acquisitionSocket) m_acquisitionSocket->Close();
  m_acquisitionSocket.reset();
  if (m_controlSocket) m_controlSocket->Close();
  m_controlSocket.reset();
}

bool CVRIMApp::openLanSocket(std::unique_ptr<CVRIMSocket>& socket, const QString& address, bool control,
                             const char* createFailed, const char* connectFailed) {
  socket.reset(new (std::nothrow) CVRIMSocket(&m_activeFile));
  if (!socket) {
    showError("Memory allocation, Error: %u\r\n", ENOMEM);
    return false;
  }
  // The device's port is bound locally too.
  const uint32_t port = control ? socket->GetControlPort() : socket->GetAcquisitionPort();
  if (!socket->Create(port)) {
    showError(createFailed, static_cast<uint32_t>(errno));
    return false;
  }
  if (!socket->Connect(address, port)) {
    showError(connectFailed, static_cast<uint32_t>(errno));
    return false;
  }
  return true;
}

bool CVRIMApp::ConnectLan() {
  m_dialUpConnection.clear();
  const QString name = platform::Profile().GetProfileString(LINK_SECTION, QStringLiteral("ConnectionName"),
                                                            QStringLiteral("QX-7700"));
  // A connection already up whose name begins the configured name is adopted
  // ("QX-7700" serves "QX-7700-U") and never hung up by this program.
  std::vector<DialUp::Connection> active;
  uint32_t error = 0;
  if (!m_dialUp->EnumConnections(active, error)) {
    showError("RasEnumConnections failed, Error: %u\r\n", error);
  } else {
    for (const DialUp::Connection& c : active) {
      if (!c.name.isEmpty() && name.startsWith(c.name)) {
        m_dialUpConnection = c.handle;
        m_dialUpAdopted = true;
        break;
      }
    }
  }

  const bool onLocalNetwork = platform::Profile().GetProfileInt(LINK_SECTION, QStringLiteral("LanConnect"), 0) != 0;
  if (!onLocalNetwork && m_dialUpConnection.isEmpty()) {
    QString handle;
    if (!m_dialUp->Dial(name, handle, error)) {
      showError("Connect failed, Error: %u\r\nPlease make sure to use the correct connection and\r\n"
                "check the connection settings in windows control panel.",
                error);
      m_dialUpConnection.clear();
      return false;
    }
    m_dialUpConnection = handle;
    // This connection is the program's own, whatever an earlier connect adopted:
    // the disconnect hangs it up again.
    m_dialUpAdopted = false;
  }

  // Sockets of an earlier connect still hold their ports.
  releaseSockets();
  const QString address = platform::Profile().GetProfileString(LINK_SECTION, QStringLiteral("DeviceIPAddress"),
                                                               DEFAULT_DEVICE_ADDRESS);
  if (!openLanSocket(m_acquisitionSocket, address, false, "Create aquisition socket failed, Error: %u\r\n",
                     "Connect to aquisition socket failed, Error: %u\r\n") ||
      !openLanSocket(m_controlSocket, address, true, "Create control socket failed, Error: %u\r\n",
                     "Connect to control socket failed, Error: %u\r\n")) {
    // Without a link there is no sink either: a Start (the start-up one included)
    // then creates no file.
    releaseSockets();
    return false;
  }
  m_connected = true;
  return true;
}

bool CVRIMApp::DisconnectLan() {
  if (m_stopRecording) m_stopRecording();
  releaseSockets();
  bool hangUpFailed = false;
  if (!m_dialUpConnection.isEmpty() && !m_dialUpAdopted) {
    uint32_t error = 0;
    if (!m_dialUp->HangUp(m_dialUpConnection, error)) {
      showError("Hang up failed, Error: %u\r\nProbably still connected.", error);
      hangUpFailed = true;
    }
    m_dialUpConnection.clear();
    m_dialUpAdopted = false;
  }
  m_connected = false;
  return !hangUpFailed;
}

// ---- start-up, exit and the command layer ----

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

void CVRIMApp::OnCommentEditor() {
  // The detail dialog and a search in progress belong to the file as it was.
  if (m_shell && m_shell->view) m_shell->view->ForgetShownFile();
  {
    CCommentEditor editor(*this);
    editor.exec();
  }
  // The block may have grown: item 0 now starts at the new block size.
  if (m_shell && m_shell->view) m_shell->view->OnFileLoaded();
}

void CVRIMApp::OnAppAbout() {
  CAboutDlg dlg;
  dlg.exec();
}

bool CVRIMApp::InitInstance(const QStringList& arguments) {
  // A write past the process's file-size limit then fails with EFBIG like one on a
  // full disk, and is reported, instead of ending the program without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  m_shell = std::make_unique<Shell>();
  Shell& sh = *m_shell;

  sh.cmdInfo.ParseCommandLine(arguments);
  const std::optional<QString> key = platform::RegistryKeyName(sh.cmdInfo.m_nProfile);
  if (!key) {
    // Another number would mix this copy's settings into a profile not asked for.
    platform::ShowMessageBox(
        QStringLiteral("Profile=%1 is not a profile number: use 0 to 99.").arg(sh.cmdInfo.m_profileText),
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
  frame->runSettings = [] { CMyPropertySheet().DoModal(); };
  // An entry that can no longer be opened leaves the list.
  frame->openRecentFile = [this](const QString& path) {
    if (!m_shell->doc->OnOpenDocument(path)) platform::RecentFiles().Remove(path);
  };
  platform::RecentFiles().SetChangedCallback([this] {
    if (m_shell && m_shell->frame) m_shell->frame->SetRecentFiles(platform::RecentFiles().Entries());
  });
  frame->SetRecentFiles(platform::RecentFiles().Entries());
  frame->runUpdateFirmware = [this] {
    CUpdate dialog(*this, m_shell->frame.get());
    dialog.exec();
  };

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
                            [rec] { return rec->CanStop(); });
  sh.viewCommands.onCommand(ID_RESTART_RECORDING, [rec] { rec->OnRestartRecording(); },
                            [rec] { return rec->CanRestart(); });
  sh.viewCommands.onCommand(ID_REFRESH, [view] { view->OnRefresh(); }, rule(ViewCommand::Refresh));
  sh.viewCommands.onCommand(ID_DISPLAY_HEX, [view] { view->OnDisplayHex(); }, rule(ViewCommand::DisplayHex));
  sh.viewCommands.onCommand(ID_DISPLAY_ASCII, [view] { view->OnDisplayAscii(); }, rule(ViewCommand::DisplayAscii));
  sh.viewCommands.onCommand(ID_DISPLAY_LIST, [view] { view->OnDisplayList(); }, rule(ViewCommand::DisplayList));
  sh.viewCommands.onCommand(ID_REALTIME_DISPLAY, [view] { view->OnRealtimeDisplay(); },
                            rule(ViewCommand::RealtimeDisplay));
  sh.viewCommands.onCommand(ID_SEARCH_PATTERN, [view] { view->OnSearchPattern(); }, rule(ViewCommand::SearchPattern));
  sh.viewCommands.onCommand(ID_CONTINUE_SEARCH, [view] { view->OnContinueSearch(); },
                            rule(ViewCommand::ContinueSearch));
  sh.viewCommands.onCommand(ID_GO_TO_ITEM, [view] { view->OnGoToItem(); }, rule(ViewCommand::GoToItem));
  sh.viewCommands.onCommand(ID_CALCULATE_CHECKSUM, [view] { view->OnCalculateChecksum(); },
                            rule(ViewCommand::RangeChecksum));
  sh.viewCommands.onCommand(ID_DEBUG_INFORMATION, [view] { view->OnDebugInformation(); },
                            rule(ViewCommand::DebugInformation));

  sh.viewCommands.onCommand(ID_COMMENT_EDITOR, [this] { OnCommentEditor(); }, rule(ViewCommand::CommentEditor));
  auto print = [this, view](auto run) {
    return [this, view, run] {
      auto* mdb = dynamic_cast<MdbItemDecoder*>(view->decoder());
      PrintJob job(PrintJob::SourceOf(*view, mdb ? &mdb->interpreter() : nullptr), m_shell->frame.get(),
                   [this](const QString& text) { m_shell->frame->statusBar()->showMessage(text); });
      run(job, m_shell->printer);
    };
  };
  sh.viewCommands.onCommand(ID_FILE_PRINT, print([](PrintJob& j, QPrinter& p) { j.OnFilePrint(p); }),
                            rule(ViewCommand::Print));
  sh.viewCommands.onCommand(ID_FILE_PRINT_DIRECT,
                            print([](PrintJob& j, QPrinter& p) { j.OnFilePrintDirect(p); }),
                            rule(ViewCommand::Print));
  sh.viewCommands.onCommand(ID_FILE_PRINT_PREVIEW,
                            print([](PrintJob& j, QPrinter& p) { j.OnFilePrintPreview(p); }),
                            rule(ViewCommand::PrintPreview));
  sh.viewCommands.onCommand(ID_TRIGGER_SETUP, [] { CTriggerSetupDlg().DoModal(); },
                            rule(ViewCommand::TriggerSetup));

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
