#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "display/PrintLayout.h"

class CVRIMView;
class QPrinter;
class QWidget;

// One run of Print, direct Print or Print Preview of the shown file: the counting
// pass that finds the page count, the print dialog that offers pages 1 to the count,
// the skipping pass up to the first chosen page, and the pages themselves, laid out
// by PrintLayout.
//
// Where no printer is installed, the print dialog still offers a PDF file, and
// direct print writes a PDF file beside the shown file; the status sink is told
// where every print went.
class PrintJob {
 public:
  using StatusSink = std::function<void(const QString&)>;

  // The page count is a 16-bit number in the print dialog; a longer print is cut.
  static constexpr uint32_t MAX_PAGES = 65000;

  PrintJob(const PrintSource& source, QWidget* parent, StatusSink status);
  // What the view shows, as printing takes it: cell 0's form, sides and protocol.
  static PrintSource SourceOf(CVRIMView& view, CMDBInterpreter* decoder);

  bool OnFilePrint(QPrinter& printer);
  bool OnFilePrintDirect(QPrinter& printer);
  void OnFilePrintPreview(QPrinter& printer);

  // Counting pass on the device: the page count, at most MAX_PAGES (said once in a
  // message box when cut). Sets the margins for the job.
  uint32_t OnPreparePrinting(const QPaintDevice& device);
  // Prints pages from .. to (1-based, cut at the count) on the printer: pages before
  // from are laid out without output first. False when the printer cannot be used.
  // With report, the status sink is told where the pages went.
  bool PrintPages(QPrinter& printer, uint32_t from, uint32_t to, bool report = true);

  uint32_t PageCount() const { return m_pageCount; }

 private:
  // Tells the status sink where the print went.
  void reportDone(const QPrinter& printer, uint32_t pages);
  bool sameDevice(const QPaintDevice& device) const;

  PrintLayout m_layout;
  const CActiveFile* m_file;
  QWidget* m_parent;
  StatusSink m_status;
  uint32_t m_pageCount = 0;
  bool m_cutReported = false;
  int m_countedWidth = 0, m_countedHeight = 0, m_countedDpiX = 0, m_countedDpiY = 0;
};
