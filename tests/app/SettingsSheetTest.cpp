// The settings sheet driven as the user drives it: clicks on tabs, boxes and
// buttons, keys in lists and edits; what it stored is read back from the profile.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "app/CMyPropertyPage1.h"
#include "app/CMyPropertyPage4.h"
#include "app/CMyPropertySheet.h"
#include "common/WindowMessages.h"
#include "platform/AppWindows.h"
#include "platform/ProfileStore.h"
#include "support/ModalDriver.h"
#include "support/PtyDevice.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

namespace {

constexpr int ABSENT = -99;
uint32_t intOf(const char* section, const char* key) { return platform::Profile().GetProfileInt(section, key, ABSENT); }
QString textOf(const char* section, const char* key) {
  return platform::Profile().GetProfileString(section, key, QStringLiteral("<absent>"));
}
QStringList entries(const QComboBox* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
  return out;
}

class SettingsSheet : public ::testing::Test {
protected:
  void open() {
    m_sheet = std::make_unique<CMyPropertySheet>();
    m_sheet->show();
  }
  template <class T>
  T* control(const char* name) {
    return m_sheet->findChild<T*>(QString::fromLatin1(name));
  }
  void showPage(int index) {
    QTabBar* bar = m_sheet->tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  }
  void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2)); }
  void press(QDialogButtonBox::StandardButton which) { click(m_sheet->buttons()->button(which)); }
  void type(const char* edit, const QString& text) {
    auto* e = control<QLineEdit>(edit);
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
  }
  bool applyEnabled() { return m_sheet->buttons()->button(QDialogButtonBox::Apply)->isEnabled(); }
  // COM1 to COM96 lead nowhere but the given ports, which are pseudo-terminals.
  std::vector<std::unique_ptr<testsupport::PtyDevice>> publishOnly(std::initializer_list<uint32_t> ports) {
    std::vector<std::unique_ptr<testsupport::PtyDevice>> devices;
    QDir().mkpath(ComPortPath::PortsFolder());
    for (uint32_t n = 1; n <= 96; ++n) {
      QFile::remove(ComPortPath::LinkPath(n));
      QFile::link(QStringLiteral("/nonexistent/tty"), ComPortPath::LinkPath(n));
    }
    for (uint32_t n : ports) devices.push_back(std::make_unique<testsupport::PtyDevice>(n));
    return devices;
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<CMyPropertySheet> m_sheet;
};

}  // namespace

TEST_F(SettingsSheet, CommunicationPageDefaultsThresholdsAndTheMdbRule) {
  open();
  EXPECT_EQ(m_sheet->windowTitle(), "Analyzer Properties...");
  QStringList tabs;
  for (int i = 0; i < m_sheet->tabs()->count(); ++i) tabs << m_sheet->tabs()->tabText(i);
  EXPECT_EQ(tabs, QStringList({"Communication Parameters...", "Connection settings...", "Application Settings...",
                               "Project Settings..."}));
  for (const char* name : {"masterthreshold", "slavethreshold"}) {
    const auto* list = control<QComboBox>(name);
    ASSERT_EQ(list->count(), 32);
    EXPECT_EQ(list->itemText(0), "0.15 Volt");
    EXPECT_EQ(list->itemText(31), "4.80 Volt");
    EXPECT_EQ(list->currentText(), "2.55 Volt");
  }
  EXPECT_EQ(control<QComboBox>("masterload")->currentText(), "390 Ohm (10.8mA)");
  EXPECT_EQ(control<QComboBox>("databits")->currentText(), "6-Bits");
  EXPECT_EQ(control<QComboBox>("baudrate")->currentText(), "9600");
  EXPECT_EQ(control<QLabel>("mdbnote")->text(), CMyPropertyPage1::MDB_NOTE);
  EXPECT_FALSE(applyEnabled());

  auto* protocol = control<QComboBox>("protocol");
  protocol->setFocus();
  QTest::keyClick(protocol, Qt::Key_Down);
  ASSERT_EQ(protocol->currentText(), "MDB - Multi Drop Bus Protocol");
  for (const char* name : {"baudrate", "databits", "stopbits", "parity"}) EXPECT_FALSE(control<QComboBox>(name)->isEnabled()) << name;
  EXPECT_TRUE(applyEnabled());
  press(QDialogButtonBox::Ok);
  EXPECT_FALSE(m_sheet->isVisible());
  EXPECT_EQ(intOf("PropertyPage1", "Protocol"), 1u);
  EXPECT_EQ(intOf("PropertyPage1", "Baudrate"), 7u);
  EXPECT_EQ(intOf("PropertyPage1", "Databits"), 1u);
  EXPECT_EQ(intOf("PropertyPage1", "MasterThreshold"), 16u);
}

// A stored index outside its list selects nothing and is stored again as read; a
// page never shown stores nothing.
TEST_F(SettingsSheet, IndexOutsideAListIsKeptAndUnshownPagesStoreNothing) {
  platform::Profile().WriteProfileInt("PropertyPage1", "Protocol", 7);
  platform::Profile().WriteProfileInt("PropertyPage3", "FileMaxSize", 9);
  platform::Profile().WriteProfileInt("PropertyPage3", "ScreenSize", 7);
  open();
  EXPECT_EQ(control<QComboBox>("protocol")->currentIndex(), -1);
  EXPECT_TRUE(control<QComboBox>("baudrate")->isEnabled());
  showPage(2);
  EXPECT_EQ(control<QComboBox>("filemaxsize")->currentIndex(), -1);
  for (auto* radio : m_sheet->findChildren<QRadioButton*>()) EXPECT_FALSE(radio->isChecked());
  press(QDialogButtonBox::Cancel);
  EXPECT_EQ(intOf("PropertyPage1", "Protocol"), 7u);
  EXPECT_EQ(intOf("PropertyPage3", "FileMaxSize"), 9u);
  EXPECT_EQ(intOf("PropertyPage3", "ScreenSize"), 7u);
  EXPECT_EQ(intOf("PropertyPage3", "MarginTop"), 10u);
  EXPECT_EQ(intOf("PropertyPage2", "PortAquisition"), uint32_t(ABSENT));
  EXPECT_EQ(textOf("PropertyPage4", "Company"), "<absent>");
}

// The swap box swaps the view's display at once; Cancel still stores it. Every
// save tells the view that the device settings changed: once on Cancel, twice on OK.
TEST_F(SettingsSheet, SwapReachesTheViewAtOnceAndEverySaveTellsIt) {
  platform::MessageWindow view;
  std::vector<std::pair<uint32_t, intptr_t>> got;
  for (uint32_t id : {WM_SWAP_RXTX, WM_SETTINGS_CHANGED})
    view.on(id, [&](platform::Message& m) {
      got.emplace_back(m.id, m.lParam);
      return intptr_t{0};
    });
  platform::SetMainFrameWindow(view.handle());
  platform::SetActiveViewWindow(view.handle());
  open();
  click(control<QCheckBox>("swap"));
  platform::PumpMessages();
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, intptr_t>>{{WM_SWAP_RXTX, 1}}));
  EXPECT_EQ(intOf("PropertyPage1", "SwitchRxTx"), uint32_t(ABSENT));
  press(QDialogButtonBox::Cancel);
  platform::PumpMessages();
  EXPECT_EQ(intOf("PropertyPage1", "SwitchRxTx"), 1u);
  EXPECT_EQ(got.size(), 2u);
  open();
  press(QDialogButtonBox::Ok);
  platform::PumpMessages();
  EXPECT_EQ(got.size(), 4u);
  EXPECT_EQ(got.back().first, WM_SETTINGS_CHANGED);
  platform::SetActiveViewWindow(platform::NULL_WINDOW);
  platform::SetMainFrameWindow(platform::NULL_WINDOW);
}

TEST_F(SettingsSheet, PortListInTextOrderWithoutPortsInUse) {
  const auto ports = publishOnly({1, 3, 10});
  platform::Profile().WriteProfileString("PropertyPage2", "SerialPort", "COM10:");
  open();
  showPage(1);
  EXPECT_EQ(entries(control<QComboBox>("serialport")), QStringList({"COM1:", "COM10:", "COM3:"}));
  EXPECT_EQ(control<QComboBox>("serialport")->currentText(), "COM10:");
  EXPECT_EQ(control<QLineEdit>("connectionname")->text(), "QX-7700-U");
  EXPECT_EQ(control<QLineEdit>("acquisitionport")->text(), "4000");
  EXPECT_EQ(control<QLineEdit>("controlport")->text(), "4001");
  // Recording at start-up stores the start-up connect too.
  click(control<QCheckBox>("startupaquire"));
  EXPECT_TRUE(applyEnabled());
  press(QDialogButtonBox::Ok);
  EXPECT_EQ(intOf("PropertyPage2", "StartupConnect"), 1u);
  EXPECT_EQ(intOf("PropertyPage2", "StartupAquire"), 1u);

  // COM10 in use by another program: not listed, the first entry is stored.
  const int held = ::open(ports[2]->slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  open();
  showPage(1);
  EXPECT_EQ(entries(control<QComboBox>("serialport")), QStringList({"COM1:", "COM3:"}));
  EXPECT_TRUE(control<QCheckBox>("startupconnect")->isChecked());
  press(QDialogButtonBox::Cancel);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM1:");
  ::close(held);

  // No port at all: the stored port stays.
  const auto none = publishOnly({});
  platform::Profile().WriteProfileString("PropertyPage2", "SerialPort", "COM7:");
  open();
  showPage(1);
  EXPECT_EQ(control<QComboBox>("serialport")->count(), 0);
  press(QDialogButtonBox::Ok);
  EXPECT_EQ(textOf("PropertyPage2", "SerialPort"), "COM7:");
}

// A refused port number keeps the user on the page and OK does not close; Cancel
// stores the fields before it as edited and it and the fields after it as read.
TEST_F(SettingsSheet, BadPortNumberKeepsTheUserOnThePage) {
  open();
  showPage(1);
  type("connectionname", "Lab");
  type("acquisitionport", "12x");
  click(control<QCheckBox>("lan"));
  showPage(2);
  EXPECT_EQ(m_sheet->tabs()->currentIndex(), 1);
  EXPECT_EQ(m_sheet->focusWidget(), control<QLineEdit>("acquisitionport"));
  press(QDialogButtonBox::Ok);
  EXPECT_TRUE(m_sheet->isVisible());
  EXPECT_EQ(m_box.texts(), std::vector<QString>(2, "Enter a positive integer."));
  press(QDialogButtonBox::Cancel);
  EXPECT_EQ(m_box.count(), 3u);
  EXPECT_EQ(textOf("PropertyPage2", "ConnectionName"), "Lab");
  EXPECT_EQ(intOf("PropertyPage2", "PortAquisition"), 4000u);
  EXPECT_EQ(intOf("PropertyPage2", "LanConnect"), 0u);
}

TEST_F(SettingsSheet, BrowseTakesTheFolderAndKeepsTheName) {
  const QString folder = m_profile.dir() + "/Data/Run/";
  QDir().mkpath(folder);
  testsupport::writeWholeFile(folder + "x.ANL", "");
  platform::Profile().WriteProfileString("PropertyPage3", "FileName", "KEEP.ANL");
  open();
  showPage(2);
  EXPECT_EQ(control<QLabel>("profile")->text(), "This instance uses profile: Quellfeld");
  EXPECT_TRUE(m_sheet->findChildren<QRadioButton*>().value(0)->isChecked());
  QString title;
  testsupport::onNextModal(
      [&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        dialog->selectFile(folder + "x.ANL");
        static_cast<QDialog*>(dialog)->accept();
      },
      m_sheet.get());
  click(control<QPushButton>("browse"));
  EXPECT_EQ(title, "Select location of aquisition file...");
  EXPECT_EQ(control<QLineEdit>("filepath")->text(), folder);
  EXPECT_EQ(control<QLineEdit>("filename")->text(), "KEEP.ANL");
  press(QDialogButtonBox::Ok);
  EXPECT_EQ(textOf("PropertyPage3", "FilePath"), folder);
  EXPECT_EQ(textOf("PropertyPage3", "FileName"), "KEEP.ANL");
}

TEST_F(SettingsSheet, ProjectPageStoresOnCancelToo) {
  open();
  showPage(3);
  EXPECT_EQ(control<QLabel>("projectnote")->text(), CMyPropertyPage4::NOTE);
  EXPECT_EQ(QString(CMyPropertyPage4::NOTE).size(), 211);
  type("Company", "ACME");
  EXPECT_TRUE(applyEnabled());
  press(QDialogButtonBox::Cancel);
  EXPECT_EQ(textOf("PropertyPage4", "Company"), "ACME");
  EXPECT_EQ(textOf("PropertyPage4", "Version"), "");
}
