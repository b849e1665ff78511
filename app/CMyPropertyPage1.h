#pragma once

#include "app/SettingsPage.h"

class QCheckBox;
class QComboBox;
class QLabel;

// "Communication Parameters...": the monitored bus (protocol, line settings, MDB
// receiver load and thresholds), realtime display and the swapped line display, in
// "PropertyPage1". Every save tells the view that the device settings changed, so
// the next Start sends them; the swap box swaps the display at once.
class CMyPropertyPage1 : public SettingsPage {
  Q_OBJECT
public:
  explicit CMyPropertyPage1(QWidget* parent = nullptr);

  void SaveSettings() override;
  // The line lists are enabled unless the protocol is MDB; marks the page modified.
  void UpdateLineControls();
  void OnSwapRxTx();

  static const char* const MDB_NOTE;

protected:
  void OnInitDialog() override;

private:
  void applyEnableRule();

  QComboBox* m_slaveThreshold;
  QComboBox* m_masterThreshold;
  QComboBox* m_masterLoad;
  QComboBox* m_stopBits;
  QComboBox* m_protocol;
  QComboBox* m_parity;
  QComboBox* m_dataBits;
  QComboBox* m_baudRate;
  QCheckBox* m_realtime;
  QLabel* m_note;
  QCheckBox* m_swap;
};
