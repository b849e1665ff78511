#pragma once

#include <QDialog>
#include <array>

class CMyPropertyPage1;
class CMyPropertyPage2;
class CMyPropertyPage3;
class CMyPropertyPage4;
class QDialogButtonBox;
class QTabWidget;
class SettingsPage;

// "Analyzer Properties...": the four settings pages with OK, Cancel and Apply,
// built anew for every run of the Settings command. Leaving a page checks its
// fields first; OK and Apply save every page shown so far, and closing the sheet
// (OK, Cancel or the close box) saves them once more.
class CMyPropertySheet : public QDialog {
  Q_OBJECT
public:
  explicit CMyPropertySheet(QWidget* parent = nullptr);
  ~CMyPropertySheet() override;

  int DoModal() { return exec(); }
  void done(int result) override;

  QTabWidget* tabs() const { return m_tabs; }
  QDialogButtonBox* buttons() const { return m_buttons; }

private:
  void onPageChanged(int index);
  bool applyAll();
  void updateApply();

  QTabWidget* m_tabs;
  QDialogButtonBox* m_buttons;
  std::array<SettingsPage*, 4> m_pages{};
  int m_current = 0;
  bool m_closed = false;
};
