#include "app/CTriggerSetupDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/NumberField.h"
#include "display/PatternHistory.h"
#include "platform/ProfileStore.h"

namespace {

const QString SECTION = QStringLiteral("TriggerSetup");

QComboBox* patternList(QWidget* parent, const char* name) {
  QComboBox* list = NewPatternList(parent);
  list->setObjectName(QString::fromLatin1(name));
  return list;
}

QLineEdit* countEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaximumWidth(60);
  return edit;
}

}  // namespace

CTriggerSetupDlg::CTriggerSetupDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Trigger setup..."));
  setModal(true);
  auto* frame = new QGroupBox(this);
  m_triggerStateBox =
      new QCheckBox(QStringLiteral("Enable / Disable recording trigger settings below."), frame);
  m_triggerStateBox->setObjectName(QStringLiteral("triggerstate"));
  m_startList = patternList(frame, "startpattern");
  m_leadingEdit = countEdit(frame, "leading");
  m_stopRecordingBox = new QCheckBox(QStringLiteral("Stop recording on crierias below."), frame);
  m_stopRecordingBox->setObjectName(QStringLiteral("stoprecording"));
  m_stopList = patternList(frame, "stoppattern");
  m_trailingEdit = countEdit(frame, "trailing");

  auto* grid = new QGridLayout(frame);
  grid->addWidget(m_triggerStateBox, 0, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Start trigger bytes pattern:"), frame), 1, 0, 1, 2);
  grid->addWidget(m_startList, 2, 0, 1, 2);
  grid->addWidget(m_leadingEdit, 3, 0);
  grid->addWidget(new QLabel(QStringLiteral("Leading bytes before Trigger, max. 100"), frame), 3, 1);
  grid->addWidget(m_stopRecordingBox, 4, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Stop trigger on byte pattern:"), frame), 5, 0, 1, 2);
  grid->addWidget(m_stopList, 6, 0, 1, 2);
  grid->addWidget(m_trailingEdit, 7, 0);
  grid->addWidget(new QLabel(QStringLiteral("Trailing bytes after Trigger, max. 100"), frame), 7, 1);
  grid->setColumnStretch(1, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &CTriggerSetupDlg::OnOK);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);
  OnInitDialog();
}

void CTriggerSetupDlg::OnInitDialog() {
  platform::ProfileStore& p = platform::Profile();
  m_triggerState = p.GetProfileInt(SECTION, QStringLiteral("TriggerState"), 0) != 0;
  LoadPatternHistory(m_startList, START_PATTERN_HISTORY);
  m_leading = p.GetProfileInt(SECTION, QStringLiteral("LeadingBytes"), 0);
  m_stopRecording = p.GetProfileInt(SECTION, QStringLiteral("StopRecording"), 0) != 0;
  LoadPatternHistory(m_stopList, STOP_PATTERN_HISTORY);
  m_trailing = p.GetProfileInt(SECTION, QStringLiteral("TrailingBytes"), 0);
  showFields();
}

bool CTriggerSetupDlg::takeControls() {
  m_triggerState = m_triggerStateBox->isChecked();
  m_stopRecording = m_stopRecordingBox->isChecked();
  return takeUnsigned(m_leadingEdit, m_leading) && takeUnsigned(m_trailingEdit, m_trailing);
}

void CTriggerSetupDlg::showFields() {
  m_triggerStateBox->setChecked(m_triggerState);
  m_stopRecordingBox->setChecked(m_stopRecording);
  showUnsigned(m_leadingEdit, m_leading);
  showUnsigned(m_trailingEdit, m_trailing);
}

void CTriggerSetupDlg::OnOK() {
  // Everything is stored even when a count is refused: the refused count and those
  // after it keep their values. Storing a valid pattern puts those values back into
  // the edits, so the closing check passes; without one the dialog stays open for
  // the correction.
  takeControls();
  platform::ProfileStore& p = platform::Profile();
  const auto showBack = [this] { showFields(); };
  p.WriteProfileInt(SECTION, QStringLiteral("TriggerState"), m_triggerState ? 1 : 0);
  StorePatternHistory(m_startList, START_PATTERN_HISTORY, showBack);
  m_leading = std::min(m_leading, MAX_ITEMS_AROUND_TRIGGER);
  p.WriteProfileInt(SECTION, QStringLiteral("LeadingBytes"), static_cast<int32_t>(m_leading));
  p.WriteProfileInt(SECTION, QStringLiteral("StopRecording"), m_stopRecording ? 1 : 0);
  StorePatternHistory(m_stopList, STOP_PATTERN_HISTORY, showBack);
  m_trailing = std::min(m_trailing, MAX_ITEMS_AROUND_TRIGGER);
  p.WriteProfileInt(SECTION, QStringLiteral("TrailingBytes"), static_cast<int32_t>(m_trailing));
  if (takeControls()) accept();
}
