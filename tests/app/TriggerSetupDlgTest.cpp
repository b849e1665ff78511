// The trigger setup dialog driven with keys and clicks; what it stored is read back.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/CTriggerSetupDlg.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/StoredSettings.h"
#include "support/TestSupport.h"
#include "support/WidgetDriver.h"

using namespace testsupport;

namespace {

uint32_t intOf(const char* key) { return platform::Profile().GetProfileInt("TriggerSetup", key, -9); }
QByteArray startPattern(int i) {
  return platform::Profile().GetProfileBinary("TriggerSetup", QString::asprintf("StartPattern_%02d", i)).value_or("-");
}

class TriggerSetupDlgTest : public ::testing::Test {
protected:
  // Opens the dialog and types into its edits (pattern boxes by their list's name).
  void openAndType(std::initializer_list<std::pair<const char*, const char*>> typed) {
    m_dlg = std::make_unique<CTriggerSetupDlg>();
    m_dlg->show();
    for (const auto& [name, text] : typed) {
      auto* list = child<QComboBox>(m_dlg.get(), name);
      type(list ? list->lineEdit() : child<QLineEdit>(m_dlg.get(), name), text);
    }
  }

  TempProfile m_profile;
  RecordingMessageBox m_box;
  std::unique_ptr<CTriggerSetupDlg> m_dlg;
};

}  // namespace

TEST_F(TriggerSetupDlgTest, CountsAreClampedTo100WhenStored) {
  for (const auto& [typed, stored] : {std::pair{"150", 100u}, {"100", 100u}, {"0", 0u}, {"7", 7u}}) {
    openAndType({{"leading", typed}, {"trailing", typed}});
    press(m_dlg.get(), QDialogButtonBox::Ok);
    EXPECT_EQ(m_dlg->result(), QDialog::Accepted) << typed;
    EXPECT_EQ(intOf("LeadingBytes"), stored) << typed;
    EXPECT_EQ(intOf("TrailingBytes"), stored) << typed;
  }
  EXPECT_EQ(m_box.count(), 0u);
}

// What the history and the check boxes store is in the pattern history and the
// end-to-end tests; Cancel stores none of it.
TEST_F(TriggerSetupDlgTest, CancelStoresNothing) {
  platform::Profile().WriteProfileBinary("TriggerSetup", "StartPattern_00", "\x30", 1);
  openAndType({{"startpattern", "44"}, {"leading", "9"}});
  EXPECT_EQ(m_dlg->windowTitle(), "Trigger setup...");
  click(child<QCheckBox>(m_dlg.get(), "stoprecording"));
  press(m_dlg.get(), QDialogButtonBox::Cancel);
  EXPECT_EQ(startPattern(0) + startPattern(1), "0-");
  EXPECT_EQ(std::pair(intOf("StopRecording"), intOf("LeadingBytes")), std::pair(uint32_t(-9), uint32_t(-9)));
}

// A refused count is told once and the dialog closes when a pattern is stored (the
// stored pattern puts the fields back); with no pattern it is told again and the
// dialog stays open, with everything else already stored.
TEST_F(TriggerSetupDlgTest, RefusedCountIsStoredAsItWasRead) {
  platform::Profile().WriteProfileInt("TriggerSetup", "LeadingBytes", 3);
  for (const auto& [pattern, closes] : {std::pair{"10 20", true}, std::pair{"", false}}) {
    m_box.clear();
    openAndType({{"startpattern", pattern}, {"leading", "-1"}, {"trailing", "5"}});
    press(m_dlg.get(), QDialogButtonBox::Ok);
    EXPECT_EQ(m_dlg->isVisible(), !closes) << pattern;
    EXPECT_EQ(m_box.texts(), std::vector<QString>(closes ? 1 : 2, "Enter a positive integer.")) << pattern;
    EXPECT_EQ(intOf("LeadingBytes"), 3u) << pattern;
    EXPECT_EQ(intOf("TrailingBytes"), 0u) << pattern;
    EXPECT_EQ(child<QLineEdit>(m_dlg.get(), "leading")->text(), closes ? "3" : "-1") << pattern;
  }
}

// The first run picks a stored start pattern and types a new stop pattern, the
// second the other way round.
TEST_F(TriggerSetupDlgTest, OkStoresEveryControlUnderItsKey) {
  for (const auto& [key, bytes] : {std::pair{"StartPattern_00", "\x01"}, {"StartPattern_01", "\x02\x03"},
                                   {"StartPattern_02", "\x04"}, {"StopPattern_00", "\x0A"},
                                   {"StopPattern_01", "\x0B"}})
    platform::Profile().WriteProfileBinary("TriggerSetup", key, bytes, uint32_t(strlen(bytes)));
  const std::vector<StoredSetting> table = {
      {"TriggerState", "triggerstate", {{"1", "1"}, {"0", "0"}}},
      {"StartTrigger", "startpattern", {{"04", "2"}, {"D1", "0"}}},
      {"StartPattern_00", nullptr, {{"", "01"}, {"", "D1"}}},
      {"StartPattern_01", nullptr, {{"", "02 03"}, {"", "01"}}},
      {"StartPattern_02", nullptr, {{"", "04"}, {"", "02 03"}}},
      {"StartPattern_03", nullptr, {{"", nullptr}, {"", "04"}}},
      {"LeadingBytes", "leading", {{"17", "17"}, {"42", "42"}}},
      {"StopRecording", "stoprecording", {{"0", "0"}, {"1", "1"}}},
      {"StopTrigger", "stoppattern", {{"C1 C2", "0"}, {"0B", "2"}}},
      {"StopPattern_00", nullptr, {{"", "C1 C2"}, {"", "C1 C2"}}},
      {"StopPattern_01", nullptr, {{"", "0A"}, {"", "0A"}}},
      {"StopPattern_02", nullptr, {{"", "0B"}, {"", "0B"}}},
      {"TrailingBytes", "trailing", {{"29", "29"}, {"63", "63"}}}};
  expectDistinctSeries(table);
  for (size_t run = 0; run < 2; ++run) {
    openAndType({});
    enterRun(m_dlg.get(), table, run);
    press(m_dlg.get(), QDialogButtonBox::Ok);
    EXPECT_EQ(m_dlg->result(), QDialog::Accepted) << "run " << run;
    EXPECT_EQ(iniSection(m_profile.iniPath(), "TriggerSetup"), expectedRun(table, run)) << "run " << run;
  }
}
