#pragma once

#include <QDialog>
#include <cstdint>

class QLineEdit;

// "Go to a specifig item...": takes a 1-based item number. OK with a number above the
// maximum ends the dialog as cancelled; a text that is no number keeps it open with
// "Enter a positive integer.". The number shown last is kept in the profile, also
// after Cancel.
class CGoToDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CGoToDlg(QWidget* parent = nullptr);

  void SetMax(uint32_t maximum) { m_max = maximum; }
  // The 0-based item: number - 1, and 0 for the number 0.
  uint32_t GetItemIndex() const { return m_number == 0 ? 0 : m_number - 1; }
  QLineEdit* numberEdit() const { return m_edit; }

 public slots:
  void accept() override;
  void done(int result) override;

 private:
  uint32_t m_number = 0;
  uint32_t m_max = 0;
  QLineEdit* m_edit = nullptr;
};
