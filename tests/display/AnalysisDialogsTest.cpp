#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <random>
#include <tuple>

#include "ViewTestSupport.h"
#include "capture/CVRIMSocket.h"
#include "display/CChecksumDlg.h"
#include "display/CDebugDlg.h"
#include "display/CDetailDlg.h"
#include "display/CGoToDlg.h"
#include "display/CSearchPatternDlg.h"
#include "display/ItemBlockReader.h"
#include "support/AcquisitionFile.h"
#include "support/RecordingMessageBox.h"
#include "support/WidgetDriver.h"

using namespace viewtest;
using testsupport::hex;

namespace {

// A file of the header bytes and the items.
std::unique_ptr<CActiveFile> fileOf(const testsupport::TempProfile& p, const QByteArray& head,
                                    const std::vector<ItemRecord>& items) {
  testsupport::writeWholeFile(p.file("t.ANL"), head + QByteArray(reinterpret_cast<const char*>(items.data()),
                                                                 qsizetype(items.size() * ITEM_SIZE)));
  auto f = std::make_unique<CActiveFile>();
  f->Open(p.file("t.ANL"));
  return f;
}

// Every match of a whole pass, as first items.
std::vector<uint32_t> searchAll(const CActiveFile& f, const QByteArray& pattern, uint32_t direction) {
  SearchState s;
  s.position = s.dataStart = 24;
  s.direction = direction;
  s.patternLength = uint32_t(pattern.size());
  memcpy(s.pattern, pattern.constData(), size_t(pattern.size()));
  std::vector<uint32_t> found;
  for (ScanForPattern(f, s); s.found; ScanForPattern(f, s)) found.push_back(s.MatchFirstItem(24));
  return found;
}

QPushButton* button(QWidget* d, const char* text) {
  for (QPushButton* b : d->findChildren<QPushButton*>())
    if (b->text() == QLatin1String(text)) return b;
  return nullptr;
}

// The view host with the view's own detail handling.
struct Host : ViewHost {
  testsupport::RecordingMessageBox boxes;
  Host() {
    view->messageWindow().on(WM_SHOW_DETAIL, [this](platform::Message& m) {
      view->OnShowDetail(uint32_t(m.lParam));
      return 0;
    });
  }
  void searchMarkIs(uint32_t first, uint32_t length, uint32_t shownFirst) {
    SCOPED_TRACE(first);
    EXPECT_EQ(view->GetFirstItem(), shownFirst);
    EXPECT_EQ(view->GetSearchMarkFirst(), first);
    EXPECT_EQ(view->GetSearchMarkLength(), length);
    for (uint32_t k = 0; k < length; ++k) EXPECT_TRUE(has(first - shownFirst + k, CELL_SEARCH)) << k;
  }
  void step(uint32_t first, uint32_t length, uint32_t shownFirst) {  // F3
    view->OnContinueSearch();
    platform::PumpMessages();
    searchMarkIs(first, length, shownFirst);
  }
};

}  // namespace

// What a plain reading item by item finds, also across block boundaries: matches do not overlap, the item
// that breaks a partial match is not tried again, an item of the side not searched ends it, and a direction
// other than 1 or 2 searches both sides.
TEST(PatternSearch, BlockReadsFindWhatItemByItemFinds) {
  testsupport::TempProfile p;
  std::mt19937 random(5);
  std::vector<ItemRecord> items(ItemBlockReader::BLOCK_ITEMS + 999);
  for (ItemRecord& i : items) i = {uint8_t(random() & 0x80), uint8_t(random() % 3)};
  const auto f = fileOf(p, header(), items);
  for (uint32_t direction : {0u, 1u, 2u, 7u})
    for (const char* pattern : {"00 01 02", "02 02", "01 00 00 02 01"}) {
      const QByteArray pat = hex(pattern);
      std::vector<uint32_t> expected;
      for (uint32_t i = 0, m = 0; i < items.size(); ++i) {
        const bool kept = (direction != 1 && direction != 2) || (items[i].flags == 0x80) == (direction == 2);
        m = kept && items[i].data == uint8_t(pat[m]) ? m + 1 : 0;
        if (m == uint32_t(pat.size())) expected.push_back(i + 1 - m), m = 0;
      }
      EXPECT_EQ(searchAll(*f, pat, direction), expected) << pattern << " direction " << direction;
    }
}

TEST(PatternSearch, DialogKeysStepsAndEndMessage) {
  Host h;
  h.open(520, "a.ANL");  // data i & 0xFF: 05 06 07 at items 5, 261, 517
  h.view->OnContinueSearch();                  // F3 before any Ctrl+F, and a stray result: nothing
  h.post(WM_SEARCH_DONE);
  EXPECT_EQ(h.view->searchDialog(), nullptr);
  auto& profile = platform::Profile();
  profile.WriteProfileBinary("SearchPattern", "BytePattern_00", "\x06\x07", 2);
  profile.WriteProfileBinary("SearchPattern", "BytePattern_01", "\x05", 1);
  profile.WriteProfileInt("SearchPattern", "SelectedPattern", 1);

  // F3 in a new dialog restarts from the stored choice, not from the controls.
  h.view->OnSearchPattern();
  CSearchPatternDlg* dlg = h.view->searchDialog();
  ASSERT_TRUE(dlg && dlg->isVisible());
  EXPECT_EQ(dlg->patternList()->currentText(), QStringLiteral("05"));
  dlg->patternList()->setCurrentIndex(0);
  const auto radios = dlg->findChildren<QRadioButton*>();
  QTest::mouseClick(radios[2], Qt::LeftButton);
  h.step(5, 1, 5);
  EXPECT_FALSE(dlg->isVisible());

  h.view->OnSearchPattern();
  dlg->patternList()->lineEdit()->clear();
  QTest::keyClicks(dlg->patternList()->lineEdit(), "05,06:07");
  QTest::mouseClick(button(dlg, "Cancel"), Qt::LeftButton);
  EXPECT_FALSE(dlg->isVisible());
  h.view->OnSearchPattern();  // the same dialog with the text typed
  EXPECT_EQ(h.view->searchDialog(), dlg);
  EXPECT_EQ(dlg->patternList()->currentText(), QStringLiteral("05,06:07"));
  QTest::mouseClick(radios[0], Qt::LeftButton);
  QTest::keyClick(dlg->patternList()->lineEdit(), Qt::Key_Return);
  platform::PumpMessages();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(profile.GetProfileBinary("SearchPattern", "BytePattern_00"), hex("05 06 07"));
  h.searchMarkIs(5, 3, 5);
  EXPECT_EQ(h.view->Title(), QStringLiteral("Halted: 5 / 520 - Analyzer"));

  // A Restart of the recording reopens the shown file on the next one and tells the
  // view nothing: the search starts again there, with the same content at item 5.
  testsupport::writeWholeFile(h.profile.file("b.ANL"), header() + items(0, 520));
  h.file.Open(h.profile.file("b.ANL"));
  h.step(5, 3, 5);
  h.step(261, 3, 261);
  h.step(517, 3, 320);  // ends on the last item: the last screenful
  h.view->OnContinueSearch();
  platform::PumpMessages();
  EXPECT_EQ(h.boxes.texts(), std::vector<QString>{"End of aquisition file reached,\nFound total: 3 occurrences."});
  EXPECT_EQ(h.boxes.shown().at(0).type, platform::MB_OK | platform::MB_ICONINFORMATION);
  EXPECT_EQ(h.view->searchDialog(), nullptr);
  for (int shown = 0; shown < 2; ++shown) {  // a new dialog, then shown again: Enter is OK
    h.view->OnSearchPattern();
    QTest::keyClick(h.view->searchDialog()->focusWidget(), Qt::Key_Return);
    platform::PumpMessages();
    h.searchMarkIs(5, 3, 5);
  }
}

TEST(ByteDetail, FieldsOfTheItems) {
  testsupport::TempProfile p;
  std::vector<ItemRecord> items = {{0x1C, 0x41, 0}, {0x80, 0x00, 100000}, {0x01, 0x7F, 4294967295u}};
  items.resize(11, ItemRecord{0, 0x20, 0});
  items[10].data = 0xF0;  // shown as the screen shows it, in the code page
  const auto f = fileOf(p, testsupport::anlHeader(), items);
  CDetailDlg dlg(*f, nullptr);
  const uint32_t NONE = ITEM_NONE;
  // Item, reference, then fields 1022, 1028, 1023, 1024, 1025, 1026, 1027, 1029, 1030.
  const std::vector<std::pair<std::pair<uint32_t, uint32_t>, QStringList>> cases = {
      {{0, NONE}, {"1", "---", "A - (65)", "0.000000", "---", "---", " F O P", "12:00:00", "15.03.2023"}},
      {{1, 0},
       {"2", "-1", "nul - (0)", "1.302800", "1.302800", "-1.302800", "---", "12:00:01", "15.03.2023"}},
      {{2, NONE},
       {"3", "---", "del - (127)", "55954.833919", "55953.531119", "---", "---", "03:32:35", "16.03.2023"}},
      {{10, 3},
       {"11", "-7", "ð - (240)", "0.000000", "0.000000", "0.000000", "---", "12:00:00", "15.03.2023"}},
      {{9, 11}, {"10", "---", " sp - (32)", "0.000000", "0.000000", "---", "---", "12:00:00", "15.03.2023"}},
      {{11, 3}, QStringList(9, "---")}, {{NONE, NONE}, QStringList(9, "---")},
  };
  for (const auto& [at, texts] : cases) {
    dlg.SetReference(at.second);
    dlg.ShowByte(at.first);
    QStringList shown;
    for (int id : CDetailDlg::FIELD_IDS) shown << dlg.fieldText(id);
    EXPECT_EQ(shown, texts) << at.first;
  }
}

// The start of recording plus the item's time is a calendar value: an hour that the local zone skips still shows.
TEST(ByteDetail, TheRecordingTimeRunsThroughTheSpringGapOfTheLocalZone) {
  testsupport::TempProfile p;
  testsupport::ScopedTimeZone zone("Europe/Berlin");
  const auto ticks = [](double seconds) { return uint32_t(std::lround(seconds / TIMESTAMP_TICK)); };
  const auto f = fileOf(p, testsupport::anlHeader(24, 45011.0625),
                        {{0, 0x41, 0}, {0, 0x42, ticks(3600)}, {0, 0x43, ticks(7200)}});
  CDetailDlg dlg(*f, nullptr);
  for (const auto& [item, time] : {std::pair{0u, "01:30:00"}, {1u, "02:30:00"}, {2u, "03:30:00"}}) {
    dlg.ShowByte(item);
    EXPECT_EQ(dlg.fieldText(1029).toStdString(), time) << item;
    EXPECT_EQ(dlg.fieldText(1030).toStdString(), "26.03.2023") << item;
  }
}

TEST(ByteDetail, OpenedByClicksAndKeysEndedByLoadingPlacementKept) {
  Host h;
  h.open(300, "a.ANL");  // no start date in the header
  const QByteArray placed = CDetailDlg::PlacementRecord(QRect(123, 45, 200, 300), false);
  platform::Profile().WriteProfileBinary("DetailDialog", "Placement", placed.constData(), 44);
  QTest::mouseClick(h.view->clientArea(), Qt::LeftButton, {}, h.cell(7)->geometry().center());
  platform::PumpMessages();
  CDetailDlg* dlg = h.view->detailDialog();
  ASSERT_TRUE(dlg && dlg->isVisible());
  EXPECT_EQ(dlg->pos(), QPoint(123, 45));
  EXPECT_EQ(dlg->fieldText(1022), QStringLiteral("8"));
  EXPECT_EQ(dlg->fieldText(1030), QStringLiteral("---"));
  QTest::keyClick(dlg, Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  QTest::keyClick(h.view.get(), Qt::Key_Right);
  platform::PumpMessages();
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_EQ(dlg->fieldText(1022), QStringLiteral("9"));
  QTest::keyClick(dlg, Qt::Key_Return);
  EXPECT_FALSE(dlg->isVisible());
  h.post(WM_FILE_LOADED);
  EXPECT_EQ(h.view->detailDialog(), nullptr);
  const auto stored = platform::Profile().GetProfileBinary("DetailDialog", "Placement");
  ASSERT_TRUE(stored && stored->size() == 44 &&
              stored->startsWith(QByteArray("\x2C\0\0\0\0\0\0\0\1\0\0\0", 12)));
  QRect normal;
  bool maximised;
  EXPECT_FALSE(CDetailDlg::ParsePlacement(stored->left(43), normal, maximised));
}

TEST(RangeChecksum, CrcAndXorOfTheDataBytes) {
  testsupport::TempProfile p;
  std::vector<ItemRecord> items;
  for (char c : std::string("123456789")) items.push_back({0x80, uint8_t(c), 7});
  const auto f = fileOf(p, header(100) + QByteArray(76, 'c'), items);  // with a comment
  const struct { uint32_t first, last; int method; const char* text; } cases[] = {
      {0, 8, 1, "Calculated checksum: 0x6E90"}, {0, 8, 0, "Calculated checksum: 0x31"},
      {8, 0, 1, "Calculated checksum: 0x0000"}, {3, 3, 0, "Calculated checksum: 0x34"}};
  for (const auto& c : cases) {
    CChecksumDlg dlg(*f);
    dlg.SetRange(c.first, c.last);
    dlg.show();
    EXPECT_EQ(dlg.rangeText(), QString("Calculation on bytes #%1 to #%2").arg(c.first).arg(c.last));
    dlg.methodList()->setCurrentIndex(c.method);
    QTest::mouseClick(button(&dlg, "Calculate"), Qt::LeftButton);
    EXPECT_EQ(dlg.resultText(), QLatin1String(c.text));
    QTest::mouseClick(button(&dlg, "Exit"), Qt::LeftButton);
    EXPECT_EQ(platform::Profile().GetProfileInt("ChecksumDlg", "ChecksumMethode", 9), uint32_t(c.method));
  }
}

TEST(GoToAndDebug, GoToNumbersAndTheDebugValues) {
  Host h;
  h.open(520, "a.ANL");
  const struct { const char* typed; const char* press; uint32_t marked, shownFirst, saved; } cases[] = {
      {"0", "OK", 0, 0, 0}, {"7", "Cancel", 0, 0, 7}, {"1", "OK", 0, 0, 1},
      {"520", "OK", 519, 320, 520}, {"521", "OK", 519, 320, 521}, {"x1", "OK", 519, 320, 521}};
  for (const auto& c : cases) {
    h.boxes.clear();
    testsupport::onNextModal([&](QWidget* d) {
      auto* edit = static_cast<CGoToDlg*>(d)->numberEdit();
      edit->clear();
      QTest::keyClicks(edit, c.typed);
      QTest::mouseClick(button(d, c.press), Qt::LeftButton);
      if (d->isVisible()) QTest::mouseClick(button(d, "Cancel"), Qt::LeftButton);
    });
    h.view->OnGoToItem();
    platform::PumpMessages();
    h.searchMarkIs(c.marked, 1, c.shownFirst);
    EXPECT_EQ(platform::Profile().GetProfileInt("GoToDlg", "ItemNumber", 0), c.saved);
    EXPECT_EQ(h.boxes.texts(),
              c.typed[0] == 'x' ? std::vector<QString>{"Enter a positive integer."} : std::vector<QString>{});
  }
  h.view->OnDisplayList();
  QStringList shown;
  testsupport::onNextModal([&](QWidget* d) {
    for (int i = 0; i < 4; ++i) shown << static_cast<CDebugDlg*>(d)->fieldText(i);
    QTest::mouseClick(button(d, "OK"), Qt::LeftButton);
  });
  h.view->OnDebugInformation();
  EXPECT_EQ(shown, QStringList({QString::number(h.view->GetFirstItem()), "520",
                                QString::number(h.view->GetCellCount()), "8"}));
  // A file shorter than the hex screen but shown from a later item (list mode went
  // to its end): an item before the first shown one still comes into view.
  h.open(150, "b.ANL");  // still in list mode
  h.view->ScrollToItem(149, 1);
  h.view->OnDisplayHex();
  ASSERT_GT(h.view->GetFirstItem(), 5u);
  h.view->ClearSearchMarks();
  h.view->ScrollToItem(5, 2);
  platform::PumpMessages();
  h.searchMarkIs(5, 2, 0);
}
