#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>

#include "capture/CActiveFile.h"
#include "capture/DeviceLink.h"
#include "platform/WorkerThread.h"
#include "update/UpdateLink.h"

class CCmdLineInfo;
class CHDLC;
class CMainFrame;
class CVRIMDoc;
class CVRIMSocket;
class CVRIMView;
class DialUp;
namespace platform {
class CommandRouter;
class MessageWindow;
}

// The application object: it lives for the whole run and owns the link to the
// QX-7700 (serial: the framed link, the data sink and the receive thread; LAN: the
// acquisition and control sockets and an optional dial-up) and the shown file.
// This is its link part; start-up and the frame build on it.
class CVRIMApp : public DeviceLink, public UpdateLink {
public:
  // dialUp: the dial-up service (null: NetworkManager's).
  explicit CVRIMApp(std::unique_ptr<DialUp> dialUp = nullptr);
  ~CVRIMApp() override;
  CVRIMApp(const CVRIMApp&) = delete;
  CVRIMApp& operator=(const CVRIMApp&) = delete;

  // The application object of this process (the last one made), or null.
  static CVRIMApp* Instance();

  // Reads "PropertyPage2" "HDLCConnect" once, at start-up.
  void LoadLinkType();
  void SetLinkType(uint32_t linkType) { m_linkType = linkType; }
  uint32_t GetLinkType() const override { return m_linkType; }

  bool IsConnected() const override { return m_connected.load(); }
  CVRIMSocket* GetAcquisitionSocket() override { return m_acquisitionSocket.get(); }
  CVRIMSocket* GetControlSocket() { return m_controlSocket.get(); }
  CHDLC* GetHdlc() { return m_hdlc.get(); }
  CActiveFile& GetActiveFile() override { return m_activeFile; }
  bool SendDeviceCommand(const QByteArray& command) override;
  // The stored control reply, read once (see CVRIMSocket::ReadControlReply).
  bool ReadControlReply(uint8_t* destination);

  // "&Connect to Device" and "&Disconnect Device", and their enable rules.
  bool OnConnectDevice() override;
  bool OnDisconnectDevice() override;
  bool OnUpdateConnectDevice() const { return !IsConnected(); }
  bool OnUpdateDisconnectDevice() const { return IsConnected(); }

  bool ConnectSerial();
  bool DisconnectSerial();
  bool ConnectLan();
  bool DisconnectLan();

  // What a disconnect runs first to end a running recording (the view's Stop).
  void SetStopRecording(std::function<void()> stopRecording) { m_stopRecording = std::move(stopRecording); }

  // ---- start-up and exit ----
  // Start-up of the program: profile from the command line, document, frame and
  // view, the shown window, desktop open requests, link type, connect at start-up.
  // False ends the program.
  bool InitInstance(const QStringList& arguments);
  // Tears the windows down (the view saves its mode and stops its decoder), then
  // undoes the start-up connection; returns the exit code.
  int ExitInstance();
  void OnAppAbout();
  // Runs the comment editor on the shown file, then shows the file anew.
  void OnCommentEditor();
  void OnFilePrintSetup();
  // "Quellfeld" / "Quellfeld_%02u" of the profile in use; empty above 99.
  QString BuildRegistryKeyName() const;
  const CCmdLineInfo& GetCommandLineInfo() const;
  CMainFrame* GetMainWnd() const;
  CVRIMView* GetActiveView() const;
  CVRIMDoc* GetDocument() const;
  platform::CommandRouter* GetCommandRouter() const;

  // Number of COM<n> in a "SerialPort" text: the decimal number from its fourth
  // character on ("COM1:" gives 1, "COM12:" 12), 0 when there is none.
  static uint32_t SerialPortNumber(const QString& text);

private:
  void registerCommands();
  void HdlcReceiveThread(const std::stop_token& stop);
  void stopReceiveThread();
  // The serial port's device went away: the recording ends as a Stop would, the link
  // goes as a Disconnect would, and the user is told once.
  void onSerialPortLost(uint32_t error);
  void releaseSockets();
  // Makes the acquisition or the control socket, bound to the device's port and
  // connected to it; false after the failure is shown.
  bool openLanSocket(std::unique_ptr<CVRIMSocket>& socket, const QString& address, bool control,
                     const char* createFailed, const char* connectFailed);

  // Set by the serial receive thread once it runs, and by a LAN connect.
  std::atomic<bool> m_connected{false};
  bool m_dialUpAdopted = false;
  uint32_t m_linkType = 0;
  QString m_dialUpConnection;  // empty: none held
  std::unique_ptr<CVRIMSocket> m_acquisitionSocket;
  std::unique_ptr<CVRIMSocket> m_controlSocket;
  std::unique_ptr<CHDLC> m_hdlc;
  platform::WorkerThread m_receiveThread;

  CActiveFile m_activeFile;
  std::unique_ptr<DialUp> m_dialUp;
  // Receives what the link threads report to the UI thread.
  std::unique_ptr<platform::MessageWindow> m_linkWindow;
  std::function<void()> m_stopRecording;

  // The windows and the command layer, made by InitInstance; declared last so that
  // they go before the link objects they use.
  struct Shell;
  std::unique_ptr<Shell> m_shell;
};
