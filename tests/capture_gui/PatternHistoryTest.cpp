#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "capture/CVRIMSocket.h"
#include "capture/SinkTestSupport.h"
#include "display/PatternHistory.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"
#include "support/WidgetDriver.h"

using testsupport::entries;
using testsupport::hex;

namespace {

using Keys = PatternHistoryKeys;
const Keys& SEARCH = SEARCH_PATTERN_HISTORY;

// Stores the patterns (spaced hex; an empty one leaves its key out) under the keys 00, 01, ...
void storeAll(const QStringList& patterns, const Keys& k = SEARCH) {
  for (int i = 0; i < patterns.size(); ++i)
    if (const QByteArray bytes = QByteArray::fromHex(patterns[i].toLatin1()); !bytes.isEmpty())
      platform::Profile().WriteProfileBinary(k.section, QString::asprintf("%s_%02d", k.baseKey, i), bytes,
                                             uint32_t(bytes.size()));
}
// The values of the keys 00 to count - 1 as spaced hex, "-" for a missing key.
QStringList stored(int count, const Keys& k = SEARCH) {
  QStringList out;
  for (int i = 0; i < count; ++i) {
    const auto value = platform::Profile().GetProfileBinary(k.section, QString::asprintf("%s_%02d", k.baseKey, i));
    out << (value ? QString::fromLatin1(value->toHex(' ').toUpper()) : QStringLiteral("-"));
  }
  return out;
}
void select(int index, const Keys& k = SEARCH) { platform::Profile().WriteProfileInt(k.section, k.selectionKey, index); }
uint32_t storedSelection(const Keys& k = SEARCH) { return platform::Profile().GetProfileInt(k.section, k.selectionKey, 7); }

class PatternHistoryCombo : public ::testing::Test {
 protected:
  PatternHistoryCombo() { m_list.show(); }
  void load() { LoadPatternHistory(&m_list, SEARCH); }
  bool store() { return StorePatternHistory(&m_list, SEARCH); }
  void type(const QString& text) { testsupport::type(m_list.lineEdit(), text); }

  testsupport::TempProfile m_profile;
  const std::unique_ptr<QComboBox> m_owned{NewPatternList(nullptr)};
  QComboBox& m_list = *m_owned;
};

}  // namespace

TEST_F(PatternHistoryCombo, MissingKeyShiftsPositionsUntilTheNextStoreRenumbers) {
  storeAll({"01", "02 03", "A0 1B", "", "04", "05"});
  select(3);
  load();
  EXPECT_EQ(entries(&m_list), (QStringList{"01", "02 03", "A0 1B", "04", "05"}));
  EXPECT_EQ(m_list.currentText(), QStringLiteral("04"));
  type("a0 1b");  // a known pattern in another case adds nothing and stays as typed
  QTest::keyClick(&m_list, Qt::Key_Return);
  ASSERT_TRUE(store());
  EXPECT_EQ(m_list.count(), 5);
  EXPECT_EQ(m_list.currentText(), QStringLiteral("a0 1b"));
  EXPECT_EQ(stored(6), (QStringList{"01", "02 03", "A0 1B", "04", "05", "05"}));  // the old 05 stays
}

TEST_F(PatternHistoryCombo, NewTextGoesToTheTopAndIsSelectedTextWithoutHexDigitsOnlyTheSelection) {
  storeAll({"11"});
  load();
  type("0x1f");
  int updates = 0;
  ASSERT_TRUE(StorePatternHistory(&m_list, SEARCH, [&] { ++updates; }));
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(entries(&m_list), (QStringList{"01 F0", "11"}));
  EXPECT_EQ(m_list.currentText(), QStringLiteral("0x1f")) << "the edit box keeps the typed text";
  EXPECT_EQ(storedSelection(), 0u);
  EXPECT_EQ(stored(3), (QStringList{"01 F0", "11", "-"}));

  m_list.setCurrentIndex(1);
  type("xyz");
  EXPECT_FALSE(store());
  EXPECT_EQ(m_list.count(), 2);
  EXPECT_EQ(storedSelection(), 1u);
  EXPECT_EQ(stored(3), (QStringList{"01 F0", "11", "-"}));
}

// A selection beyond the loaded entries leaves the edit empty; one outside the ten
// keys read back selects the first entry.
TEST_F(PatternHistoryCombo, StoredSelectionsOutsideTheList) {
  storeAll({"00"});
  select(4);
  load();
  EXPECT_EQ(m_list.currentIndex(), -1);
  EXPECT_TRUE(m_list.currentText().isEmpty());

  storeAll({"00", "01", "02", "03", "04", "05", "06", "07", "08", "09", "0A", "0B"});
  for (int selection : {10, 11, -1}) {
    select(selection);
    m_list.clear();
    load();
    EXPECT_EQ(m_list.count(), 10) << "only 00 to 09 are read back";
    EXPECT_EQ(m_list.currentIndex(), 0) << selection;
  }
}

TEST_F(PatternHistoryCombo, TwelveEntriesAreStoredWholeLongValuesAndTextsCutTo256Bytes) {
  for (int i = 0; i < 11; ++i) m_list.addItem(QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper());
  type("EE");
  ASSERT_TRUE(store());
  EXPECT_EQ(stored(12).first(), "EE");
  EXPECT_EQ(stored(12).last(), "0A");

  storeAll({QString::fromLatin1(QByteArray(300, 'Z').toHex())});
  m_list.clear();
  load();
  EXPECT_EQ(m_list.itemText(0).size(), 256 * 3 - 1);
  m_list.setEditText(QString(600, QLatin1Char('7')));
  ASSERT_TRUE(store());
  const QString sevens = QByteArray(256, '\x77').toHex(' ').toUpper();
  const QString fives = QByteArray(256, 'Z').toHex(' ').toUpper();
  EXPECT_EQ(stored(2), (QStringList{sevens, fives}));
}

// An editable combo box keeps its earlier selection while the user types: typed text
// of another listed entry must make that entry the one the search or trigger uses.
TEST_F(PatternHistoryCombo, TypedTextOfAnExistingEntrySelectsThatEntry) {
  testsupport::RecordingMessageBox boxes;
  storeAll({"10 20", "55 66"}, START_PATTERN_HISTORY);
  select(0, START_PATTERN_HISTORY);
  platform::Profile().WriteProfileInt("TriggerSetup", "TriggerState", 1);
  LoadPatternHistory(&m_list, START_PATTERN_HISTORY);
  ASSERT_EQ(m_list.currentIndex(), 0);
  type("55 66");
  ASSERT_TRUE(StorePatternHistory(&m_list, START_PATTERN_HISTORY));

  EXPECT_EQ(entries(&m_list), (QStringList{"10 20", "55 66"}))
      << "an existing entry is neither moved nor duplicated";
  EXPECT_EQ(storedSelection(START_PATTERN_HISTORY), 1u);
  EXPECT_EQ(m_list.currentText(), QStringLiteral("55 66"));
  sinktest::configureRecording(m_profile);
  CVRIMSocket sink;
  ASSERT_TRUE(sink.LoadTriggerSetup() && sink.OpenAcquisitionFile());
  sinktest::decode(sink, sinktest::recordsFor(hex("01 10 20 02 55 66 03")));
  EXPECT_EQ(sinktest::dataBytes(sinktest::itemsInFile(sink.GetWritingPath())), hex("55 66"))
      << "the recording triggers on the pattern that was typed";

  // An entry picked from the list keeps its index.
  m_list.setCurrentIndex(0);
  ASSERT_TRUE(StorePatternHistory(&m_list, START_PATTERN_HISTORY));
  EXPECT_EQ(storedSelection(START_PATTERN_HISTORY), 0u);
  EXPECT_EQ(m_list.count(), 2);
}
