// The whole program searches an MDB recording that it made from the simulator: Ctrl+F
// and F3 on the main window find, in order, every occurrence that a plain item by item
// scan of the file finds, and the end message counts them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include "common/CellCodes.h"
#include "display/CItem.h"
#include "display/CSearchPatternDlg.h"
#include "support/SimProgramSession.h"

using testsupport::SimProcess;

TEST(SearchEndToEnd, CtrlFAndF3FindEveryOccurrenceOfTheRecording) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  testsupport::SimProgramSession s(20, 80, {"--scenario", "mdb", "--seed", "7", "--count", "180", "--rate", "3000"});
  ASSERT_TRUE(s.start());
  const QByteArray items = s.record(180);
  ASSERT_FALSE(items.isEmpty());

  // The changer's poll, its checksum and the ACK, found item by item by the rules.
  const QByteArray pattern = QByteArray::fromHex("0B0B00");
  std::vector<uint32_t> expected;
  for (qsizetype i = 0, m = 0; i + 6 <= items.size(); i += 6) {
    m = items[i + 1] == pattern[m] ? m + 1 : 0;
    if (m == pattern.size()) expected.push_back(uint32_t(i / 6 + 1 - m)), m = 0;
  }
  ASSERT_GE(expected.size(), 2u);

  s.press(Qt::Key_F, Qt::ControlModifier);
  CSearchPatternDlg* dlg = s.view()->searchDialog();
  ASSERT_TRUE(dlg && dlg->isVisible());
  QTest::keyClicks(dlg->patternList()->lineEdit(), "0b 0b 00");
  QTest::keyClick(dlg->patternList()->lineEdit(), Qt::Key_Return);
  for (size_t k = 0; k < expected.size(); ++k) {
    if (k > 0) s.press(Qt::Key_F3);
    ASSERT_TRUE(testsupport::waitFor([&] { return s.view()->GetSearchMarkFirst() == expected[k]; }, 3000)) << k;
    const CItem* cell = s.view()->cell(expected[k] - s.view()->GetFirstItem());
    EXPECT_TRUE(cell && (cell->state() & CELL_SEARCH) && cell->data() == 0x0B);
  }
  EXPECT_EQ(s.boxes.count(), 0u);
  s.press(Qt::Key_F3);
  ASSERT_TRUE(testsupport::waitFor([&] { return s.boxes.count() == 1; }));
  EXPECT_EQ(s.boxes.texts()[0],
            QString("End of aquisition file reached,\nFound total: %1 occurrences.").arg(expected.size()));
  EXPECT_EQ(s.view()->searchDialog(), nullptr);
}
