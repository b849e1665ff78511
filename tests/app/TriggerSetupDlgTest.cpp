// The trigger setup dialog driven with keys and clicks; what it stored is read back
// from the profile.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/CTriggerSetupDlg.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

const char* const SECTION = "TriggerSetup";
uint32_t intOf(const char* key) { return platform::Profile().GetProfileInt(SECTION, key, -99); }
QByteArray startPattern(int i) {
  return platform::Profile().GetProfileBinary(SECTION, QString::asprintf("StartPattern_%02d", i)).value_or("<absent>");
}

class TriggerSetupDlgTest : public ::testing::Test {
protected:
  void open() {
    m_dlg = std::make_unique<CTriggerSetupDlg>();
    m_dlg->show();
  }
  template <class T>
  T* control(const char* name) {
    return m_dlg->findChild<T*>(QString::fromLatin1(name));
  }
  void type(QLineEdit* edit, const QString& text) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }
  void type(const char* edit, const QString& text) { type(control<QLineEdit>(edit), text); }
  void press(QDialogButtonBox::StandardButton which) {
    QTest::mouseClick(m_dlg->findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<CTriggerSetupDlg> m_dlg;
};

}  // namespace

TEST_F(TriggerSetupDlgTest, CountsAreClampedTo100WhenStored) {
  for (const auto& [typed, stored] : {std::pair{"150", 100u}, {"100", 100u}, {"0", 0u}, {"7", 7u}}) {
    open();
    type("leading", typed);
    type("trailing", typed);
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(m_dlg->result(), QDialog::Accepted) << typed;
    EXPECT_EQ(intOf("LeadingBytes"), stored) << typed;
    EXPECT_EQ(intOf("TrailingBytes"), stored) << typed;
  }
  EXPECT_EQ(m_box.count(), 0u);
}

TEST_F(TriggerSetupDlgTest, NewStartPatternGoesToTheTopAndTheBoxesAreStored) {
  platform::Profile().WriteProfileBinary(SECTION, "StartPattern_00", "\x30", 1);
  platform::Profile().WriteProfileInt(SECTION, "StartTrigger", 0);
  open();
  EXPECT_EQ(m_dlg->windowTitle(), "Trigger setup...");
  EXPECT_EQ(control<QComboBox>("startpattern")->currentText(), "30");
  QTest::mouseClick(control<QCheckBox>("triggerstate"), Qt::LeftButton, {}, QPoint(4, 4));
  QTest::mouseClick(control<QCheckBox>("stoprecording"), Qt::LeftButton, {}, QPoint(4, 4));
  type(control<QComboBox>("startpattern")->lineEdit(), "10 20");
  press(QDialogButtonBox::Ok);
  EXPECT_EQ(startPattern(0), hex("10 20"));
  EXPECT_EQ(startPattern(1), hex("30"));
  EXPECT_EQ(intOf("StartTrigger"), 0u);
  EXPECT_EQ(intOf("TriggerState"), 1u);
  EXPECT_EQ(intOf("StopRecording"), 1u);

  // Cancel after changes stores nothing.
  open();
  EXPECT_EQ(control<QComboBox>("startpattern")->count(), 2);
  type(control<QComboBox>("startpattern")->lineEdit(), "44");
  QTest::mouseClick(control<QCheckBox>("stoprecording"), Qt::LeftButton, {}, QPoint(4, 4));
  type("leading", "9");
  press(QDialogButtonBox::Cancel);
  EXPECT_EQ(startPattern(0), hex("10 20"));
  EXPECT_EQ(intOf("StopRecording"), 1u);
  EXPECT_EQ(intOf("LeadingBytes"), 0u);
}

// A refused count is told once and the dialog closes when a pattern is stored (the
// stored pattern puts the fields back); with no pattern it is told again and the
// dialog stays open, with everything else already stored.
TEST_F(TriggerSetupDlgTest, RefusedCountIsStoredAsItWasRead) {
  platform::Profile().WriteProfileInt(SECTION, "LeadingBytes", 3);
  for (const auto& [pattern, closes] : {std::pair{"10 20", true}, std::pair{"", false}}) {
    m_box.clear();
    open();
    type(control<QComboBox>("startpattern")->lineEdit(), pattern);
    type("leading", "-1");
    type("trailing", "5");
    press(QDialogButtonBox::Ok);
    EXPECT_EQ(m_dlg->isVisible(), !closes) << pattern;
    EXPECT_EQ(m_box.texts(), std::vector<QString>(closes ? 1 : 2, "Enter a positive integer.")) << pattern;
    EXPECT_EQ(intOf("LeadingBytes"), 3u) << pattern;
    EXPECT_EQ(intOf("TrailingBytes"), 0u) << pattern;
    EXPECT_EQ(control<QLineEdit>("leading")->text(), closes ? "3" : "-1") << pattern;
  }
}
