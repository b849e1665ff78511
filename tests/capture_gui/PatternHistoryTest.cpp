#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "display/PatternHistory.h"
#include "platform/ProfileStore.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

const QString SECTION = QStringLiteral("SearchPattern");
const QString BASE = QStringLiteral("BytePattern");
const QString SELECTION = QStringLiteral("SelectedPattern");

void storeValue(int index, const QByteArray& bytes) {
  platform::Profile().WriteProfileBinary(SECTION, QStringLiteral("BytePattern_%1").arg(index, 2, 10, QLatin1Char('0')),
                                         bytes.constData(), static_cast<uint32_t>(bytes.size()));
}

QByteArray storedValue(int index) {
  return platform::Profile()
      .GetProfileBinary(SECTION, QStringLiteral("BytePattern_%1").arg(index, 2, 10, QLatin1Char('0')))
      .value_or(QByteArray("<absent>"));
}

QStringList entries(const QComboBox& list) {
  QStringList out;
  for (int i = 0; i < list.count(); ++i) out << list.itemText(i);
  return out;
}

// Types into the combo's edit box as a user would, replacing what it held.
void typeInto(QComboBox& list, const QString& text) {
  list.lineEdit()->selectAll();
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(list.lineEdit(), &press);
  }
}

class PatternHistoryCombo : public ::testing::Test {
protected:
  PatternHistoryCombo() {
    m_list.setEditable(true);
    m_list.setInsertPolicy(QComboBox::NoInsert);
    m_list.show();
  }
  testsupport::TempProfile m_profile;
  QComboBox m_list;
};

}  // namespace

TEST_F(PatternHistoryCombo, MissingKeyShiftsPositionsUntilTheNextStoreRenumbers) {
  storeValue(0, hex("01"));
  storeValue(1, hex("02 03"));
  storeValue(2, hex("A0 1B"));
  storeValue(4, hex("04"));
  storeValue(5, hex("05"));
  platform::Profile().WriteProfileInt(SECTION, SELECTION, 3);
  LoadPatternHistory(&m_list, SECTION, BASE, SELECTION);
  EXPECT_EQ(entries(m_list), (QStringList{"01", "02 03", "A0 1B", "04", "05"}));
  EXPECT_EQ(m_list.currentIndex(), 3);
  EXPECT_EQ(m_list.currentText(), QStringLiteral("04"));

  // Typing a known pattern in another case adds nothing.
  typeInto(m_list, "a0 1b");
  EXPECT_EQ(m_list.currentText(), QStringLiteral("a0 1b"));
  ASSERT_TRUE(StorePatternHistory(&m_list, SECTION, BASE, SELECTION));
  EXPECT_EQ(m_list.count(), 5);
  EXPECT_EQ(storedValue(0), hex("01"));
  EXPECT_EQ(storedValue(2), hex("A0 1B"));
  EXPECT_EQ(storedValue(3), hex("04"));
  EXPECT_EQ(storedValue(4), hex("05"));
  EXPECT_EQ(storedValue(5), hex("05")) << "the old key 05 keeps its value";
}

TEST_F(PatternHistoryCombo, NewTextGoesToTheTopAndIsSelected) {
  storeValue(0, hex("11"));
  LoadPatternHistory(&m_list, SECTION, BASE, SELECTION);
  typeInto(m_list, "0x1f");
  int updates = 0;
  ASSERT_TRUE(StorePatternHistory(&m_list, SECTION, BASE, SELECTION, [&] { ++updates; }));
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(entries(m_list), (QStringList{"01 F0", "11"}));
  EXPECT_EQ(m_list.currentText(), QStringLiteral("0x1f")) << "the edit box keeps the typed text";
  EXPECT_EQ(platform::Profile().GetProfileInt(SECTION, SELECTION, 7), 0u);
  EXPECT_EQ(storedValue(0), hex("01 F0"));
  EXPECT_EQ(storedValue(1), hex("11"));
}

TEST_F(PatternHistoryCombo, TextWithoutHexDigitsOnlyWritesTheSelection) {
  storeValue(0, hex("11"));
  storeValue(1, hex("22"));
  platform::Profile().WriteProfileInt(SECTION, SELECTION, 1);
  LoadPatternHistory(&m_list, SECTION, BASE, SELECTION);
  typeInto(m_list, "xyz");
  EXPECT_FALSE(StorePatternHistory(&m_list, SECTION, BASE, SELECTION));
  EXPECT_EQ(m_list.count(), 2);
  EXPECT_EQ(platform::Profile().GetProfileInt(SECTION, SELECTION, 7), 1u);
  EXPECT_EQ(storedValue(0), hex("11"));
}

TEST_F(PatternHistoryCombo, OutOfWindowSelectionsSelectTheFirstEntry) {
  for (int i = 0; i < 12; ++i) storeValue(i, QByteArray(1, static_cast<char>(i)));
  for (int stored : {10, 11, -1}) {
    QComboBox list;
    list.setEditable(true);
    platform::Profile().WriteProfileInt(SECTION, SELECTION, stored);
    LoadPatternHistory(&list, SECTION, BASE, SELECTION);
    EXPECT_EQ(list.count(), 10) << "only 00 to 09 are read back";
    EXPECT_EQ(list.currentIndex(), 0) << stored;
    EXPECT_EQ(list.currentText(), QStringLiteral("00"));
  }
}

TEST_F(PatternHistoryCombo, SelectionBeyondTheLoadedEntriesLeavesTheEditEmpty) {
  storeValue(0, hex("11"));
  platform::Profile().WriteProfileInt(SECTION, SELECTION, 4);
  LoadPatternHistory(&m_list, SECTION, BASE, SELECTION);
  EXPECT_EQ(m_list.currentIndex(), -1);
  EXPECT_TRUE(m_list.currentText().isEmpty());
}

TEST_F(PatternHistoryCombo, StoringTwelveEntriesWritesEveryKey) {
  for (int i = 0; i < 11; ++i) m_list.addItem(QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper());
  typeInto(m_list, "EE");
  ASSERT_TRUE(StorePatternHistory(&m_list, SECTION, BASE, SELECTION));
  EXPECT_EQ(storedValue(0), hex("EE"));
  EXPECT_EQ(storedValue(11), hex("0A"));
}

TEST_F(PatternHistoryCombo, LongValuesAndTextsAreCutTo256Bytes) {
  storeValue(0, QByteArray(300, '\x5A'));
  LoadPatternHistory(&m_list, SECTION, BASE, SELECTION);
  ASSERT_EQ(m_list.count(), 1);
  EXPECT_EQ(m_list.itemText(0).size(), 256 * 3 - 1);

  m_list.setEditText(QString(600, QLatin1Char('7')));
  ASSERT_TRUE(StorePatternHistory(&m_list, SECTION, BASE, SELECTION));
  EXPECT_EQ(storedValue(0), QByteArray(256, '\x77'));
  EXPECT_EQ(storedValue(1), QByteArray(256, '\x5A'));
}

TEST_F(PatternHistoryCombo, TriggerHistoriesUseTheirOwnKeys) {
  const QByteArray start = hex("10 20");
  platform::Profile().WriteProfileBinary("TriggerSetup", "StartPattern_00", start.constData(), 2);
  LoadPatternHistory(&m_list, START_PATTERN_HISTORY);
  EXPECT_EQ(entries(m_list), QStringList{"10 20"});
  QComboBox stop;
  stop.setEditable(true);
  LoadPatternHistory(&stop, STOP_PATTERN_HISTORY);
  EXPECT_EQ(stop.count(), 0);
  stop.setEditText("30");
  ASSERT_TRUE(StorePatternHistory(&stop, STOP_PATTERN_HISTORY));
  EXPECT_EQ(platform::Profile().GetProfileBinary("TriggerSetup", "StopPattern_00").value_or(QByteArray()), hex("30"));
}
