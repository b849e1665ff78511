#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include "capture/CActiveFile.h"
#include "common/CellCodes.h"
#include "display/PrintJob.h"
#include "platform/ProfileStore.h"
#include "support/RecordingMessageBox.h"
#include "tests/mdb/MdbTestView.h"
#include "tools/MdbScenarios.h"

using namespace mdbtest;

namespace {

QString run(const QString& tool, const QStringList& args) {
  QProcess p;
  p.start(tool, args);
  p.waitForFinished(30000);
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}
// The text of pages first .. last, with the printing time blanked out.
QString pdfText(const QString& pdf, int first = 1, int last = 65000) {
  QString text = run("pdftotext", {"-layout", "-f", QString::number(first), "-l", QString::number(last), pdf, "-"});
  return text.replace(QRegularExpression("data: [0-9.]+ - [0-9:]+"), "data: TIME");
}
int pdfPages(const QString& pdf) {
  return QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {pdf})).captured(1).toInt();
}

class PrintTest : public ::testing::Test {
 protected:
  // Shows a file of these items (header with the comment when given) and prepares a
  // job in this mode and protocol.
  PrintJob& job(const std::vector<ItemRecord>& items, uint32_t mode = DISPLAY_LIST, uint32_t protocol = PROTOCOL_MDB,
                const QByteArray& comment = {}) {
    const QString path = m_profile.file(QStringLiteral("REC%1.ANL").arg(++m_files));
    testsupport::writeWholeFile(path, acquisitionFile(items, comment));
    EXPECT_TRUE(m_file.Open(path));
    m_job = std::make_unique<PrintJob>(PrintSource{&m_file, uint32_t(items.size()), mode, protocol, &m_decoder},
                                       nullptr, [this](const QString& s) { m_status = s; });
    return *m_job;
  }
  // Prints pages from .. to into a new PDF file at 600 dpi, A4; returns its path.
  QString print(uint32_t from = 1, uint32_t to = 65000) {
    const QString pdf = m_profile.file(QStringLiteral("out%1.pdf").arg(++m_files));
    m_printer.setOutputFileName(pdf);
    m_job->OnPreparePrinting(m_printer);
    EXPECT_TRUE(m_job->PrintPages(m_printer, from, to));
    return pdf;
  }
  std::vector<ItemRecord> session(size_t minSteps) {
    uint32_t time = 0;
    return MdbScenarios::ToItems(MdbScenarios::LongRecording(minSteps), time);
  }

  testsupport::TempProfile m_profile;
  testsupport::RecordingMessageBox m_box;
  CActiveFile m_file;
  TestView m_view{1};
  CMDBInterpreter m_decoder{m_view, m_file};
  std::unique_ptr<PrintJob> m_job;
  QPrinter m_printer{QPrinter::HighResolution};
  QString m_status;
  int m_files = 0;

  void SetUp() override {
    m_printer.setOutputFormat(QPrinter::PdfFormat);
    m_printer.setResolution(600);
    m_printer.setPageSize(QPageSize(QPageSize::A4));
  }
};

TEST_F(PrintTest, PagesCarryTitleHeaderItemsAndDecodedNames) {
  // No items: one page with the title and the start of the recording.
  job({});
  QString text = pdfText(print());
  EXPECT_EQ(m_job->PageCount(), 1u);
  EXPECT_TRUE(text.contains("Analyzer aquisition data: TIME - Page: 1 / 1")) << text.toStdString();
  EXPECT_TRUE(text.contains("Start of recording: 09.12.2025 - 12:00:00")) << text.toStdString();
  EXPECT_TRUE(m_status.contains("Printed 1 page(s) to ")) << m_status.toStdString();

  // A comment replaces the start date: TAB prints as a blank, CR LF and NUL end lines.
  job({vmc(0x0B, true), peripheral(0x00, true)}, DISPLAY_LIST, PROTOCOL_MDB, "X\tY\r\nZ");
  text = pdfText(print());
  EXPECT_TRUE(text.contains(QRegularExpression("X ?Y\\s*\\n\\s*Z\\s*\\n")));  // the blank is too narrow to be read back
  EXPECT_FALSE(text.contains("Start of recording"));
  // List lines: number, mode mark, byte, name, time, arrow, and the MDB name.
  EXPECT_TRUE(text.contains(QRegularExpression("1\\s+M\\s+0x0B\\s+vt\\s+0.000000\\s+->\\s+CHANGER: Poll")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression("2\\s+<-\\s+M\\s+0x00\\s+nul\\s+0.000000\\s+ACK - Acknowledge")));

  // Another protocol: no mode mark and no decoded text.
  job({vmc(0x0B, true), peripheral(0x00, true)}, DISPLAY_LIST, PROTOCOL_STANDARD);
  text = pdfText(print());
  EXPECT_FALSE(text.contains(QRegularExpression("\\bM\\b|CHANGER|Acknowledge"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression("2\\s+<-\\s+0x00")));

  // Hex and ASCII grids.
  job({vmc(0x41), vmc(0x0B)}, DISPLAY_HEX);
  EXPECT_TRUE(pdfText(print()).contains(QRegularExpression("41\\s+0B")));
  job({vmc(0x41), vmc(0x0B)}, DISPLAY_ASCII);
  EXPECT_TRUE(pdfText(print()).contains(QRegularExpression("A\\s+vt")));
}

TEST_F(PrintTest, FromPageThreePrintsWhatAFullPrintHasThere) {
  std::vector<ItemRecord> items = session(4000);
  job(items, DISPLAY_LIST, PROTOCOL_MDB, "Line 1\r\nLine 2");
  // Cut the file to five pages, the last item on the last place of page 5.
  PrintLayout layout(PrintSource{&m_file, uint32_t(items.size()), DISPLAY_LIST, PROTOCOL_MDB, nullptr});
  layout.SetUp(m_printer);
  layout.OnPrint(nullptr, m_printer, 1, 1);
  const uint32_t first = layout.state().index;
  layout.OnPrint(nullptr, m_printer, 2, 2);
  items.resize(first + 4 * (layout.state().index - first));
  job(items, DISPLAY_LIST, PROTOCOL_MDB, "Line 1\r\nLine 2");
  const QString full = print();
  ASSERT_EQ(m_job->PageCount(), 5u);
  EXPECT_EQ(pdfPages(full), 5);
  // What was printed before must not change what page 3 shows.
  print(4, 4);
  const QString part = print(3, 5);
  EXPECT_EQ(pdfPages(part), 3);
  EXPECT_EQ(pdfText(part), pdfText(full, 3, 5));
  for (int page = 3; page <= 5; ++page)
    EXPECT_TRUE(pdfText(part).contains(QStringLiteral("Page: %1 / 5").arg(page)));
  EXPECT_TRUE(pdfText(part).contains("CHK Okay"));
}
}  // namespace

namespace {

// Page geometry at 600 dpi: margin units of 26, screen pixels of 8.
TEST_F(PrintTest, GridCellsAndMarginsScaleWithTheResolution) {
  job(std::vector<ItemRecord>(1000), DISPLAY_HEX);
  const auto laidOut = [&](uint32_t items) {
    PrintLayout layout(PrintSource{&m_file, items, DISPLAY_HEX, PROTOCOL_MDB, nullptr});
    layout.SetUp(m_printer);
    layout.OnPrint(nullptr, m_printer, 1, 1);
    return layout.state();
  };
  const PrintState one = laidOut(1);
  EXPECT_EQ(one.marginLeft, 260);
  EXPECT_EQ(one.x, 260 + 160);
  // A row holds every cell whose left edge stands within the right margin.
  const PrintState wrapped = laidOut((m_printer.width() - 2 * 260) / 160 + 2);
  EXPECT_EQ(wrapped.x, 260 + 160);
  EXPECT_EQ(wrapped.y, one.y + 240);
}

TEST_F(PrintTest, LongCommentLinesAreCutAndLongPrintsStopAt65000Pages) {
  job({}, DISPLAY_LIST, PROTOCOL_MDB, QByteArray(300, 'A') + "\r\nB");
  m_printer.setPageSize(QPageSize(QSizeF(1000, 200), QPageSize::Millimeter));
  const QString text = pdfText(print());
  EXPECT_TRUE(text.contains(QRegularExpression("\\bA{255}\\s*\\n\\s*B\\b"))) << text.toStdString();

  // A page of one list line: one page per item.
  QImage page(600, 100, QImage::Format_RGB32);
  page.setDotsPerMeterX(2953);  // 75 dpi
  page.setDotsPerMeterY(2953);
  job(std::vector<ItemRecord>(PrintJob::MAX_PAGES + 1));
  EXPECT_EQ(m_job->OnPreparePrinting(page), PrintJob::MAX_PAGES);
  ASSERT_EQ(m_box.texts().size(), 1u);
  EXPECT_TRUE(m_box.texts()[0].contains("65000"));
}

// Runs f on the dialog of type D once it is shown (the modal loop is running then).
template <typename D>
void onDialog(const std::function<void(D&)>& f) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, f] {
    if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
      poll->deleteLater();
      f(*d);
    }
  });
  poll->start(10);
}

TEST_F(PrintTest, DialogOffersEveryPageDirectPrintWritesAPdfAndPreviewKeepsItsPages) {
  job(session(300));
  int offered = 0;
  onDialog<QPrintDialog>([&](QPrintDialog& d) {
    offered = d.minPage() * 1000 + d.maxPage();
    d.reject();
  });
  EXPECT_FALSE(m_job->OnFilePrint(m_printer));
  EXPECT_EQ(offered, 1000 + int(m_job->PageCount()));

  if (!QPrinterInfo::availablePrinterNames().isEmpty()) GTEST_SKIP() << "a printer is installed";
  QPrinter none;  // no printer and no file chosen
  ASSERT_TRUE(m_job->OnFilePrintDirect(none));
  EXPECT_EQ(pdfPages(m_profile.file("REC1.pdf")), int(m_job->PageCount()));
  EXPECT_TRUE(m_status.endsWith("REC1.pdf"));

  platform::Profile().WriteProfileInt("Settings", "PreviewPages", 2);
  int shown = 0;
  onDialog<QPrintPreviewDialog>([&](QPrintPreviewDialog& d) {
    auto* preview = d.findChild<QPrintPreviewWidget*>();
    shown = preview->pageCount() * 10 + (preview->viewMode() == QPrintPreviewWidget::FacingPagesView ? 2 : 1);
    preview->setViewMode(QPrintPreviewWidget::SinglePageView);
    d.reject();
  });
  m_job->OnFilePrintPreview(none);
  EXPECT_EQ(shown, int(m_job->PageCount()) * 10 + 2);
  EXPECT_EQ(platform::Profile().GetProfileInt("Settings", "PreviewPages", 0), 1u);
}

}  // namespace
