#include "app/SettingsPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/ProfileStore.h"

namespace {
const char* const STORED_VALUE = "storedValue";
}

SettingsPage::SettingsPage(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {}

void SettingsPage::SetModified(bool modified) {
  if (m_modified == modified) return;
  m_modified = modified;
  emit modifiedChanged();
}

void SettingsPage::Activate() {
  if (m_created) {
    UpdateControls();
    return;
  }
  m_created = true;
  OnInitDialog();
}

bool SettingsPage::OnApply() {
  const platform::ProfileStore::Batch batch(platform::Profile());
  SaveSettings();
  SetModified(false);
  return true;
}

void SettingsPage::OnDestroy() {
  if (!m_created) return;
  const platform::ProfileStore::Batch batch(platform::Profile());
  SaveSettings();
}

void SettingsPage::watch(QWidget* control) {
  const auto modified = [this] { SetModified(true); };
  if (auto* edit = qobject_cast<QLineEdit*>(control))
    connect(edit, &QLineEdit::textEdited, this, modified);
  else if (auto* list = qobject_cast<QComboBox*>(control))
    connect(list, &QComboBox::activated, this, modified);
  else if (auto* button = qobject_cast<QAbstractButton*>(control))
    connect(button, &QAbstractButton::clicked, this, modified);
}

void SettingsPage::addRow(QGridLayout* grid, int& row, const char* label, QWidget* field) {
  grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
  grid->addWidget(field, row++, 1);
}

void SettingsPage::selectStored(QComboBox* list, uint32_t stored) {
  list->setProperty(STORED_VALUE, stored);
  list->setCurrentIndex(stored < static_cast<uint32_t>(list->count()) ? static_cast<int>(stored) : -1);
}

int32_t SettingsPage::storedSelection(const QComboBox* list) {
  if (list->currentIndex() >= 0) return list->currentIndex();
  return static_cast<int32_t>(list->property(STORED_VALUE).toUInt());
}
