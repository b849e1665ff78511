#pragma once

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;

// "Trigger setup...": the recording trigger in "TriggerSetup" (on or off, start
// pattern and the items kept before it, the stop box, stop pattern and the items
// kept after it), with the two pattern histories. Only OK stores; the capture
// engine reads the section at every Start.
class CTriggerSetupDlg : public QDialog {
  Q_OBJECT
public:
  explicit CTriggerSetupDlg(QWidget* parent = nullptr);

  int DoModal() { return exec(); }

  static constexpr uint32_t MAX_ITEMS_AROUND_TRIGGER = 100;

private:
  void OnInitDialog();
  void OnOK();
  // Fields from the controls (false when a number is refused; the fields from it
  // on keep their values) and back.
  bool takeControls();
  void showFields();

  QComboBox* m_stopList;
  QComboBox* m_startList;
  QCheckBox* m_triggerStateBox;
  QCheckBox* m_stopRecordingBox;
  QLineEdit* m_leadingEdit;
  QLineEdit* m_trailingEdit;
  bool m_triggerState = false;
  bool m_stopRecording = false;
  uint32_t m_leading = 0;
  uint32_t m_trailing = 0;
};
