#pragma once

#include "app/SettingsPage.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// "Application Settings...": where and under which name acquisition files are
// made, the fragmentation size, the initial window size and the printing margins,
// in "PropertyPage3"; it also names the profile this copy uses.
class CMyPropertyPage3 : public SettingsPage {
  Q_OBJECT
public:
  explicit CMyPropertyPage3(QWidget* parent = nullptr);

  bool UpdateData() override;
  void SaveSettings() override;
  void OnBrowseFilePath();

protected:
  void OnInitDialog() override;
  void UpdateControls() override;

private:
  bool m_multiple = false;
  QString m_fileName;
  QString m_filePath;
  uint32_t m_bottom = 0;
  uint32_t m_left = 0;
  uint32_t m_right = 0;
  uint32_t m_top = 0;
  int32_t m_screenSize = 0;

  QComboBox* m_fragmentation;
  QCheckBox* m_multipleBox;
  QLineEdit* m_nameEdit;
  QLineEdit* m_pathEdit;
  QLineEdit* m_bottomEdit;
  QLineEdit* m_leftEdit;
  QLineEdit* m_rightEdit;
  QLineEdit* m_topEdit;
  QButtonGroup* m_screenSizes;
  QLabel* m_profileText;
};
