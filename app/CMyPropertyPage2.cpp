#include "app/CMyPropertyPage2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "app/CVRIMApp.h"
#include "app/NumberField.h"
#include "capture/CComm.h"
#include "platform/ProfileStore.h"

namespace {

const QString SECTION = QStringLiteral("PropertyPage2");
const QString DEFAULT_CONNECTION = QStringLiteral("QX-7700-U");
// The address the LAN connect assumes while none is stored.
const QString DEFAULT_DEVICE_ADDRESS = QStringLiteral("192.168.0.100");

}  // namespace

CMyPropertyPage2::CMyPropertyPage2(QWidget* parent)
    : SettingsPage(QStringLiteral("Connection settings..."), parent) {
  // The boxes carry their text on the left.
  const auto box = [this](const char* name, const char* text) {
    auto* b = watched(new QCheckBox(QString::fromLatin1(text), this), name);
    b->setLayoutDirection(Qt::RightToLeft);
    return b;
  };
  m_nameEdit = watched(new QLineEdit(this), "connectionname");
  m_addressEdit = watched(new QLineEdit(this), "deviceaddress");
  m_acquisitionEdit = watched(new QLineEdit(this), "acquisitionport");
  m_controlEdit = watched(new QLineEdit(this), "controlport");
  m_lanBox = box("lan", "Connect to a LAN network:");
  m_hdlcBox = box("hdlc", "Connect via HDLC over Serial (Virtual) Port:");
  m_portList = watched(new QComboBox(this), "serialport");
  m_startupConnectBox = box("startupconnect", "Automatically Connect at Startup:");
  m_startupAquireBox = box("startupaquire", "Automatically Start Aquisition at Startup:");

  auto* grid = new QGridLayout(this);
  int row = 0;
  addRow(grid, row, "Connection Name:", m_nameEdit);
  addRow(grid, row, "Remote Device IP Address:", m_addressEdit);
  addRow(grid, row, "Remote Device Aquisition Port Number:", m_acquisitionEdit);
  addRow(grid, row, "Remote Device Control Port Number:", m_controlEdit);
  for (QCheckBox* b : {m_lanBox, m_hdlcBox}) grid->addWidget(b, row++, 0, 1, 2, Qt::AlignAbsolute | Qt::AlignLeft);
  addRow(grid, row, "Serial Port Number:", m_portList);
  for (QCheckBox* b : {m_startupConnectBox, m_startupAquireBox})
    grid->addWidget(b, row++, 0, 1, 2, Qt::AlignAbsolute | Qt::AlignLeft);
  grid->setRowStretch(row, 1);
}

void CMyPropertyPage2::fillPortList(bool portStored) {
  // Text order with the colon before every digit: COM1:, COM10:, COM2:.
  const auto insert = [this](const QString& text) {
    int at = 0;
    while (at < m_portList->count() && m_portList->itemText(at).chopped(1) < text.chopped(1)) ++at;
    m_portList->insertItem(at, text);
  };
  // Opening a port never waits for its carrier, and a port held open by this or
  // another program fails the test, so the list holds only ports free to use.
  QString selected;
  for (uint32_t n = 1; n <= LAST_PROBED_PORT; ++n) {
    if (!CComm::PortExists(n)) continue;
    const QString text = QStringLiteral("COM%1:").arg(n);
    insert(text);
    if (text.startsWith(m_storedPort)) selected = text;
  }
  // Except the stored port: it fails the test while the link uses it or while its
  // device is unplugged, and it is still the one to connect to.
  const uint32_t stored = CVRIMApp::SerialPortNumber(m_storedPort);
  const bool portText = stored > 0 && m_storedPort == QStringLiteral("COM%1:").arg(stored);
  if (portStored && portText && selected.isEmpty()) {
    insert(m_storedPort);
    selected = m_storedPort;
  }
  m_portList->setCurrentIndex(selected.isEmpty() ? 0 : m_portList->findText(selected));
}

void CMyPropertyPage2::OnInitDialog() {
  platform::ProfileStore& p = platform::Profile();
  // A stored empty text is a prefix of every entry, so it picks the last port probed;
  // only a missing key means COM1:.
  m_storedPort = p.GetProfileString(SECTION, QStringLiteral("SerialPort"), QStringLiteral("COM1:"));
  fillPortList(p.HasProfileValue(SECTION, QStringLiteral("SerialPort")));
  m_connectionName = p.GetProfileString(SECTION, QStringLiteral("ConnectionName"), DEFAULT_CONNECTION);
  m_deviceAddress = p.GetProfileString(SECTION, QStringLiteral("DeviceIPAddress"), DEFAULT_DEVICE_ADDRESS);
  m_acquisitionPort = p.GetProfileInt(SECTION, QStringLiteral("PortAquisition"), 4000);
  m_controlPort = p.GetProfileInt(SECTION, QStringLiteral("PortControl"), 4001);
  m_lan = p.GetProfileInt(SECTION, QStringLiteral("LanConnect"), 0) != 0;
  m_hdlc = p.GetProfileInt(SECTION, QStringLiteral("HDLCConnect"), 0) != 0;
  m_startupConnect = p.GetProfileInt(SECTION, QStringLiteral("StartupConnect"), 0) != 0;
  m_startupAquire = p.GetProfileInt(SECTION, QStringLiteral("StartupAquire"), 0) != 0;
  UpdateControls();
}

void CMyPropertyPage2::UpdateControls() {
  m_nameEdit->setText(m_connectionName);
  m_addressEdit->setText(m_deviceAddress);
  showUnsigned(m_acquisitionEdit, m_acquisitionPort);
  showUnsigned(m_controlEdit, m_controlPort);
  m_startupConnectBox->setChecked(m_startupConnect);
  m_lanBox->setChecked(m_lan);
  m_startupAquireBox->setChecked(m_startupAquire);
  m_hdlcBox->setChecked(m_hdlc);
}

bool CMyPropertyPage2::UpdateData() {
  m_connectionName = m_nameEdit->text();
  m_deviceAddress = m_addressEdit->text();
  if (!takeUnsigned(m_acquisitionEdit, m_acquisitionPort) || !takeUnsigned(m_controlEdit, m_controlPort))
    return false;
  m_startupConnect = m_startupConnectBox->isChecked();
  m_lan = m_lanBox->isChecked();
  m_startupAquire = m_startupAquireBox->isChecked();
  m_hdlc = m_hdlcBox->isChecked();
  return true;
}

void CMyPropertyPage2::SaveSettings() {
  UpdateData();
  // Recording at start-up needs the link that only the start-up connect makes.
  if (m_startupAquire) m_startupConnect = true;
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileString(SECTION, QStringLiteral("ConnectionName"), m_connectionName);
  p.WriteProfileString(SECTION, QStringLiteral("DeviceIPAddress"), m_deviceAddress);
  p.WriteProfileInt(SECTION, QStringLiteral("PortAquisition"), static_cast<int32_t>(m_acquisitionPort));
  p.WriteProfileInt(SECTION, QStringLiteral("PortControl"), static_cast<int32_t>(m_controlPort));
  p.WriteProfileInt(SECTION, QStringLiteral("LanConnect"), m_lan ? 1 : 0);
  p.WriteProfileInt(SECTION, QStringLiteral("HDLCConnect"), m_hdlc ? 1 : 0);
  p.WriteProfileInt(SECTION, QStringLiteral("StartupConnect"), m_startupConnect ? 1 : 0);
  p.WriteProfileInt(SECTION, QStringLiteral("StartupAquire"), m_startupAquire ? 1 : 0);
  // No port exists: the stored one stays, so the serial connect still finds a
  // "COM<n>:" text.
  p.WriteProfileString(SECTION, QStringLiteral("SerialPort"),
                       m_portList->currentIndex() >= 0 ? m_portList->currentText() : m_storedPort);
}
