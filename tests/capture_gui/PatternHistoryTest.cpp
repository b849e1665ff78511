#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>

#include "capture/CVRIMSocket.h"
#include "display/PatternHistory.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

const QString SECTION = QStringLiteral("SearchPattern");
const QString BASE = QStringLiteral("BytePattern");
const QString SELECTION = QStringLiteral("SelectedPattern");

QString valueKey(const QString& base, int index) {
  return QStringLiteral("%1_%2").arg(base).arg(index, 2, 10, QLatin1Char('0'));
}

void storeValue(int index, const QByteArray& bytes, const QString& section = SECTION,
                const QString& base = BASE) {
  platform::Profile().WriteProfileBinary(section, valueKey(base, index), bytes.constData(),
                                         static_cast<uint32_t>(bytes.size()));
}

QByteArray storedValue(int index, const QString& section = SECTION, const QString& base = BASE) {
  return platform::Profile()
      .GetProfileBinary(section, valueKey(base, index))
      .value_or(QByteArray("<absent>"));
}

uint32_t storedSelection(const QString& section = SECTION, const QString& key = SELECTION) {
  return platform::Profile().GetProfileInt(section, key, 7);
}

// The data bytes that a recording with the stored trigger writes for the input.
QByteArray recordedWithStoredTrigger(const testsupport::TempProfile& profile, const QByteArray& input) {
  const QString folder = profile.dir() + "/data/";
  QDir().mkpath(folder);
  platform::Profile().WriteProfileString("PropertyPage3", "FilePath", folder);
  CVRIMSocket sink;
  sink.LoadTriggerSetup();
  if (!sink.OpenAcquisitionFile()) return "<no file>";
  QByteArray records;
  uint8_t t = 0;
  for (char d : input) records.append('\0').append(d).append(static_cast<char>(++t));
  sink.DecodeDeviceRecords(reinterpret_cast<const uint8_t*>(records.constData()),
                           static_cast<uint32_t>(records.size()));
  const QByteArray file = testsupport::readWholeFile(sink.GetWritingPath());
  sink.CloseAcquisitionFile();
  QByteArray data;
  for (qsizetype at = 24; at + 6 <= file.size(); at += 6) data.append(file.at(at + 1));
  return data;
}

class PatternHistoryCombo : public ::testing::Test {
 protected:
  PatternHistoryCombo() {
    m_list.setEditable(true);
    m_list.setInsertPolicy(QComboBox::NoInsert);
    m_list.show();
  }
  void load() { LoadPatternHistory(&m_list, SECTION, BASE, SELECTION); }
  bool store() { return StorePatternHistory(&m_list, SECTION, BASE, SELECTION); }
  // Types into the combo's edit box as a user would, replacing what it held.
  void type(const QString& text) {
    m_list.lineEdit()->selectAll();
    for (const QChar c : text) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(m_list.lineEdit(), &press);
    }
  }
  QStringList entries() const {
    QStringList out;
    for (int i = 0; i < m_list.count(); ++i) out << m_list.itemText(i);
    return out;
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
  load();
  EXPECT_EQ(entries(), (QStringList{"01", "02 03", "A0 1B", "04", "05"}));
  EXPECT_EQ(m_list.currentIndex(), 3);
  EXPECT_EQ(m_list.currentText(), QStringLiteral("04"));

  // Typing a known pattern in another case adds nothing.
  type("a0 1b");
  ASSERT_TRUE(store());
  EXPECT_EQ(m_list.count(), 5);
  EXPECT_EQ(storedValue(0), hex("01"));
  EXPECT_EQ(storedValue(2), hex("A0 1B"));
  EXPECT_EQ(storedValue(3), hex("04"));
  EXPECT_EQ(storedValue(4), hex("05"));
  EXPECT_EQ(storedValue(5), hex("05")) << "the old key 05 keeps its value";
}

TEST_F(PatternHistoryCombo, NewTextGoesToTheTopAndIsSelected) {
  storeValue(0, hex("11"));
  load();
  type("0x1f");
  int updates = 0;
  ASSERT_TRUE(StorePatternHistory(&m_list, SECTION, BASE, SELECTION, [&] { ++updates; }));
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(entries(), (QStringList{"01 F0", "11"}));
  EXPECT_EQ(m_list.currentText(), QStringLiteral("0x1f")) << "the edit box keeps the typed text";
  EXPECT_EQ(storedSelection(), 0u);
  EXPECT_EQ(storedValue(0), hex("01 F0"));
  EXPECT_EQ(storedValue(1), hex("11"));
}

TEST_F(PatternHistoryCombo, TextWithoutHexDigitsOnlyWritesTheSelection) {
  storeValue(0, hex("11"));
  storeValue(1, hex("22"));
  platform::Profile().WriteProfileInt(SECTION, SELECTION, 1);
  load();
  type("xyz");
  EXPECT_FALSE(store());
  EXPECT_EQ(m_list.count(), 2);
  EXPECT_EQ(storedSelection(), 1u);
  EXPECT_EQ(storedValue(0), hex("11"));
}

// A selection beyond the loaded entries leaves the edit empty; one outside the ten
// keys read back selects the first entry.
TEST_F(PatternHistoryCombo, StoredSelectionsOutsideTheList) {
  storeValue(0, hex("00"));
  platform::Profile().WriteProfileInt(SECTION, SELECTION, 4);
  load();
  EXPECT_EQ(m_list.currentIndex(), -1);
  EXPECT_TRUE(m_list.currentText().isEmpty());

  for (int i = 1; i < 12; ++i) storeValue(i, QByteArray(1, static_cast<char>(i)));
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

TEST_F(PatternHistoryCombo, StoringTwelveEntriesWritesEveryKey) {
  for (int i = 0; i < 11; ++i) m_list.addItem(QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper());
  type("EE");
  ASSERT_TRUE(store());
  EXPECT_EQ(storedValue(0), hex("EE"));
  EXPECT_EQ(storedValue(11), hex("0A"));
}

TEST_F(PatternHistoryCombo, LongValuesAndTextsAreCutTo256Bytes) {
  storeValue(0, QByteArray(300, '\x5A'));
  load();
  ASSERT_EQ(m_list.count(), 1);
  EXPECT_EQ(m_list.itemText(0).size(), 256 * 3 - 1);

  m_list.setEditText(QString(600, QLatin1Char('7')));
  ASSERT_TRUE(store());
  EXPECT_EQ(storedValue(0), QByteArray(256, '\x77'));
  EXPECT_EQ(storedValue(1), QByteArray(256, '\x5A'));
}

TEST_F(PatternHistoryCombo, TriggerHistoriesUseTheirOwnKeys) {
  storeValue(0, hex("10 20"), "TriggerSetup", "StartPattern");
  LoadPatternHistory(&m_list, START_PATTERN_HISTORY);
  EXPECT_EQ(entries(), QStringList{"10 20"});
  QComboBox stop;
  stop.setEditable(true);
  LoadPatternHistory(&stop, STOP_PATTERN_HISTORY);
  EXPECT_EQ(stop.count(), 0);
  stop.setEditText("30");
  ASSERT_TRUE(StorePatternHistory(&stop, STOP_PATTERN_HISTORY));
  EXPECT_EQ(storedValue(0, "TriggerSetup", "StopPattern"), hex("30"));
  EXPECT_EQ(storedSelection("TriggerSetup", "StopTrigger"), 0u);
}

// An editable combo box keeps its earlier selection while the user types. Typing the
// text of another entry that is already in the list must make that entry the one the
// search or the trigger uses, not the entry that happened to be selected before.
TEST_F(PatternHistoryCombo, TypedTextOfAnExistingEntrySelectsThatEntry) {
  testsupport::RecordingMessageBox boxes;
  storeValue(0, hex("10 20"), "TriggerSetup", "StartPattern");
  storeValue(1, hex("55 66"), "TriggerSetup", "StartPattern");
  platform::Profile().WriteProfileInt("TriggerSetup", "StartTrigger", 0);
  platform::Profile().WriteProfileInt("TriggerSetup", "TriggerState", 1);
  LoadPatternHistory(&m_list, START_PATTERN_HISTORY);
  ASSERT_EQ(m_list.currentIndex(), 0);
  type("55 66");
  ASSERT_TRUE(StorePatternHistory(&m_list, START_PATTERN_HISTORY));

  EXPECT_EQ(entries(), (QStringList{"10 20", "55 66"}))
      << "an existing entry is neither moved nor duplicated";
  EXPECT_EQ(storedSelection("TriggerSetup", "StartTrigger"), 1u);
  EXPECT_EQ(m_list.currentText(), QStringLiteral("55 66"));
  EXPECT_EQ(recordedWithStoredTrigger(m_profile, hex("01 10 20 02 55 66 03")), hex("55 66"))
      << "the recording triggers on the pattern that was typed";

  // An entry picked from the list keeps its index.
  m_list.setCurrentIndex(0);
  ASSERT_TRUE(StorePatternHistory(&m_list, START_PATTERN_HISTORY));
  EXPECT_EQ(storedSelection("TriggerSetup", "StartTrigger"), 0u);
  EXPECT_EQ(m_list.count(), 2);
}
