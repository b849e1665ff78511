#include "update/CUpdate.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cerrno>

#include "capture/CComm.h"
#include "capture/DeviceCommands.h"
#include "common/SystemTypes.h"
#include "platform/File.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "update/BootDialogue.h"
#include "update/UpdateLink.h"

namespace {

const QString SECTION = QStringLiteral("UpdateDialog");
constexpr uint32_t HIGHEST_PORT = 255;

const char* const STEP_TEXTS[7] = {
    "Firmware update progress:",
    "Step 1: Enter device boot mode... ",
    "Step 2: Disconnecting current communication link...",
    "Step 3: Check if device is in boot mode...",
    "Step 4: Downloading firmware...",
    "Step 5: Requesting thenew checksum...",
    "Step 6: Restarting firmware...",
};

QString withError(const char* format, int error) { return QString::asprintf(format, static_cast<unsigned>(error)); }

}  // namespace

CUpdate::CUpdate(UpdateLink& link, QWidget* parent) : QDialog(parent), m_link(link) {
  setWindowTitle(QStringLiteral("Update QX-7700-U firmware..."));
  setModal(true);
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  // Dialog units from the font: a quarter of the average character width across,
  // an eighth of the character height down.
  const QFontMetrics fm(font());
  const double ux = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0 / 4;
  const double uy = fm.height() / 8.0;
  // A caption in a font wider than the template's keeps its whole text.
  auto place = [ux, uy](QWidget* w, int x, int y, int width, int height) {
    w->setGeometry(qRound(x * ux), qRound(y * uy), qRound(width * ux), qRound(height * uy));
    if (auto* label = qobject_cast<QLabel*>(w)) w->resize(qMax(w->width(), label->sizeHint().width()), w->height());
  };
  setFixedSize(qRound(300 * ux), qRound(250 * uy));

  place(new QGroupBox(this), 3, 0, 294, 247);
  m_start = new QPushButton(QStringLiteral("Start Update"), this);
  m_start->setDefault(true);
  place(m_start, 97, 229, 50, 14);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  place(m_cancel, 151, 229, 50, 14);
  m_pathEdit = new QLineEdit(this);
  place(m_pathEdit, 11, 19, 244, 12);
  m_browse = new QPushButton(QStringLiteral("Browse"), this);
  place(m_browse, 258, 19, 30, 12);
  place(new QLabel(QStringLiteral("Location of firmware file: (*.HEX)"), this), 12, 10, 242, 9);
  m_portList = new QComboBox(this);
  place(m_portList, 11, 45, 70, 14);
  m_portList->setMaxVisibleItems(15);
  place(new QLabel(QStringLiteral("Virtual Comm Port:"), this), 12, 36, 58, 8);
  for (int i = 0; i < 7; ++i) {
    m_lines[i] = new QLabel(QString::fromLatin1(STEP_TEXTS[i]), this);
    place(m_lines[i], 12, 70 + 12 * i, 280, 8);
    m_lines[i]->hide();
  }
  auto* note = new QLabel(QStringLiteral(">>> Notes on the Button at right: <<<\n"
                                         "This will just set a boot mark for the boot loader.\n"
                                         "On the next start the device will be in boot mode\n"
                                         "and behave like a normal serial COMxxx port.\n"
                                         "This software will terminate after a few seconds !!!"),
                          this);
  note->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  note->setAlignment(Qt::AlignCenter);
  place(note, 11, 176, 200, 43);
  m_bootMark = new QPushButton(QStringLiteral("Set Boot Mark"), this);
  place(m_bootMark, 224, 191, 60, 14);

  connect(m_start, &QPushButton::clicked, this, &CUpdate::OnOK);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_browse, &QPushButton::clicked, this, &CUpdate::OnBrowseFirmware);
  connect(m_bootMark, &QPushButton::clicked, this, &CUpdate::OnSetBootMark);
  OnInitDialog();
}

CUpdate::~CUpdate() { OnDestroy(); }

void CUpdate::SetLongWaitDivisor(uint32_t divisor) { s_longWaitDivisor = divisor ? divisor : 1; }

uint32_t CUpdate::scaled(uint32_t ms) { return ms >= 1000 ? ms / s_longWaitDivisor : ms; }

void CUpdate::Wait(uint32_t ms) {
  platform::PumpMessages();
  QEventLoop loop;
  // A coarse timer may end a wait of seconds by a twentieth early: the device would
  // still be restarting.
  QTimer::singleShot(static_cast<int>(scaled(ms)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

void CUpdate::OnInitDialog() {
  m_finished = false;
  m_firmwarePath = platform::Profile().GetProfileString(SECTION, QStringLiteral("FirmwareFile"), QString());
  FillPortList();
  const auto index = static_cast<int>(platform::Profile().GetProfileInt(SECTION, QStringLiteral("FirmwarePort"), 0));
  m_portList->setCurrentIndex(index >= 0 && index < m_portList->count() ? index : -1);
  m_pathEdit->setText(m_firmwarePath);
}

void CUpdate::OnDestroy() {
  m_firmwarePath = m_pathEdit->text();
  platform::Profile().WriteProfileString(SECTION, QStringLiteral("FirmwareFile"), m_firmwarePath);
  platform::Profile().WriteProfileInt(SECTION, QStringLiteral("FirmwarePort"), m_portList->currentIndex());
  releaseBootPort();
}

void CUpdate::FillPortList() {
  for (uint32_t n = 0; n <= HIGHEST_PORT; ++n)
    if (CComm::PortExists(n, true)) m_portList->addItem(QStringLiteral("COM%1").arg(n));
}

bool CUpdate::selectedPort(uint32_t& number) const {
  if (m_portList->currentIndex() < 0) return false;
  bool ok = false;
  number = m_portList->currentText().mid(3).toUInt(&ok);
  return ok;
}

bool CUpdate::openBootPort(uint32_t number) {
  releaseBootPort();
  m_bootPort = std::make_unique<CComm>();
  if (m_bootPort->Open(number, nullptr, nullptr, false) != CComm::INVALID_HANDLE) return true;
  const int err = errno;
  m_bootPort.reset();
  errno = err;
  return false;
}

void CUpdate::releaseBootPort() {
  if (m_bootPort && m_bootPort->IsOpen()) m_bootPort->Close();
  m_bootPort.reset();
}

void CUpdate::showStep(int step) {
  m_lines[static_cast<size_t>(step)]->show();
  platform::PumpMessages();
}

void CUpdate::setLine(int step, const QString& text) { m_lines[static_cast<size_t>(step)]->setText(text); }

bool CUpdate::sendBootMark() {
  errno = 0;
  if (m_link.SendDeviceCommand(DeviceCommands::Boot())) return true;
  if (errno == 0) errno = m_link.IsConnected() ? ETIMEDOUT : ENOTCONN;
  return false;
}

void CUpdate::OnOK() {
  if (m_finished) {
    accept();
    return;
  }
  m_firmwarePath = m_pathEdit->text();
  m_lines[0]->show();
  m_start->setEnabled(false);
  platform::PumpMessages();
  if (EnterBootMode() && DisconnectDevice() && OpenBootPort() && DownloadFirmware() && RequestChecksum())
    RestartFirmware();
  Wait(1000);
  releaseBootPort();
  m_start->setEnabled(true);
  m_start->setText(QStringLiteral("Finish"));
  m_finished = true;
}

bool CUpdate::IsInBootMode() {
  m_inBootMode = false;
  uint32_t number = 0;
  if (m_link.IsConnected() || !selectedPort(number)) return false;
  if (!openBootPort(number)) return false;
  Wait(1000);
  if (BootDialogue::Probe(*m_bootPort, true)) return true;
  releaseBootPort();
  return false;
}

bool CUpdate::EnterBootMode() {
  showStep(1);
  // Without a port the boot loader could not be reached afterwards: the device is
  // left in its firmware.
  uint32_t number = 0;
  if (!selectedPort(number)) {
    setLine(1, withError("Enter boot mode failed, Error %u", ENODEV));
    return false;
  }
  if (IsInBootMode()) {
    m_inBootMode = true;
    return true;
  }
  if (!m_link.IsConnected()) {
    const bool connected = m_link.OnConnectDevice();
    const int err = connected ? ETIMEDOUT : errno;
    platform::PumpMessages();
    // The serial link reports itself up from its receive thread, a moment later.
    Wait(100);
    if (!m_link.IsConnected()) {
      setLine(1, withError("Enter boot mode failed, Error %u", err));
      return false;
    }
  }
  if (!sendBootMark()) {
    const int err = errno;
    m_link.OnDisconnectDevice();
    if (m_link.GetLinkType() != LINKTYPE_HDLC) setLine(1, withError("Enter boot mode failed, Error %u", err));
    return false;
  }
  platform::PumpMessages();
  return true;
}

bool CUpdate::DisconnectDevice() {
  showStep(2);
  if (m_inBootMode) return true;
  m_link.OnDisconnectDevice();
  QElapsedTimer waited;
  waited.start();
  while (m_link.IsConnected()) {
    if (waited.elapsed() >= scaled(10000)) {
      setLine(2, QStringLiteral("Disconnect from device failed..."));
      return false;
    }
    Wait(100);
  }
  // The device restarts into its boot loader meanwhile.
  Wait(10000);
  return true;
}

bool CUpdate::OpenBootPort() {
  showStep(3);
  if (m_inBootMode) return true;
  releaseBootPort();
  uint32_t number = 0;
  if (!selectedPort(number)) {
    setLine(3, withError("Open comm port failed, Error %u", ENODEV));
    return false;
  }
  if (!openBootPort(number)) {
    setLine(3, withError("Open comm port failed, Error %u", errno));
    return false;
  }
  Wait(1000);
  if (!BootDialogue::Probe(*m_bootPort, false)) {
    setLine(3, withError("Failed to enter boot mode, Error %u", errno));
    return false;
  }
  return true;
}

bool CUpdate::DownloadFirmware() {
  showStep(4);
  platform::File file;
  platform::FileError error;
  QFile reader;
  if (!file.open(m_firmwarePath, platform::File::Mode::ReadShared, &error)) {
    setLine(4, withError("Open firmware file failed, Error %u", error.cause));
    releaseBootPort();
    return false;
  }
  reader.open(file.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
  m_bootPort->Purge();
  BootDialogue::SendFirmware(*m_bootPort, reader, [this](uint32_t line) {
    setLine(4, QStringLiteral("Step 4: Downloading record: %1").arg(line));
    platform::PumpMessages();
  });
  return true;
}

bool CUpdate::RequestChecksum() {
  showStep(5);
  Wait(1000);
  m_bootPort->Purge();
  QString checksum;
  if (BootDialogue::RequestChecksum(*m_bootPort, checksum))
    setLine(5, QStringLiteral("Step 5: The new checksum: 0x") + checksum);
  else
    setLine(5, QStringLiteral("Step 5: Requesting checksum failed..."));
  return true;
}

bool CUpdate::RestartFirmware() {
  showStep(6);
  BootDialogue::Restart(*m_bootPort);
  Wait(50);
  releaseBootPort();
  Wait(5000);
  return true;
}

void CUpdate::OnSetBootMark() {
  m_start->setEnabled(false);
  if (!sendBootMark()) setLine(1, withError("Set boot mark failed, Error %u", errno));
  m_cancel->setText(QStringLiteral("QUIT"));
}

void CUpdate::OnBrowseFirmware() {
  QFileDialog dialog(this, QStringLiteral("Select firmware upodate file..."), m_firmwarePath,
                     QStringLiteral("Firmware Intel Hex File (*.HEX)"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  m_firmwarePath = dialog.selectedFiles().first();
  m_pathEdit->setText(m_firmwarePath);
}
