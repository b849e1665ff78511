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

void typeInto(QComboBox& list, const QString& text) {
  list.lineEdit()->selectAll();
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(list.lineEdit(), &press);
  }
}

void storeStartPattern(int index, const QByteArray& bytes) {
  platform::Profile().WriteProfileBinary("TriggerSetup", QStringLiteral("StartPattern_%1").arg(index, 2, 10, QLatin1Char('0')),
                                         bytes.constData(), static_cast<uint32_t>(bytes.size()));
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
  sink.DecodeDeviceRecords(reinterpret_cast<const uint8_t*>(records.constData()), static_cast<uint32_t>(records.size()));
  const QByteArray file = testsupport::readWholeFile(sink.GetWritingPath());
  sink.CloseAcquisitionFile();
  QByteArray data;
  for (qsizetype at = 24; at + 6 <= file.size(); at += 6) data.append(file.at(at + 1));
  return data;
}

}  // namespace

// An editable combo box keeps its earlier selection while the user types. Typing the
// text of another entry that is already in the list must make that entry the one the
// search or the trigger uses, not the entry that happened to be selected before.
TEST(PatternHistorySelection, TypedTextOfAnExistingEntrySelectsThatEntry) {
  testsupport::TempProfile profile;
  testsupport::RecordingMessageBox boxes;
  storeStartPattern(0, hex("10 20"));
  storeStartPattern(1, hex("55 66"));
  platform::Profile().WriteProfileInt("TriggerSetup", "StartTrigger", 0);
  platform::Profile().WriteProfileInt("TriggerSetup", "TriggerState", 1);

  QComboBox list;
  list.setEditable(true);
  list.setInsertPolicy(QComboBox::NoInsert);
  list.show();
  LoadPatternHistory(&list, START_PATTERN_HISTORY);
  ASSERT_EQ(list.currentIndex(), 0);
  typeInto(list, "55 66");
  ASSERT_TRUE(StorePatternHistory(&list, START_PATTERN_HISTORY));

  EXPECT_EQ(list.count(), 2) << "an existing entry is neither moved nor duplicated";
  EXPECT_EQ(list.itemText(0), QStringLiteral("10 20"));
  EXPECT_EQ(platform::Profile().GetProfileInt("TriggerSetup", "StartTrigger", 7), 1u);
  EXPECT_EQ(list.currentText(), QStringLiteral("55 66"));
  EXPECT_EQ(recordedWithStoredTrigger(profile, hex("01 10 20 02 55 66 03")), hex("55 66"))
      << "the recording triggers on the pattern that was typed";
}

TEST(PatternHistorySelection, PickedEntryKeepsItsIndex) {
  testsupport::TempProfile profile;
  storeStartPattern(0, hex("10 20"));
  storeStartPattern(1, hex("55 66"));
  QComboBox list;
  list.setEditable(true);
  LoadPatternHistory(&list, START_PATTERN_HISTORY);
  list.setCurrentIndex(1);
  ASSERT_TRUE(StorePatternHistory(&list, START_PATTERN_HISTORY));
  EXPECT_EQ(platform::Profile().GetProfileInt("TriggerSetup", "StartTrigger", 7), 1u);
  EXPECT_EQ(list.count(), 2);
}
