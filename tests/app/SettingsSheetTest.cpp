// The settings sheet driven with keys and clicks; what it stored is read back.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>

#include "app/CMyPropertyPage4.h"
#include "app/CMyPropertySheet.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/ProfileStore.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/StoredSettings.h"
#include "support/TestSupport.h"
#include "support/WidgetDriver.h"

using namespace testsupport;
using Button = QDialogButtonBox::StandardButton;

namespace {

uint32_t intOf(const char* section, const char* key) { return platform::Profile().GetProfileInt(section, key, -9); }
QString textOf(const char* section, const char* key) { return platform::Profile().GetProfileString(section, key, "-"); }
// COM1 to COM96 lead nowhere except the given ports, which are pseudo-terminals.
std::vector<std::unique_ptr<PtyDevice>> publishOnly(std::initializer_list<uint32_t> ports) {
  QDir().mkpath(ComPortPath::PortsFolder());
  for (uint32_t n = 1; n <= 96; ++n) {
    QFile::remove(ComPortPath::LinkPath(n));
    QFile::link("/nonexistent", ComPortPath::LinkPath(n));
  }
  std::vector<std::unique_ptr<PtyDevice>> devices;
  for (uint32_t n : ports) devices.push_back(std::make_unique<PtyDevice>(n));
  return devices;
}

class SettingsSheet : public ::testing::Test {
protected:
  ~SettingsSheet() override { QDir(ComPortPath::PortsFolder()).removeRecursively(); }
  void open(int page = 0) {
    m_sheet = std::make_unique<CMyPropertySheet>();
    m_sheet->show();
    showPage(page);
  }
  void showPage(int index) {
    QTabBar* bar = m_sheet->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }
  template <class T>
  T* at(const char* name) { return child<T>(m_sheet.get(), name); }
  bool applyEnabled() { return m_sheet->buttons()->button(Button::Apply)->isEnabled(); }
  // Each run opens the sheet on the page, enters the run's values and presses OK;
  // the section then holds exactly the run's keys.
  void storeRuns(int page, const char* section, const std::vector<StoredSetting>& table) {
    expectDistinctSeries(table);
    for (size_t run = 0; run < table.front().runs.size(); ++run) {
      open(page);
      enterRun(m_sheet.get(), table, run);
      press(m_sheet.get(), Button::Ok);
      EXPECT_FALSE(m_sheet->isVisible());
      EXPECT_EQ(iniSection(m_profile.iniPath(), section), expectedRun(table, run)) << "run " << run;
    }
  }

  TempProfile m_profile;
  RecordingMessageBox m_box;
  std::unique_ptr<CMyPropertySheet> m_sheet;
};

}  // namespace

TEST_F(SettingsSheet, CommunicationPageDefaultsThresholdsAndTheMdbRule) {
  open();
  EXPECT_EQ(m_sheet->windowTitle() + m_sheet->tabs()->tabText(3),
            "Analyzer Properties...Project Settings...");
  for (const char* name : {"masterthreshold", "slavethreshold"}) {
    const auto* list = at<QComboBox>(name);
    ASSERT_EQ(list->count(), 32);
    EXPECT_EQ(list->itemText(0) + list->itemText(31) + list->currentText(), "0.15 Volt4.80 Volt2.55 Volt");
  }
  EXPECT_EQ(at<QComboBox>("masterload")->currentText(), "390 Ohm (10.8mA)");
  EXPECT_FALSE(applyEnabled());

  // MDB disables the four line lists, which keep their selections.
  QTest::keyClick(at<QComboBox>("protocol"), Qt::Key_Down);
  for (const char* name : {"baudrate", "databits", "stopbits", "parity"})
    EXPECT_FALSE(at<QComboBox>(name)->isEnabled());
  EXPECT_TRUE(applyEnabled());
  press(m_sheet.get(), Button::Ok);
  EXPECT_FALSE(m_sheet->isVisible());
  EXPECT_EQ(std::pair(intOf("PropertyPage1", "Protocol"), intOf("PropertyPage1", "Baudrate")), std::pair(1u, 7u));
}

// A stored index outside its list selects nothing and is stored again as read.
// Cancel stores every page shown, and only those.
TEST_F(SettingsSheet, IndexOutsideAListIsKeptAndCancelStoresTheShownPages) {
  const std::tuple<const char*, const char*, int> outside[] = {
      {"PropertyPage1", "Protocol", 7}, {"PropertyPage3", "FileMaxSize", 9},
      {"PropertyPage3", "ScreenSize", 7}};
  for (auto [section, key, index] : outside) platform::Profile().WriteProfileInt(section, key, index);
  open();
  EXPECT_EQ(at<QComboBox>("protocol")->currentIndex(), -1);
  EXPECT_TRUE(at<QComboBox>("baudrate")->isEnabled());
  showPage(2);
  EXPECT_EQ(at<QComboBox>("filemaxsize")->currentIndex(), -1);
  for (auto* radio : m_sheet->findChildren<QRadioButton*>()) EXPECT_FALSE(radio->isChecked());
  showPage(3);
  EXPECT_EQ(at<QLabel>("projectnote")->text(), CMyPropertyPage4::NOTE);
  type(at<QLineEdit>("Company"), "ACME");
  EXPECT_TRUE(applyEnabled());
  press(m_sheet.get(), Button::Cancel);
  for (auto [section, key, index] : outside) EXPECT_EQ(intOf(section, key), uint32_t(index)) << key;
  EXPECT_EQ(textOf("PropertyPage4", "Company") + textOf("PropertyPage4", "Version"), "ACME");
  EXPECT_EQ(intOf("PropertyPage2", "PortAquisition"), uint32_t(-9));
}

// The swap box swaps the view's display at once; Cancel still stores it, and the
// save tells the view that the device settings changed.
TEST_F(SettingsSheet, SwapReachesTheViewAtOnceAndEverySaveTellsIt) {
  platform::MessageWindow view;
  std::vector<std::pair<uint32_t, intptr_t>> got;
  for (uint32_t id : {WM_SWAP_RXTX, WM_SETTINGS_CHANGED})
    view.on(id, [&](platform::Message& m) { return got.emplace_back(m.id, m.lParam), intptr_t{0}; });
  platform::SetMainFrameWindow(view.handle());
  platform::SetActiveViewWindow(view.handle());
  open();
  click(at<QCheckBox>("swap"));
  platform::PumpMessages();
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, intptr_t>>{{WM_SWAP_RXTX, 1}}));
  press(m_sheet.get(), Button::Cancel);
  platform::PumpMessages();
  EXPECT_EQ(intOf("PropertyPage1", "SwitchRxTx"), 1u);
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, intptr_t>>{{WM_SWAP_RXTX, 1}, {WM_SETTINGS_CHANGED, 0}}));
  platform::SetActiveViewWindow(platform::NULL_WINDOW);
  platform::SetMainFrameWindow(platform::NULL_WINDOW);
}

TEST_F(SettingsSheet, PortListInTextOrderWithoutPortsInUse) {
  const auto ports = publishOnly({1, 3, 10});
  platform::Profile().WriteProfileString("PropertyPage2", "SerialPort", "COM10:");
  open(1);
  EXPECT_EQ(entries(at<QComboBox>("serialport")), QStringList({"COM1:", "COM10:", "COM3:"}));
  EXPECT_EQ(at<QComboBox>("serialport")->currentText(), "COM10:");
  EXPECT_EQ(at<QLineEdit>("connectionname")->text() + at<QLineEdit>("acquisitionport")->text() +
                at<QLineEdit>("controlport")->text(),
            "QX-7700-U40004001");
  // Recording at start-up stores the start-up connect too.
  click(at<QCheckBox>("startupaquire"));
  press(m_sheet.get(), Button::Ok);
  EXPECT_EQ(intOf("PropertyPage2", "StartupConnect") + intOf("PropertyPage2", "StartupAquire"), 2u);

  // COM3 and COM10 held (by another program, or COM10 by the link of this one) fail
  // the probe: COM3 is not listed, the stored COM10 stays listed, selected and stored.
  std::vector<int> held;
  for (const auto& port : {ports[1].get(), ports[2].get()}) {
    held.push_back(::open(port->slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY));
    ASSERT_EQ(::flock(held.back(), LOCK_EX | LOCK_NB), 0);
  }
  open(1);
  EXPECT_EQ(entries(at<QComboBox>("serialport")), QStringList({"COM1:", "COM10:"}));
  EXPECT_EQ(at<QComboBox>("serialport")->currentText(), "COM10:");
  press(m_sheet.get(), Button::Cancel);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM10:");
  for (int fd : held) ::close(fd);

  // No port at all: the stored port stays.
  const auto none = publishOnly({});
  platform::Profile().WriteProfileString("PropertyPage2", "SerialPort", "COM7:");
  open(1);
  EXPECT_EQ(entries(at<QComboBox>("serialport")), QStringList({"COM7:"}));
  press(m_sheet.get(), Button::Ok);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM7:");
}

// Every entry begins with an empty stored text, so the last one probed wins; only a
// missing key means COM1:, and it is listed only when it exists.
TEST_F(SettingsSheet, EmptyStoredPortSelectsTheLastProbedAndOnlyAMissingOneMeansCom1) {
  const auto forget = [&] {
    QSettings(m_profile.iniPath(), QSettings::IniFormat).remove("PropertyPage2/SerialPort");
  };
  const auto ports = publishOnly({1, 2, 3, 10});
  platform::Profile().WriteProfileString("PropertyPage2", "SerialPort", "");
  open(1);
  EXPECT_EQ(entries(at<QComboBox>("serialport")), QStringList({"COM1:", "COM10:", "COM2:", "COM3:"}));
  EXPECT_EQ(at<QComboBox>("serialport")->currentText(), "COM10:");
  press(m_sheet.get(), Button::Ok);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM10:");

  forget();
  open(1);
  EXPECT_EQ(at<QComboBox>("serialport")->currentText(), "COM1:");
  press(m_sheet.get(), Button::Ok);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM1:");

  const auto withoutCom1 = publishOnly({2, 3});
  platform::Profile().WriteProfileString("PropertyPage2", "SerialPort", "");
  open(1);
  EXPECT_EQ(at<QComboBox>("serialport")->currentText(), "COM3:");
  press(m_sheet.get(), Button::Ok);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM3:");
  forget();
  open(1);
  EXPECT_EQ(entries(at<QComboBox>("serialport")), QStringList({"COM2:", "COM3:"}));
  press(m_sheet.get(), Button::Ok);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM2:");
}

// Coming back to a page shows its numbers as taken. A refused port number keeps the
// user on the page and OK does not close; Cancel stores the fields before it as
// edited and it and the fields after it as read.
TEST_F(SettingsSheet, BadPortNumberKeepsTheUserOnThePage) {
  open(1);
  type(at<QLineEdit>("controlport"), "0012");
  showPage(3);
  showPage(1);
  EXPECT_EQ(at<QLineEdit>("controlport")->text(), "12");
  type(at<QLineEdit>("connectionname"), "Lab");
  type(at<QLineEdit>("acquisitionport"), "12x");
  click(at<QCheckBox>("lan"));
  showPage(2);
  EXPECT_EQ(m_sheet->tabs()->currentIndex(), 1);
  EXPECT_EQ(m_sheet->focusWidget(), at<QLineEdit>("acquisitionport"));
  press(m_sheet.get(), Button::Ok);
  EXPECT_TRUE(m_sheet->isVisible());
  EXPECT_EQ(m_box.texts(), std::vector<QString>(2, "Enter a positive integer."));
  press(m_sheet.get(), Button::Cancel);
  EXPECT_EQ(m_box.count(), 3u);
  EXPECT_EQ(textOf("PropertyPage2", "ConnectionName"), "Lab");
  EXPECT_EQ(std::pair(intOf("PropertyPage2", "PortAquisition"), intOf("PropertyPage2", "LanConnect")),
            std::pair(4000u, 0u));
}

TEST_F(SettingsSheet, BrowseTakesTheFolderAndKeepsTheName) {
  const QString folder = m_profile.dir() + "/Data/Run/";
  QDir().mkpath(folder);
  writeWholeFile(folder + "x.ANL", "");
  platform::Profile().WriteProfileString("PropertyPage3", "FileName", "KEEP.ANL");
  platform::Profile().WriteProfileInt("PropertyPage3", "ScreenSize", 2);
  open(2);
  EXPECT_EQ(at<QLabel>("profile")->text(), "This instance uses profile: Quellfeld");
  EXPECT_TRUE(m_sheet->findChildren<QRadioButton*>().value(2)->isChecked());
  click(m_sheet->findChildren<QRadioButton*>().value(0));
  type(at<QLineEdit>("margintop"), "0012");
  showPage(3);
  showPage(2);
  EXPECT_EQ(at<QLineEdit>("margintop")->text(), "12");
  QString title;
  onNextModal(
      [&](QWidget* dialog) {
        title = dialog->windowTitle();
        qobject_cast<QFileDialog*>(dialog)->selectFile(folder + "x.ANL");
        static_cast<QDialog*>(dialog)->accept();
      },
      m_sheet.get());
  click(at<QPushButton>("browse"));
  EXPECT_EQ(title, "Select location of aquisition file...");
  EXPECT_EQ(at<QLineEdit>("filename")->text(), "KEEP.ANL");
  press(m_sheet.get(), Button::Ok);
  EXPECT_EQ(textOf("PropertyPage3", "FilePath") + textOf("PropertyPage3", "FileName"), folder + "KEEP.ANL");
  EXPECT_EQ(intOf("PropertyPage3", "ScreenSize"), 0u);
}

TEST_F(SettingsSheet, CommunicationPageStoresEveryControlUnderItsKey) {
  storeRuns(0, "PropertyPage1",
            {{"Protocol", "protocol", {{"BDV Protocol (BDV001)", "3"}, {"Standard RS-232 Serial Protocol", "0"}}},
             {"Baudrate", "baudrate", {{"115200", "13"}, {"4800", "5"}}},
             {"Databits", "databits", {{"9-Bits", "4"}, {"7-Bits", "2"}}},
             {"Stopbits", "stopbits", {{"2", "1"}, {"1", "0"}}},
             {"Paritybits", "parity", {{"Odd", "2"}, {"Space", "4"}}},
             {"Realtime", "realtime", {{"0", "0"}, {"1", "1"}}},
             {"SwitchRxTx", "swap", {{"1", "1"}, {"1", "1"}}},
             {"MasterLoad", "masterload", {{"No load (0.0mA)", "0"}, {"390 Ohm (10.8mA)", "3"}}},
             {"MasterThreshold", "masterthreshold", {{"4.65 Volt", "30"}, {"1.20 Volt", "7"}}},
             {"SlaveThreshold", "slavethreshold", {{"0.90 Volt", "5"}, {"4.80 Volt", "31"}}}});
}

// The third run stores the start-up connect because of the start-up recording alone.
TEST_F(SettingsSheet, ConnectionPageStoresEveryControlUnderItsKey) {
  const auto ports = publishOnly({2, 5, 12});
  storeRuns(1, "PropertyPage2",
            {{"ConnectionName", "connectionname", {{"Lab A", "Lab A"}, {"Lab B", "Lab B"}, {"Lab C", "Lab C"}}},
             {"DeviceIPAddress", "deviceaddress",
              {{"10.1.2.3", "10.1.2.3"}, {"10.1.2.4", "10.1.2.4"}, {"10.1.2.5", "10.1.2.5"}}},
             {"PortAquisition", "acquisitionport", {{"4711", "4711"}, {"5001", "5001"}, {"6001", "6001"}}},
             {"PortControl", "controlport", {{"4712", "4712"}, {"5002", "5002"}, {"6002", "6002"}}},
             {"LanConnect", "lan", {{"1", "1"}, {"0", "0"}, {"0", "0"}}},
             {"HDLCConnect", "hdlc", {{"0", "0"}, {"1", "1"}, {"0", "0"}}},
             {"StartupConnect", "startupconnect", {{"0", "0"}, {"1", "1"}, {"0", "1"}}},
             {"StartupAquire", "startupaquire", {{"0", "0"}, {"0", "0"}, {"1", "1"}}},
             {"SerialPort", "serialport", {{"COM5:", "COM5:"}, {"COM2:", "COM2:"}, {"COM12:", "COM12:"}}}});
}

TEST_F(SettingsSheet, ApplicationPageStoresEveryControlUnderItsKey) {
  storeRuns(2, "PropertyPage3",
            {{"FilePath", "filepath", {{"/data/run/", "/data/run/"}}},
             {"FileName", "filename", {{"RUN7.ANL", "RUN7.ANL"}}},
             {"FileMultiple", "filemultiple", {{"0", "0"}}},
             {"FileMaxSize", "filemaxsize", {{"10 MBytes", "5"}}},
             {"ScreenSize", "Initial Window size at startup", {{"1280x1024 Pixel", "3"}}},
             {"MarginLeft", "marginleft", {{"21", "21"}}},
             {"MarginTop", "margintop", {{"22", "22"}}},
             {"MarginRight", "marginright", {{"23", "23"}}},
             {"MarginBottom", "marginbottom", {{"24", "24"}}}});
}

// The fields are found by their labels.
TEST_F(SettingsSheet, ProjectPageStoresEveryFieldUnderItsKey) {
  storeRuns(3, "PropertyPage4",
            {{"Company", "Company Name:", {{"ACME Vending", "ACME Vending"}}},
             {"UserName", "User Name:", {{"J. Doe", "J. Doe"}}},
             {"PhoneNumber", "Phone Number:", {{"+49 30 1234", "+49 30 1234"}}},
             {"MailAddress", "E-Mail:", {{"jd@acme.example", "jd@acme.example"}}},
             {"Project", "Project:", {{"Coin changer", "Coin changer"}}},
             {"Machine", "Machine Type:", {{"SV-200", "SV-200"}}},
             {"Version", "Version:", {{"4.11", "4.11"}}}});
}
