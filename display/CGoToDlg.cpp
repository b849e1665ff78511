#include "display/CGoToDlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/UnsignedText.h"
#include "platform/MessageBoxService.h"
#include "platform/ProfileStore.h"

namespace {
const QString SECTION = QStringLiteral("GoToDlg");
const QString NUMBER_KEY = QStringLiteral("ItemNumber");
}  // namespace

CGoToDlg::CGoToDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Go to a specifig item..."));
  auto* frame = new QGroupBox(this);
  auto* row = new QHBoxLayout(frame);
  row->addWidget(new QLabel(QStringLiteral("Enter Item Number:"), frame));
  m_edit = new QLineEdit(frame);
  row->addWidget(m_edit);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &CGoToDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CGoToDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);

  m_number = platform::Profile().GetProfileInt(SECTION, NUMBER_KEY, 0);
  m_edit->setText(QString::number(m_number));
  m_edit->selectAll();
}

void CGoToDlg::accept() {
  const std::optional<uint32_t> number = parseUnsignedText(m_edit->text());
  if (!number) {
    platform::ShowMessageBox(QStringLiteral("Enter a positive integer."),
                             platform::MB_OK | platform::MB_ICONWARNING);
    m_edit->setFocus();
    m_edit->selectAll();
    return;
  }
  m_number = *number;
  if (m_number <= m_max)
    QDialog::accept();
  else
    QDialog::reject();
}

void CGoToDlg::done(int result) {
  if (const std::optional<uint32_t> number = parseUnsignedText(m_edit->text())) m_number = *number;
  platform::Profile().WriteProfileInt(SECTION, NUMBER_KEY, static_cast<int32_t>(m_number));
  QDialog::done(result);
}
