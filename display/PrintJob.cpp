#include "display/PrintJob.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>

#include "capture/CActiveFile.h"
#include "common/CellCodes.h"
#include "display/CItem.h"
#include "display/CVRIMView.h"
#include "platform/MessageBoxService.h"
#include "platform/ProfileStore.h"

PrintJob::PrintJob(const PrintSource& source, QWidget* parent, StatusSink status)
    : m_layout(source), m_file(source.file), m_parent(parent), m_status(std::move(status)) {}

PrintSource PrintJob::SourceOf(CVRIMView& view, CMDBInterpreter* decoder) {
  PrintSource source;
  source.file = &view.activeFile();
  source.itemCount = view.GetItemCount();
  source.decoder = decoder;
  // Without a cell (a window too small for one) the view's own mode stands in.
  const CItem* cell0 = view.cell(0);
  const uint32_t cellMode = cell0 ? cell0->state() & CELL_MODE_MASK : 0;
  source.cellState =
      (cellMode ? cellMode : view.GetDisplayAttribute()) | (cell0 ? cell0->state() & CELL_SWAP : 0);
  source.protocol = cell0 ? cell0->protocol()
                          : platform::Profile().GetProfileInt(QStringLiteral("PropertyPage1"),
                                                              QStringLiteral("Protocol"), 0);
  return source;
}

bool PrintJob::sameDevice(const QPaintDevice& device) const {
  return device.width() == m_countedWidth && device.height() == m_countedHeight &&
         device.logicalDpiX() == m_countedDpiX && device.logicalDpiY() == m_countedDpiY;
}

uint32_t PrintJob::OnPreparePrinting(const QPaintDevice& device) {
  m_layout.SetUp(device);
  uint32_t pages = 0;
  bool last = false;
  while (!last && pages < MAX_PAGES) last = m_layout.OnPrint(nullptr, device, ++pages, MAX_PAGES);
  if (!last && !m_cutReported) {
    m_cutReported = true;
    platform::ShowMessageBox(
        QStringLiteral(
            "The file needs more than %1 pages in this display mode; only the first %1 pages are printed.")
            .arg(MAX_PAGES),
        platform::MB_OK | platform::MB_ICONINFORMATION);
  }
  m_pageCount = pages;
  m_countedWidth = device.width();
  m_countedHeight = device.height();
  m_countedDpiX = device.logicalDpiX();
  m_countedDpiY = device.logicalDpiY();
  m_layout.OnBeginPrinting();
  return pages;
}

bool PrintJob::PrintPages(QPrinter& printer, uint32_t from, uint32_t to, bool report) {
  // Another printer or paper picked in the dialog breaks the pages elsewhere: the
  // titles count the pages that really come out.
  if (!sameDevice(printer)) OnPreparePrinting(printer);
  to = std::min(to, m_pageCount);
  from = std::max<uint32_t>(from, 1);
  m_layout.OnBeginPrinting();
  bool last = false;
  for (uint32_t page = 1; page < from && !last; ++page)
    last = m_layout.OnPrint(nullptr, printer, page, m_pageCount);
  if (last || from > to) return true;

  QPainter painter;
  if (!painter.begin(&printer)) {
    const QString where =
        printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
    platform::ShowMessageBox(QStringLiteral("Printing failed: %1 cannot be written.").arg(where));
    return false;
  }
  for (uint32_t page = from; page <= to; ++page) {
    if (page > from) printer.newPage();
    if (m_layout.OnPrint(&painter, printer, page, m_pageCount)) break;
  }
  painter.end();
  if (report) reportDone(printer, to - from + 1);
  return true;
}

void PrintJob::reportDone(const QPrinter& printer, uint32_t pages) {
  if (!m_status) return;
  if (printer.outputFormat() == QPrinter::PdfFormat)
    m_status(QStringLiteral("Printed %1 page(s) to %2").arg(pages).arg(printer.outputFileName()));
  else
    m_status(QStringLiteral("Printed %1 page(s) on %2").arg(pages).arg(printer.printerName()));
}

bool PrintJob::OnFilePrint(QPrinter& printer) {
  const uint32_t count = OnPreparePrinting(printer);
  // The printer keeps the range of its last print; this file's pages are offered anew.
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(1, int(count));
  QPrintDialog dialog(&printer, m_parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange);
  dialog.setMinMax(1, int(count));
  if (dialog.exec() != QDialog::Accepted) return false;
  // Paper chosen in the dialog may change the count: all pages are those of the new one.
  const bool range = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
  return PrintPages(printer, range ? uint32_t(printer.fromPage()) : 1,
                    range ? uint32_t(std::max(printer.toPage(), printer.fromPage())) : MAX_PAGES);
}

bool PrintJob::OnFilePrintDirect(QPrinter& printer) {
  const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
  if (toFile ? !printer.outputFileName().isEmpty() : !QPrinterInfo::availablePrinterNames().isEmpty())
    return PrintPages(printer, 1, OnPreparePrinting(printer));
  // No printer at all and no file chosen: a PDF file beside the shown file, named
  // after it.
  const QFileInfo shown(m_file ? m_file->GetPath() : QString());
  if (shown.fileName().isEmpty()) return false;
  QPrinter pdf(QPrinter::HighResolution);
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setResolution(600);
  pdf.setPageLayout(printer.pageLayout());
  pdf.setOutputFileName(shown.dir().filePath(shown.completeBaseName() + QStringLiteral(".pdf")));
  return PrintPages(pdf, 1, OnPreparePrinting(pdf));
}

void PrintJob::OnFilePrintPreview(QPrinter& printer) {
  QPrintPreviewDialog dialog(&printer, m_parent);
  // The preview asks for every page again whenever it redraws; each time the pages
  // are laid out from page 1, as they can only be.
  QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                   [this](QPrinter* target) { PrintPages(*target, 1, MAX_PAGES, false); });
  QPrintPreviewWidget* preview = dialog.findChild<QPrintPreviewWidget*>();
  const QString section = QStringLiteral("Settings"), key = QStringLiteral("PreviewPages");
  // Through the toolbar's own action, so that its buttons mark the mode in use.
  QAction* facing = dialog.findChild<QAction*>(QStringLiteral("facingModeAction"));
  if (facing && platform::Profile().GetProfileInt(section, key, 0) == 2) facing->trigger();
  dialog.exec();
  if (preview)
    platform::Profile().WriteProfileInt(section, key,
                                        preview->viewMode() == QPrintPreviewWidget::FacingPagesView ? 2 : 1);
}
