#pragma once

#include <cstdint>
#include <memory>

class CDetailDlg;
class CSearchPatternDlg;
class CVRIMView;

// The view's routing to its analysis dialogs: the modeless byte detail and pattern
// search, made on first use (the detail dialog ends when the shown file may change,
// the search dialog when a search reached the end of the file), and the modal
// checksum, go-to and debug dialogs, made for one command each. The dialogs hold the
// logic; this hands them the view's state and brings what they found back to it.
class ViewDialogs {
 public:
  explicit ViewDialogs(CVRIMView& view);
  ~ViewDialogs();

  CDetailDlg* detailDialog() const { return m_detailDlg.get(); }
  CSearchPatternDlg* searchDialog() const { return m_searchDlg.get(); }

  // The shown file or its header may change: the detail dialog ends and the next
  // search step restarts.
  void ForgetShownFile();
  // Shows the item of a cell in the detail dialog, made on first use.
  void OnShowDetail(uint32_t cell);
  // The detail step of the cursor keys: the detail dialog takes the reference when
  // one is set, and the item of a cell is shown once the queue reaches it.
  void PostShowDetail(uint32_t cell);
  // The reference set on a cell: the detail dialog measures to it from now on.
  void ReferenceMoved(uint32_t reference);

  void OnSearchPattern();
  void OnContinueSearch();
  // A search step ended: the match is shown, or the end of the file is told and the
  // search dialog ends.
  void OnSearchResult();
  void OnGoToItem();
  void OnCalculateChecksum();
  void OnDebugInformation();

 private:
  void postHalted();

  CVRIMView& m_view;
  // Children of the view, for their place on the screen, and owned here.
  std::unique_ptr<CDetailDlg> m_detailDlg;
  std::unique_ptr<CSearchPatternDlg> m_searchDlg;
};
