#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QImage>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>

#include "capture/CActiveFile.h"
#include "display/PrintJob.h"
#include "platform/ProfileStore.h"
#include "support/TestSupport.h"
#include "support/RecordingMessageBox.h"
#include "support/WidgetDriver.h"
#include "tests/mdb/MdbTestView.h"
#include "tools/MdbScenarios.h"

using namespace mdbtest;

namespace {

// What a poppler tool writes for the PDF file; the printing time blanked out unless kept.
QString poppler(const QString& tool, QStringList args, bool keepTime = false) {
  QProcess p;
  p.start(tool, args);
  p.waitForFinished(30000);
  const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
  return keepTime ? out : QString(out).replace(QRegularExpression("data: [0-9.]+ - [0-9:]+"), "data: T");
}
QString pdfText(const QString& pdf, int first = 1, int last = 65000) {
  return poppler("pdftotext", {"-layout", "-f", QString::number(first), "-l", QString::number(last), pdf, "-"});
}
int pdfPages(const QString& pdf) {
  return QRegularExpression("Pages:\\s+(\\d+)").match(poppler("pdfinfo", {pdf})).captured(1).toInt();
}

// The first seven words of page 1's line that holds `word`: each one's left edge from
// the line's start and its height, in screen pixels of a 600 dpi print (0.96 points).
std::string pdfLine(const QString& pdf, const QString& word) {
  const QString page = poppler("pdftotext", {"-bbox", "-l", "1", pdf, "-"});
  const QString top = QRegularExpression("yMin=\"([\\d.]+)\"[^>]*>" + word + "<").match(page).captured(1);
  const QRegularExpression box("xMin=\"([\\d.]+)\" yMin=\"" + top + "\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)");
  QString line;
  double start = -1;
  for (auto boxes = box.globalMatch(page); boxes.hasNext() && line.count(' ') < 7;) {
    const auto m = boxes.next();
    start = start < 0 ? m.captured(1).toDouble() : start;
    line += QString::asprintf(" %.0f/%.0f", (m.captured(1).toDouble() - start) / 0.96,
                              (m.captured(2).toDouble() - top.toDouble()) / 0.96);
  }
  return line.toStdString();
}

class PrintTest : public ::testing::Test {
 protected:
  // Shows a file of these items (with the comment when given) and makes a job for it.
  void job(const std::vector<ItemRecord>& items, uint32_t mode = DISPLAY_LIST,
           uint32_t protocol = PROTOCOL_MDB, const QByteArray& comment = {}) {
    const QString path = m_profile.file(QStringLiteral("REC%1.ANL").arg(++m_files));
    testsupport::writeWholeFile(path, acquisitionFile(items, comment));
    EXPECT_TRUE(m_file.Open(path));
    m_source = PrintSource{&m_file, uint32_t(items.size()), mode, protocol, &m_decoder};
    m_job = std::make_unique<PrintJob>(m_source, nullptr, [this](const QString& s) { m_status = s; });
  }
  // Pages from .. to in a new PDF file (600 dpi, A4 unless set otherwise).
  QString print(uint32_t from = 1, uint32_t to = 65000) {
    m_printer.setOutputFileName(m_profile.file(QStringLiteral("out%1.pdf").arg(++m_files)));
    m_job->OnPreparePrinting(m_printer);
    EXPECT_TRUE(m_job->PrintPages(m_printer, from, to));
    return m_printer.outputFileName();
  }
  // The state after laying out the first pages of the first `items` items, nothing drawn.
  PrintState laidOut(uint32_t items, uint32_t pages = 1) {
    PrintLayout layout({&m_file, items, m_source.cellState, PROTOCOL_MDB, nullptr});
    layout.SetUp(m_printer);
    for (uint32_t page = 1; page <= pages; ++page) layout.OnPrint(nullptr, m_printer, page, pages);
    return layout.state();
  }
  void SetUp() override {
    SKIP_CHILD_PROCESS_UNDER_TSAN();  // the pages are read back with poppler's tools
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setResolution(600);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  CActiveFile m_file;
  TestView m_view{4};  // shows items 0 to 3: printing must post nothing to it
  CMDBInterpreter m_decoder{m_view, m_file};
  PrintSource m_source;
  std::unique_ptr<PrintJob> m_job;
  QPrinter m_printer{QPrinter::HighResolution};
  QString m_status;
  int m_files = 0;
};

TEST_F(PrintTest, PagesCarryTitleHeaderAndItemsInEachForm) {
  const std::vector<ItemRecord> poll = {vmc(0x0B, true), peripheral(0x00, true)};
  const struct {
    std::vector<ItemRecord> items;
    uint32_t mode, protocol;
    QByteArray comment;
    const char *expected, *absent;  // patterns the text must and must not hold
  } cases[] = {
      // clang-format off
      // No items: one page, title and start of the recording.
      {{}, DISPLAY_LIST, PROTOCOL_MDB, {}, "data: T - Page: 1 / 1\\s+Start of recording: 09.12.2025 - 12:00:00", "0x"},
      // TAB prints as a blank (too narrow to be read back), CR LF and NUL end lines; Western code page.
      {poll, DISPLAY_LIST, PROTOCOL_MDB, "X\tY\r\nPrice 2\x80, \x93quoted\x94, M\xE4rz",
       "\\n\\s*X ?Y\\s*\\n\\s*Price 2€, “quoted”, März\\s*\\n", "Start of"},
      {poll, DISPLAY_LIST, PROTOCOL_MDB, {}, "1\\s+M\\s+0x0B\\s+vt\\s+0.000000\\s+->\\s+CHANGER: Poll\\s+"
       "2\\s+<-\\s+M\\s+0x00\\s+nul\\s+0.000000\\s+ACK - Acknowledge", "CHK"},
      // Another protocol: no mode mark, no decoded text.
      {{poll[0], poll[1], vmc(0x80), peripheral(0x9F)}, DISPLAY_LIST, PROTOCOL_STANDARD, {},
       "2\\s+<-\\s+0x00.*\\n.*0x80\\s+€.*\\n.*<-\\s+0x9F\\s+Ÿ", "\\bM\\b|CHANGER|Acknowledge"},
      {{vmc(0x41), vmc(0x0B)}, DISPLAY_HEX, PROTOCOL_MDB, {}, "41\\s+0B", "vt"},
      {{vmc(0x41), vmc(0x0B), vmc(0x80), vmc(0x96), vmc(0x9F), vmc(0xE4), vmc(0xF0), vmc(0x5A)}, DISPLAY_ASCII,
       PROTOCOL_MDB, {}, "A\\s+vt\\s+€\\s+–\\s+Ÿ\\s+ä\\s+ð\\s+Z", "0B"},
      // clang-format on
  };
  for (const auto& c : cases) {
    job(c.items, c.mode, c.protocol, c.comment);
    const QString text = pdfText(print());
    EXPECT_TRUE(text.contains(QRegularExpression(c.expected))) << text.toStdString();
    EXPECT_FALSE(text.contains(QRegularExpression(c.absent))) << text.toStdString();
  }
  EXPECT_TRUE(m_status.contains(QRegularExpression("Printed 1 page\\(s\\) to .*out\\d+.pdf")));
}

TEST_F(PrintTest, FromPageThreePrintsWhatAFullPrintHasThere) {
  uint32_t time = 0;
  std::vector<ItemRecord> items = MdbScenarios::ToItems(MdbScenarios::LongRecording(4000), time);
  job(items, DISPLAY_LIST, PROTOCOL_MDB, "Line 1\r\nLine 2");
  // Five pages, the last item on the last place of page 5: no sixth page.
  const uint32_t first = laidOut(uint32_t(items.size())).index;
  items.resize(first + 4 * (laidOut(uint32_t(items.size()), 2).index - first));
  job(items, DISPLAY_LIST, PROTOCOL_MDB, "Line 1\r\nLine 2");
  const QString full = print();
  ASSERT_EQ(m_job->PageCount(), 5u);
  EXPECT_EQ(pdfPages(full), 5);
  print(4, 4);  // what was printed before must not change what page 3 shows
  const QString part = print(3, 5);
  EXPECT_EQ(pdfPages(part), 3);
  EXPECT_EQ(pdfText(part), pdfText(full, 3, 5));
  EXPECT_TRUE(
      pdfText(part).contains(QRegularExpression("(?s)Page: 3 / 5.*CHK Okay.*Page: 4 / 5.*Page: 5 / 5")));
  platform::PumpMessages();
  EXPECT_EQ(m_view.totalReceived(), 0);
}

TEST(PrintPageTitle, CarriesThePrintingTimeDayFirst) {
  // Days above 12, so that a day and month swapped cannot pass for a date.
  EXPECT_EQ(PrintLayout::PageTitle(QDateTime(QDate(2025, 3, 24), QTime(9, 5, 7)), 2, 29).toStdString(),
            "Analyzer aquisition data: 24.03.2025 - 09:05:07 - Page: 2 / 29");
  EXPECT_EQ(PrintLayout::PageTitle(QDateTime(QDate(2026, 1, 13), QTime(23, 59, 59)), 1, 1).toStdString(),
            "Analyzer aquisition data: 13.01.2026 - 23:59:59 - Page: 1 / 1");
}

TEST_F(PrintTest, TitlesOfARangeCarryTheTimeOfThePrintAndTheWholeCount) {
  job(std::vector<ItemRecord>(5000), DISPLAY_LIST, PROTOCOL_STANDARD);
  const uint32_t first = laidOut(5000).index;
  job(std::vector<ItemRecord>(first + 28 * (laidOut(5000, 2).index - first)), DISPLAY_LIST,
      PROTOCOL_STANDARD);
  const qint64 before = QDateTime::currentSecsSinceEpoch();
  const QString pdf = print(2, 3);
  const qint64 after = QDateTime::currentSecsSinceEpoch();
  ASSERT_EQ(m_job->PageCount(), 29u);
  EXPECT_EQ(pdfPages(pdf), 2);
  QString pages;
  const QRegularExpression title("Analyzer aquisition data: (\\S+ - \\S+) - Page: (\\d+ / \\d+)");
  for (auto m = title.globalMatch(poppler("pdftotext", {"-layout", pdf, "-"}, true)); m.hasNext();) {
    const QRegularExpressionMatch match = m.next();
    pages += match.captured(2) + ", ";
    const QDateTime printed = QDateTime::fromString(match.captured(1), "dd.MM.yyyy - HH:mm:ss");
    EXPECT_TRUE(printed.isValid() && printed.toSecsSinceEpoch() >= before &&
                printed.toSecsSinceEpoch() <= after)
        << match.captured(1).toStdString();
  }
  EXPECT_EQ(pages.toStdString(), "2 / 29, 3 / 29, ");
}

TEST_F(PrintTest, GridCellsAndMarginsScaleWithTheResolution) {
  job(std::vector<ItemRecord>(1000), DISPLAY_HEX);
  const PrintState one = laidOut(1);
  EXPECT_EQ(one.marginLeft, 260);  // 10 units of 600 / 23
  EXPECT_EQ(one.x, 260 + 160);     // 20 screen pixels of 600 / 75
  // A row holds every cell whose left edge stands within the right margin.
  const PrintState wrapped = laidOut((m_printer.width() - 2 * 260) / 160 + 2);
  EXPECT_EQ(wrapped.x, 260 + 160);
  EXPECT_EQ(wrapped.y, one.y + 240);
}

TEST_F(PrintTest, GridPagesHoldEveryRowThatStartsAboveTheBottomMargin) {
  // 600 dpi: scale 8, margins of 10 units of 26, cells 160 wide and 240 high, the
  // title's font 96 high; page 1 adds the start of the recording and a second rule.
  const int scale = 8, margin = 260, h = 12 * scale, cellWidth = 20 * scale, rowHeight = 30 * scale;
  const int tops[] = {margin + h + h / 4 + h / 2 + h + h / 4 + h, margin + h + h / 4 + h / 2};
  // 21 cells a row, the last one's left edge on the right margin.
  const int width = 2 * margin + 20 * cellWidth;
  const int columns = (width - 2 * margin) / cellWidth + 1;
  for (const uint32_t mode : {DISPLAY_HEX, DISPLAY_ASCII}) {
    job(std::vector<ItemRecord>(5000), mode);
    for (const int top : tops) {
      // A row's top on the bottom margin, or one unit below it.
      for (const int below : {0, 1}) {
        const int height = top + 6 * rowHeight + margin - below;
        QImage page(width, height, QImage::Format_RGB32);
        page.setDotsPerMeterX(23622);  // 600 dpi
        page.setDotsPerMeterY(23622);
        PrintLayout layout(m_source);
        layout.SetUp(page);
        std::string expected, got;
        uint32_t index = 0;
        for (uint32_t n = 1; n <= 2; ++n) {
          const int rows = (height - margin - tops[n - 1]) / rowHeight + 1;
          expected += std::to_string(columns * rows) + " ";
          layout.OnPrint(nullptr, page, n, 2);
          got += std::to_string(layout.state().index - index) + " ";
          index = layout.state().index;
        }
        EXPECT_EQ(got, expected) << "mode " << mode << ", height " << height;
      }
    }
  }
}

TEST_F(PrintTest, ListLinesAreTheScreenRowsScaled) {
  // 600 dpi, margins 260, title 96 + 24 + 48, start line 120, rule 96: lines from 644, 88 apart.
  // On a page 2000 high the twelfth (16 screen pixels high) ends on the bottom margin: it stays.
  m_printer.setFullPage(true);
  m_printer.setPageSize(QPageSize(QSize(595, 240), {}, QPageSize::ExactMatch));
  job({vmc(0x10, true), peripheral(0x00, true)});
  EXPECT_EQ(laidOut(100).index, 12u);
  const QString pdf = print();
  // Fonts sized by their character cells, as on screen: 11 pixels high.
  EXPECT_EQ(pdfLine(pdf, "0x10"), " 0/11 70/11 90/11 130/11 160/11 230/11 420/11");
  EXPECT_EQ(pdfLine(pdf, "0x00"), " 0/11 230/11 260/11 280/11 320/11 350/11 420/11");
}

TEST_F(PrintTest, LongCommentLinesAreCutAndLongPrintsStopAt65000Pages) {
  job({}, DISPLAY_LIST, PROTOCOL_MDB, QByteArray(300, 'A') + "\r\nB");
  m_printer.setPageSize(QPageSize(QSizeF(1000, 200), QPageSize::Millimeter));
  EXPECT_TRUE(pdfText(print()).contains(QRegularExpression("\\bA{255}\\s*\\n\\s*B\\b")));

  QImage page(600, 100, QImage::Format_RGB32);  // one list line a page
  page.setDotsPerMeterX(2953);                  // 75 dpi
  page.setDotsPerMeterY(2953);
  job(std::vector<ItemRecord>(PrintJob::MAX_PAGES + 1));
  EXPECT_EQ(m_job->OnPreparePrinting(page), PrintJob::MAX_PAGES);
  ASSERT_EQ(m_box.texts().size(), 1u);
  EXPECT_TRUE(m_box.texts()[0].contains("65000"));
}

TEST_F(PrintTest, DialogOffersEveryPageOfThePaperChosenAndPreviewShowsThemAsLastTime) {
  uint32_t time = 0;
  job(MdbScenarios::ToItems(MdbScenarios::LongRecording(330), time));
  const QString pdf = print();
  const uint32_t portrait = m_job->PageCount();
  m_printer.setPrintRange(QPrinter::PageRange);  // as a print of pages 3 to 5 leaves it
  m_printer.setFromTo(3, 5);
  // Every page offered, all selected; landscape from the properties gives more pages, all printed.
  auto landscape = [](QWidget* properties) {
    testsupport::click(testsupport::child<QAbstractButton>(properties, "landscape"));
    testsupport::press(properties, QDialogButtonBox::Ok);
  };
  QString offered;
  testsupport::onNextModal([&](QWidget* d) {
    auto* from = d->findChild<QSpinBox*>("from");
    auto* to = d->findChild<QSpinBox*>("to");
    offered = QString::asprintf("%d %d-%d of %d-%d", d->findChild<QAbstractButton*>("printAll")->isChecked(),
                                from->value(), to->value(), from->minimum(), to->maximum());
    testsupport::onNextModal(landscape, d);
    testsupport::click(testsupport::child<QAbstractButton>(d, "properties"));
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_TRUE(m_job->OnFilePrint(m_printer));
  EXPECT_EQ(offered.toStdString(), QStringLiteral("1 1-%1 of 1-%1").arg(portrait).toStdString());
  const uint32_t pages = m_job->PageCount();
  EXPECT_GT(pages, portrait);
  EXPECT_EQ(pdfPages(pdf), int(pages));
  EXPECT_TRUE(m_status.startsWith(QStringLiteral("Printed %1 page(s)").arg(pages)));

  platform::Profile().WriteProfileInt("Settings", "PreviewPages", 2);
  int shown = 0;
  testsupport::onNextModal([&](QWidget* d) {
    auto* preview = d->findChild<QPrintPreviewWidget*>();
    shown = preview->pageCount() * 10 + (preview->viewMode() == QPrintPreviewWidget::FacingPagesView) +
            d->findChild<QAction*>("facingModeAction")->isChecked();
    d->findChild<QAction*>("singleModeAction")->trigger();
    static_cast<QDialog*>(d)->reject();
  });
  m_job->OnFilePrintPreview(m_printer);
  EXPECT_EQ(shown, int(m_job->PageCount()) * 10 + 2);
  EXPECT_EQ(platform::Profile().GetProfileInt("Settings", "PreviewPages", 0), 1u);
}

}  // namespace
