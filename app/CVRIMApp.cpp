#include "app/CVRIMApp.h"

#include "app/AppShell.h"

#include <cerrno>
#include <new>

#include "capture/CHDLC.h"
#include "capture/CVRIMSocket.h"
#include "capture/NmcliDialUp.h"
#include "common/SystemTypes.h"
#include "platform/MessageBoxService.h"
#include "platform/ProfileStore.h"

namespace {

const QString LINK_SECTION = QStringLiteral("PropertyPage2");
constexpr uint32_t LINK_BAUD_RATE = 38400;
constexpr uint8_t LINK_CHANNEL = 1;
// The receive thread sleeps on the link's ring; this bound only limits how long a
// lost wake-up could keep it.
constexpr uint32_t RECEIVE_WAIT_MS = 1000;
// A host address of the device on the local network.
const QString DEFAULT_DEVICE_ADDRESS = QStringLiteral("192.168.0.100");

CVRIMApp* g_instance = nullptr;

void showError(const char* format, uint32_t error) {
  platform::ShowMessageBox(QString::asprintf(format, static_cast<unsigned>(error)),
                           platform::MB_OK | platform::MB_ICONERROR);
}

}  // namespace

CVRIMApp::CVRIMApp(std::unique_ptr<DialUp> dialUp)
    : m_dialUp(dialUp ? std::move(dialUp) : std::make_unique<NmcliDialUp>()) {
  g_instance = this;
}

CVRIMApp::~CVRIMApp() {
  // Windows first: the view may still stop a recording through the link.
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
  // A thread left from an earlier connection ends before its objects change.
  stopReceiveThread();
  if (!m_hdlc) m_hdlc = std::make_unique<CHDLC>();
  else if (m_hdlc->IsConnected()) m_hdlc->Close();

  const QString portText = platform::Profile().GetProfileString(LINK_SECTION, QStringLiteral("SerialPort"),
                                                                QStringLiteral("COM1:"));
  if (!m_hdlc->Open(SerialPortNumber(portText), LINK_BAUD_RATE)) {
    m_hdlc.reset();
    return false;
  }
  m_acquisitionSocket.reset(new (std::nothrow) CVRIMSocket(&m_activeFile));
  if (!m_acquisitionSocket) {
    showError("Memory allocation, Error: %u\r\n", ENOMEM);
    return false;
  }
  m_stopReceive = false;
  m_receiveThread = std::thread([this] { HdlcReceiveThread(); });
  return true;
}

void CVRIMApp::HdlcReceiveThread() {
  m_connected = true;
  uint8_t payload[256];
  uint32_t length = 0;
  // Sleeps on the ring while nothing arrives; a frame wakes it at once. Each turn
  // runs a whole payload through the sink, whose lock keeps Stop and Restart from
  // closing the file under it.
  while (!m_stopReceive.load()) {
    if (m_hdlc->Receive(LINK_CHANNEL, payload, length))
      m_acquisitionSocket->ReceiveDeviceRecords(payload, length, false);
    else
      m_hdlc->WaitForFrame(RECEIVE_WAIT_MS);
  }
}

void CVRIMApp::stopReceiveThread() {
  if (!m_receiveThread.joinable()) return;
  m_stopReceive = true;
  if (m_hdlc) m_hdlc->WakeReceiver();
  m_receiveThread.join();
}

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

// ---- LAN ----

void CVRIMApp::releaseSockets() {
  if (m_acquisitionSocket) m_acquisitionSocket->Close();
  m_acquisitionSocket.reset();
  if (m_controlSocket) m_controlSocket->Close();
  m_controlSocket.reset();
}

bool CVRIMApp::openLanSocket(std::unique_ptr<CVRIMSocket>& socket, const QString& address, bool control,
                             const char* createFailed, const char* connectFailed) {
  // Left in place on failure: releaseSockets closes it with the other one.
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

  // Sockets left by a connect that failed still hold their ports.
  releaseSockets();
  const QString address = platform::Profile().GetProfileString(LINK_SECTION, QStringLiteral("DeviceIPAddress"),
                                                               DEFAULT_DEVICE_ADDRESS);
  if (!openLanSocket(m_acquisitionSocket, address, false, "Create aquisition socket failed, Error: %u\r\n",
                     "Connect to aquisition socket failed, Error: %u\r\n"))
    return false;
  if (!openLanSocket(m_controlSocket, address, true, "Create control socket failed, Error: %u\r\n",
                     "Connect to control socket failed, Error: %u\r\n"))
    return false;
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
