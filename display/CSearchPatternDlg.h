#pragma once

#include <QDialog>
#include <QString>

#include "display/PatternSearch.h"

class CActiveFile;
class QButtonGroup;
class QComboBox;

// "Search Byte Pattern...": the modeless, always-on-top dialog of the pattern search
// with the search history and the three direction radios. It keeps the SearchState
// and runs the search steps; each step that had a pattern posts WM_SEARCH_DONE to the
// active view, which shows the match or, at the end of the file, the count.
class CSearchPatternDlg : public QDialog {
  Q_OBJECT

 public:
  CSearchPatternDlg(const CActiveFile& file, QWidget* parent);

  // One search step: continues the running search or, when none runs, restarts from
  // the stored "Direction" and "SelectedPattern" (not from what the controls show).
  void FindNext();
  const SearchState& GetSearchState() const { return m_state; }
  // The shown file or its header may have changed: the next step restarts.
  void RestartNextStep() { m_searchActive = false; }
  // "End of aquisition file reached, ..." with the count of the search.
  void ShowEndMessage() const;

  QComboBox* patternList() const { return m_list; }
  uint32_t direction() const { return m_direction; }

 protected:
  void accept() override;
  void showEvent(QShowEvent* event) override;

 private:
  void OnInitDialog();
  void updateControls();  // fields into the controls
  void updateFields();    // controls into the fields

  const CActiveFile& m_file;
  QComboBox* m_list = nullptr;
  QButtonGroup* m_directions = nullptr;
  bool m_searchActive = false;
  uint32_t m_direction = 0;
  SearchState m_state;
  QString m_searchPath;  // the file that the running search reads
};
