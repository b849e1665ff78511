#pragma once

#include <QDialog>
#include <cstdint>

class QLineEdit;

// "Debug Information...": four counters of the view as they were when it opened.
class CDebugDlg : public QDialog {
  Q_OBJECT

 public:
  CDebugDlg(uint32_t firstItem, uint32_t cellCount, uint32_t itemCount, uint32_t displayAttribute,
            QWidget* parent = nullptr);

  // The edits in order: first item, total items, screen items, display attributes.
  QString fieldText(int index) const;

 private:
  QLineEdit* m_edits[4] = {};
};
