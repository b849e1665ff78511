#pragma once

#include <QDialog>

class QLabel;

// The About box: the application icon and one text with version and build date.
class CAboutDlg : public QDialog {
  Q_OBJECT
public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  static constexpr const char* VERSION = "04.11";
  static constexpr const char* BUILD_DATE = "30.05.2016";

  // The text as formatted at OnInitDialog.
  QString aboutText() const { return m_strAbout; }

private:
  void OnInitDialog();
  QString m_strAbout;
  QLabel* m_text = nullptr;
};
