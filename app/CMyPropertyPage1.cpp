#include "app/CMyPropertyPage1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/ProfileStore.h"

namespace {

const QString SECTION = QStringLiteral("PropertyPage1");

// The device takes thresholds in steps of 0.15 V: entry i is (i + 1) x 0.15 V.
constexpr unsigned THRESHOLD_STEP_CV = 15;
constexpr unsigned THRESHOLD_END_CV = 495;

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& entries) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->addItems(entries);
  return list;
}

// Posted only while a main window with an active view exists.
void postToView(uint32_t id, intptr_t lParam) {
  if (platform::MainFrameWindow() == platform::NULL_WINDOW) return;
  if (const platform::WindowHandle view = platform::ActiveViewWindow())
    platform::PostMessage(view, id, 0, lParam);
}

}  // namespace

const char* const CMyPropertyPage1::MDB_NOTE =
    "Note:\n"
    "The MDB Master load defines how much current the MDB Slave must drive.\n"
    "Remember: The load here adds to the actual MDB load of the measured system.\n"
    "The MDB Master threshold defines the voltage level of the master receiver.\n"
    "The MDB Slave threshold defines the voltage level of the slave receiver.\n";

CMyPropertyPage1::CMyPropertyPage1(QWidget* parent)
    : SettingsPage(QStringLiteral("Communication Parameters..."), parent) {
  QStringList thresholds;
  for (unsigned v = THRESHOLD_STEP_CV; v < THRESHOLD_END_CV; v += THRESHOLD_STEP_CV)
    thresholds << QString::asprintf("%u.%02u Volt", v / 100, v % 100);
  m_protocol = makeList(this, "protocol",
                        {"Standard RS-232 Serial Protocol", "MDB - Multi Drop Bus Protocol",
                         "Executive 'A'-Protocol", "BDV Protocol (BDV001)"});
  m_baudRate = makeList(this, "baudrate",
                        {"300", "600", "1200", "2400", "3600", "4800", "7200", "9600", "14400", "19200",
                         "28800", "38400", "57600", "115200"});
  m_dataBits = makeList(this, "databits", {"5-Bits", "6-Bits", "7-Bits", "8-Bits", "9-Bits"});
  m_stopBits = makeList(this, "stopbits", {"1", "2"});
  m_parity = makeList(this, "parity", {"None", "Even", "Odd", "Mark", "Space"});
  m_realtime = new QCheckBox(QStringLiteral("Realtime display while recording."), this);
  m_realtime->setObjectName(QStringLiteral("realtime"));
  m_swap = new QCheckBox(QStringLiteral("Swap RXD && TXD line display."), this);
  m_swap->setObjectName(QStringLiteral("swap"));
  m_masterLoad = makeList(this, "masterload",
                          {"No load (0.0mA)", "10 kOhm (0.4mA)", "820 Ohm (5.3mA)", "390 Ohm (10.8mA)"});
  m_masterThreshold = makeList(this, "masterthreshold", thresholds);
  m_slaveThreshold = makeList(this, "slavethreshold", thresholds);
  m_note = new QLabel(this);
  m_note->setObjectName(QStringLiteral("mdbnote"));
  m_note->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  m_note->setAlignment(Qt::AlignCenter);

  auto* grid = new QGridLayout(this);
  int row = 0;
  addRow(grid, row, "Analizer Data Protocol:", m_protocol);
  addRow(grid, row, "Baudrate:", m_baudRate);
  addRow(grid, row, "Data bits:", m_dataBits);
  addRow(grid, row, "Stop bits:", m_stopBits);
  addRow(grid, row, "Parity bits:", m_parity);
  grid->addWidget(m_realtime, row++, 0, 1, 2);
  grid->addWidget(m_swap, row++, 0, 1, 2);
  addRow(grid, row, "MDB Master Receiver Load (Default: 10 kOhm): ", m_masterLoad);
  addRow(grid, row, "MDB Master Receiver Threshold (Default: 2.55V): ", m_masterThreshold);
  addRow(grid, row, "MDB Slave Receiver Threshold (Default 2.55V): ", m_slaveThreshold);
  grid->addWidget(m_note, row++, 0, 1, 2);
  grid->setRowStretch(row, 1);

  for (QComboBox* list : {m_protocol, m_baudRate, m_dataBits, m_stopBits, m_parity, m_masterLoad,
                          m_masterThreshold, m_slaveThreshold})
    connect(list, &QComboBox::activated, this, &CMyPropertyPage1::UpdateLineControls);
  connect(m_realtime, &QCheckBox::clicked, this, &CMyPropertyPage1::UpdateLineControls);
  connect(m_swap, &QCheckBox::clicked, this, &CMyPropertyPage1::OnSwapRxTx);
}

void CMyPropertyPage1::OnInitDialog() {
  platform::ProfileStore& p = platform::Profile();
  selectStored(m_protocol, p.GetProfileInt(SECTION, QStringLiteral("Protocol"), 0));
  selectStored(m_baudRate, p.GetProfileInt(SECTION, QStringLiteral("Baudrate"), 7));
  selectStored(m_dataBits, p.GetProfileInt(SECTION, QStringLiteral("Databits"), 1));
  selectStored(m_stopBits, p.GetProfileInt(SECTION, QStringLiteral("Stopbits"), 0));
  selectStored(m_parity, p.GetProfileInt(SECTION, QStringLiteral("Paritybits"), 0));
  m_realtime->setChecked(p.GetProfileInt(SECTION, QStringLiteral("Realtime"), 1) != 0);
  m_swap->setChecked(p.GetProfileInt(SECTION, QStringLiteral("SwitchRxTx"), 0) != 0);
  selectStored(m_masterLoad, p.GetProfileInt(SECTION, QStringLiteral("MasterLoad"), 3));
  selectStored(m_masterThreshold, p.GetProfileInt(SECTION, QStringLiteral("MasterThreshold"), 16));
  selectStored(m_slaveThreshold, p.GetProfileInt(SECTION, QStringLiteral("SlaveThreshold"), 16));
  m_note->setText(QString::fromLatin1(MDB_NOTE));
  applyEnableRule();
}

void CMyPropertyPage1::applyEnableRule() {
  // A protocol outside the list counts as not MDB.
  const bool lineSettings = m_protocol->currentIndex() != static_cast<int>(PROTOCOL_MDB);
  for (QComboBox* list : {m_baudRate, m_dataBits, m_stopBits, m_parity}) list->setEnabled(lineSettings);
}

void CMyPropertyPage1::UpdateLineControls() {
  applyEnableRule();
  SetModified(true);
}

void CMyPropertyPage1::OnSwapRxTx() {
  UpdateLineControls();
  postToView(WM_SWAP_RXTX, m_swap->isChecked() ? 1 : 0);
}

void CMyPropertyPage1::SaveSettings() {
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileInt(SECTION, QStringLiteral("Protocol"), storedSelection(m_protocol));
  p.WriteProfileInt(SECTION, QStringLiteral("Baudrate"), storedSelection(m_baudRate));
  p.WriteProfileInt(SECTION, QStringLiteral("Databits"), storedSelection(m_dataBits));
  p.WriteProfileInt(SECTION, QStringLiteral("Stopbits"), storedSelection(m_stopBits));
  p.WriteProfileInt(SECTION, QStringLiteral("Paritybits"), storedSelection(m_parity));
  p.WriteProfileInt(SECTION, QStringLiteral("Realtime"), m_realtime->isChecked() ? 1 : 0);
  p.WriteProfileInt(SECTION, QStringLiteral("SwitchRxTx"), m_swap->isChecked() ? 1 : 0);
  p.WriteProfileInt(SECTION, QStringLiteral("MasterLoad"), storedSelection(m_masterLoad));
  p.WriteProfileInt(SECTION, QStringLiteral("MasterThreshold"), storedSelection(m_masterThreshold));
  p.WriteProfileInt(SECTION, QStringLiteral("SlaveThreshold"), storedSelection(m_slaveThreshold));
  postToView(WM_SETTINGS_CHANGED, 0);
}
