#include "app/CMyPropertyPage4.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/ProfileStore.h"

namespace {
const QString SECTION = QStringLiteral("PropertyPage4");
}

const char* const CMyPropertyPage4::NOTE =
    "Note:\r\nThe information above will be added to the current analyzer aquisition file.\nYou may also add "
    "additional comments with the comment editor.\nAquisition parameter, date and time, are added "
    "automatically "
    "too.";

CMyPropertyPage4::CMyPropertyPage4(QWidget* parent)
    : SettingsPage(QStringLiteral("Project Settings..."), parent) {
  auto* outer = new QVBoxLayout(this);
  const auto group = [&](const char* title, std::initializer_list<std::pair<const char*, const char*>> rows) {
    auto* box = new QGroupBox(QString::fromLatin1(title), this);
    auto* form = new QFormLayout(box);
    for (const auto& [label, key] : rows) {
      auto* edit = watched(new QLineEdit(box), key);
      form->addRow(QString::fromLatin1(label), edit);
      m_fields.push_back({key, edit});
    }
    outer->addWidget(box);
  };
  group("Personal Data:", {{"Company Name:", "Company"},
                           {"User Name:", "UserName"},
                           {"Phone Number:", "PhoneNumber"},
                           {"E-Mail:", "MailAddress"}});
  group("Project data:", {{"Project:", "Project"}, {"Machine Type:", "Machine"}, {"Version:", "Version"}});
  auto* note = new QLabel(QString::fromLatin1(NOTE), this);
  note->setObjectName(QStringLiteral("projectnote"));
  note->setWordWrap(true);
  outer->addStretch(1);
  outer->addWidget(note);
}

void CMyPropertyPage4::OnInitDialog() {
  for (const Field& f : m_fields)
    f.edit->setText(platform::Profile().GetProfileString(SECTION, QString::fromLatin1(f.key), QString()));
}

void CMyPropertyPage4::SaveSettings() {
  for (const Field& f : m_fields)
    platform::Profile().WriteProfileString(SECTION, QString::fromLatin1(f.key), f.edit->text());
}
