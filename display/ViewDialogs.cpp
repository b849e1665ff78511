#include "display/ViewDialogs.h"

#include "common/ItemRecord.h"
#include "common/StatusCodes.h"
#include "common/WindowMessages.h"
#include "display/CChecksumDlg.h"
#include "display/CDebugDlg.h"
#include "display/CDetailDlg.h"
#include "display/CGoToDlg.h"
#include "display/CSearchPatternDlg.h"
#include "display/CVRIMView.h"
#include "platform/MessageWindow.h"

ViewDialogs::ViewDialogs(CVRIMView& view) : m_view(view) {}

ViewDialogs::~ViewDialogs() = default;

void ViewDialogs::postHalted() { platform::PostMessage(m_view.handle(), WM_VIEW_STATUS, STATUS_HALTED, 0); }

void ViewDialogs::ForgetShownFile() {
  m_detailDlg.reset();
  if (m_searchDlg) m_searchDlg->RestartNextStep();
}

void ViewDialogs::OnShowDetail(uint32_t cell) {
  if (!m_detailDlg) m_detailDlg = std::make_unique<CDetailDlg>(m_view.activeFile(), &m_view);
  m_detailDlg->showNormal();
  m_detailDlg->SetReference(m_view.GetReference());
  m_detailDlg->ShowByte(m_view.GetFirstItem() + cell);
  m_view.activateWindow();
  m_view.setFocus();
}

void ViewDialogs::PostShowDetail(uint32_t cell) {
  const uint32_t reference = m_view.GetReference();
  if (m_detailDlg && reference != ITEM_NONE) m_detailDlg->SetReference(reference);
  platform::PostMessage(m_view.handle(), WM_SHOW_DETAIL, 0, static_cast<intptr_t>(cell));
}

void ViewDialogs::ReferenceMoved(uint32_t reference) {
  if (m_detailDlg) m_detailDlg->SetReference(reference);
}

void ViewDialogs::OnSearchPattern() {
  if (!m_searchDlg) m_searchDlg = std::make_unique<CSearchPatternDlg>(m_view.activeFile(), &m_view);
  m_searchDlg->showNormal();
  m_searchDlg->raise();
  m_searchDlg->activateWindow();
}

void ViewDialogs::OnContinueSearch() {
  if (!m_searchDlg) return;
  m_searchDlg->hide();
  m_searchDlg->FindNext();
}

void ViewDialogs::OnSearchResult() {
  if (!m_searchDlg) return;
  const SearchState& state = m_searchDlg->GetSearchState();
  if (state.found) {
    m_view.ClearSearchMarks();
    platform::PumpMessages();
    // A header that changed since the search began has restarted it: dataStart holds.
    m_view.ScrollToItem(state.MatchFirstItem(state.dataStart), state.patternLength);
    postHalted();
    return;
  }
  m_searchDlg->ShowEndMessage();
  m_searchDlg.reset();
}

void ViewDialogs::OnGoToItem() {
  CGoToDlg dlg(&m_view);
  dlg.SetMax(m_view.GetItemCount());
  if (dlg.exec() != QDialog::Accepted) return;
  m_view.ClearSearchMarks();
  m_view.ScrollToItem(dlg.GetItemIndex(), 1);
  postHalted();
}

void ViewDialogs::OnCalculateChecksum() {
  CChecksumDlg dlg(m_view.activeFile(), &m_view);
  dlg.SetRange(m_view.GetRangeFirst(), m_view.GetRangeLast());
  dlg.exec();
}

void ViewDialogs::OnDebugInformation() {
  CDebugDlg dlg(m_view.GetFirstItem(), m_view.GetCellCount(), m_view.GetItemCount(), m_view.GetDisplayAttribute(),
                &m_view);
  dlg.exec();
}
