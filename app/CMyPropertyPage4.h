#pragma once

#include <vector>

#include "app/SettingsPage.h"

class QLineEdit;

// "Project Settings...": the personal and project data that the comment editor
// puts into the default comment of an acquisition file, in "PropertyPage4".
class CMyPropertyPage4 : public SettingsPage {
  Q_OBJECT
public:
  explicit CMyPropertyPage4(QWidget* parent = nullptr);

  void SaveSettings() override;

  static const char* const NOTE;

protected:
  void OnInitDialog() override;

private:
  struct Field {
    const char* key;
    QLineEdit* edit;
  };
  // In the order of their keys in the section.
  std::vector<Field> m_fields;
};
