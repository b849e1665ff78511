// The whole program on MDB recordings made from the simulator: list mode names the
// bytes; Ctrl+F and F3 find, in order, what a plain scan of the file finds.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <map>
#include <set>

#include "common/CellCodes.h"
#include "common/ItemRecord.h"
#include "common/SystemTypes.h"
#include "display/CItem.h"
#include "display/CSearchPatternDlg.h"
#include "display/CVRIMView.h"
#include "support/ProgramHost.h"

namespace {

// The VMC address bytes that the simulator's MDB traffic uses, and their names.
const std::map<uint8_t, QString> COMMAND_NAMES = {
    {0x0B, "CHANGER: Poll"},     {0x0A, "CHANGER: Tube Status"}, {0x12, "CASHLESS #1: Poll"},
    {0x13, "CASHLESS #1: Vend"}, {0x33, "VALIDATOR: Poll"},      {0x31, "VALIDATOR: Setup"},
};

ItemRecord itemAt(const QByteArray& items, uint32_t index) {
  return itemFromBytes(reinterpret_cast<const uint8_t*>(items.constData() + qsizetype(index) * 6));
}

// Why the first `rows` rows of the screen do not show the file's items with their names
// (every VMC address byte its command's, a peripheral ACK right after a VMC byte
// "ACK - Acknowledge"); empty when they do.
QString misnamed(CVRIMView& view, const QByteArray& items, uint32_t rows) {
  const uint32_t first = view.GetFirstItem();
  for (uint32_t i = 0; i < rows; ++i) {
    const CItem* c = view.cell(i);
    const ItemRecord r = itemAt(items, first + i);
    if (!c || !(c->state() & CELL_ITEM) || c->data() != r.data || c->flags() != r.flags)
      return QString("row %1 does not show item %2").arg(i).arg(first + i);
    const bool vmcAddress = !(r.flags & ITEM_FLAG_SLAVE) && (r.flags & ITEM_FLAG_MODE);
    const bool ackAfterVmc = i > 0 && (r.flags & ITEM_FLAG_SLAVE) && (r.flags & ITEM_FLAG_MODE) && r.data == 0 &&
                             !(itemAt(items, first + i - 1).flags & ITEM_FLAG_SLAVE);
    const QString expected = vmcAddress ? (COMMAND_NAMES.count(r.data) ? COMMAND_NAMES.at(r.data) : "?")
                                        : ackAfterVmc ? "ACK - Acknowledge" : c->text();
    if (c->text() != expected)
      return QString("item %1: \"%2\", not \"%3\"").arg(first + i).arg(c->text(), expected);
  }
  return {};
}

class MdbEndToEnd : public testsupport::ProgramHost {};

}  // namespace

TEST_F(MdbEndToEnd, CtrlFWithF3FindsEveryOccurrenceAndTheListNamesTheRecordedBytes) {
  constexpr uint32_t RECORDS = 180;
  start({"--scenario", "mdb", "--seed", "7", "--count", "180", "--rate", "3000"}, 30, 90,
        [] { platform::Profile().WriteProfileInt("PropertyPage1", "Protocol", int(PROTOCOL_MDB)); });
  CVRIMView* view = m_app->GetActiveView();
  const QByteArray items = record(RECORDS, [](const QByteArray& sent) { return sent; });
  ASSERT_TRUE(testsupport::waitFor([&] { return view->GetItemCount() == RECORDS; }, 10000));
  ASSERT_FALSE(view->IsRecording());

  // The changer's poll, its checksum and the ACK, found item by item by the rules.
  const QByteArray pattern = QByteArray::fromHex("0B0B00");
  std::vector<uint32_t> expected;
  for (qsizetype i = 0, m = 0; i + 6 <= items.size(); i += 6) {
    m = items[i + 1] == pattern[m] ? m + 1 : 0;
    if (m == pattern.size()) expected.push_back(uint32_t(i / 6 + 1 - m)), m = 0;
  }
  ASSERT_GE(expected.size(), 2u);

  press(Qt::Key_F, Qt::ControlModifier);
  CSearchPatternDlg* dlg = view->searchDialog();
  ASSERT_TRUE(dlg && dlg->isVisible());
  QTest::keyClicks(dlg->patternList()->lineEdit(), "0b 0b 00");
  QTest::keyClick(dlg->patternList()->lineEdit(), Qt::Key_Return);
  for (size_t k = 0; k < expected.size(); ++k) {
    if (k > 0) press(Qt::Key_F3);
    ASSERT_TRUE(testsupport::waitFor([&] { return view->GetSearchMarkFirst() == expected[k]; }, 3000)) << k;
    const CItem* cell = view->cell(expected[k] - view->GetFirstItem());
    EXPECT_TRUE(cell && (cell->state() & CELL_SEARCH) && cell->data() == 0x0B);
  }
  EXPECT_EQ(m_box.count(), 0u);
  press(Qt::Key_F3);
  ASSERT_TRUE(testsupport::waitFor([&] { return m_box.count() == 1; }));
  EXPECT_EQ(m_box.texts()[0],
            QString("End of aquisition file reached,\nFound total: %1 occurrences.").arg(expected.size()));
  EXPECT_EQ(view->searchDialog(), nullptr);

  // List mode (F10), from the top, page by page.
  press(Qt::Key_F10);
  ASSERT_EQ(view->GetDisplayAttribute(), DISPLAY_LIST);
  QTest::keyClick(view, Qt::Key_Home);
  const uint32_t rows = view->GetCellCount();
  ASSERT_GT(rows, 10u);
  std::set<QString> seen;
  int pages = 0;
  for (uint32_t first = 0; first < RECORDS; first = view->GetFirstItem()) {
    QString why;
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return (why = misnamed(*view, items, std::min(rows, RECORDS - first))).isEmpty(); }, 3000))
        << "page at item " << first << ": " << why.toStdString();
    for (uint32_t i = 0; i < rows; ++i) seen.insert(view->cell(i)->text());
    QTest::keyClick(view, Qt::Key_PageDown);
    if (view->GetFirstItem() == first) break;
    ASSERT_LT(++pages, int(RECORDS));
  }
  EXPECT_GT(pages, 2);
  // Checksum verdicts both ways and the VMC's answers to peripheral data.
  for (const char* text : {"CHK Okay", "CHK Invalid", "ACK - Acknowledge", "NAK - Negative Acknowledge"})
    EXPECT_TRUE(seen.count(text)) << text;
}

// List mode on a running recording: the names stand beside the bytes while new items keep arriving, not only
// once they stop.
TEST_F(MdbEndToEnd, NamesStayBesideTheBytesOfARunningRecording) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  start({"--scenario", "mdb", "--rate", "300", "--count", "0"}, 58, 58, [] {
    platform::Profile().WriteProfileInt("PropertyPage1", "Protocol", 1);
    platform::Profile().WriteProfileInt("General", "DisplayAttribute", 8);
  });
  press(Qt::Key_F5);
  CVRIMView* view = m_app->GetActiveView();
  ASSERT_TRUE(testsupport::waitFor([&] { return view->IsRecording() && view->GetFirstItem() > 0; }, 10000));

  // While the screen keeps moving, names come back beside the new bytes each time;
  // each step waits for its condition, however slowly a loaded machine gets there.
  auto named = [&] {
    for (uint32_t i = 0; i < view->GetCellCount(); ++i)
      if (view->cell(i) && !view->cell(i)->text().isEmpty()) return true;
    return false;
  };
  for (int k = 0; k < 10; ++k) {
    const uint32_t before = view->GetItemCount();
    ASSERT_TRUE(testsupport::waitFor([&] { return view->GetItemCount() > before; }, 20000)) << "still recording";
    EXPECT_TRUE(testsupport::waitFor(named, 20000)) << "names beside the bytes of step " << k;
  }
  EXPECT_TRUE(m_box.texts().empty());
}
