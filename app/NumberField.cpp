#include "app/NumberField.h"

#include <QLineEdit>

#include "common/UnsignedText.h"
#include "platform/MessageBoxService.h"

bool takeUnsigned(QLineEdit* edit, uint32_t& field) {
  if (const std::optional<uint32_t> value = parseUnsignedText(edit->text())) {
    field = *value;
    return true;
  }
  platform::ShowMessageBox(QStringLiteral("Enter a positive integer."),
                           platform::MB_OK | platform::MB_ICONWARNING);
  edit->setFocus();
  edit->selectAll();
  return false;
}

void showUnsigned(QLineEdit* edit, uint32_t value) { edit->setText(QString::number(value)); }
