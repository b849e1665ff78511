#include "display/CDebugDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CDebugDlg::CDebugDlg(uint32_t firstItem, uint32_t cellCount, uint32_t itemCount, uint32_t displayAttribute,
                     QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Debug Information..."));
  auto* frame = new QGroupBox(this);
  auto* form = new QFormLayout(frame);
  const char* const labels[4] = {"First Item:", "Total Items:", "Screen Items:", "Display Attributes:"};
  const uint32_t values[4] = {firstItem, itemCount, cellCount, displayAttribute};
  for (int i = 0; i < 4; ++i) {
    m_edits[i] = new QLineEdit(QString::number(values[i]), frame);
    form->addRow(QString::fromLatin1(labels[i]), m_edits[i]);
  }
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDebugDlg::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);
}

QString CDebugDlg::fieldText(int index) const {
  return index >= 0 && index < 4 ? m_edits[index]->text() : QString();
}
