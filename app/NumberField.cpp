#include "app/NumberField.h"

#include <QLineEdit>

#include "platform/MessageBoxService.h"

bool takeUnsigned(QLineEdit* edit, uint32_t& field) {
  const QString text = edit->text().trimmed();
  bool ok = false;
  const qulonglong value = text.toULongLong(&ok, 10);
  // toULongLong takes a sign, which no such field may hold.
  if (ok && text.front().isDigit() && value <= UINT32_MAX) {
    field = static_cast<uint32_t>(value);
    return true;
  }
  platform::ShowMessageBox(QStringLiteral("Enter a positive integer."),
                           platform::MB_OK | platform::MB_ICONWARNING);
  edit->setFocus();
  edit->selectAll();
  return false;
}

void showUnsigned(QLineEdit* edit, uint32_t value) { edit->setText(QString::number(value)); }
