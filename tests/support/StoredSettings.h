#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <map>
#include <string>
#include <vector>

#include "support/WidgetDriver.h"

// Tables of what a user enters into a dialog and what the profile then holds, key by
// key, read back from the INI file by a reader of its own.
namespace testsupport {

// One key of a section: the control that sets it, and for each run what the user
// enters there and the text the key then holds (nullptr: the key is absent).
struct StoredSetting {
  const char* key;
  // Found by object name, else as the field of the label with this text, else as the
  // group box with this title whose radio button the input names. nullptr: the key
  // follows from other controls.
  const char* control;
  std::vector<std::pair<QString, const char*>> runs;
};

// Gives the control the input as a user does: types into an edit, clicks a check
// box into the state "1" or "0", clicks the radio button labelled input, and picks a
// list entry with the arrow keys (an editable list takes a text it does not hold typed).
inline void enter(QWidget* root, const char* control, const QString& input) {
  if (!control) return;
  QWidget* field = root->findChild<QWidget*>(QString::fromLatin1(control));
  for (QLabel* label : root->findChildren<QLabel*>())
    if (!field && label->text() == QLatin1String(control)) field = label->buddy();
  for (QGroupBox* group : root->findChildren<QGroupBox*>())
    if (!field && group->title() == QLatin1String(control))
      for (QRadioButton* radio : group->findChildren<QRadioButton*>())
        if (radio->text() == input) field = radio;
  ASSERT_TRUE(field) << control;
  if (auto* radio = qobject_cast<QRadioButton*>(field)) {
    click(radio);
  } else if (auto* box = qobject_cast<QCheckBox*>(field)) {
    if (box->isChecked() != (input == QLatin1String("1"))) click(box);
  } else if (auto* edit = qobject_cast<QLineEdit*>(field)) {
    type(edit, input);
  } else if (auto* list = qobject_cast<QComboBox*>(field)) {
    if (list->isEditable() && !entries(list).contains(input)) return type(list->lineEdit(), input);
    for (int n = list->count(); list->currentIndex() > 0 && n > 0; --n) QTest::keyClick(list, Qt::Key_Up);
    for (int n = list->count(); list->currentText() != input && n > 0; --n) QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentText(), input) << control;
  } else {
    ADD_FAILURE() << control << " is no control that takes input";
  }
}

inline void enterRun(QWidget* root, const std::vector<StoredSetting>& table, size_t run) {
  for (const StoredSetting& s : table) enter(root, s.control, s.runs.at(run).first);
}

// Every key of the section as text: integers and strings as stored, byte blocks as
// spaced hex.
inline std::map<std::string, std::string> iniSection(const QString& iniPath, const char* section) {
  QSettings ini(iniPath, QSettings::IniFormat);
  ini.beginGroup(QString::fromLatin1(section));
  std::map<std::string, std::string> out;
  for (const QString& key : ini.childKeys()) {
    const QVariant v = ini.value(key);
    const QString text = v.typeId() == QMetaType::QByteArray
                             ? QString::fromLatin1(v.toByteArray().toHex(' ').toUpper())
                             : v.toString();
    out[key.toStdString()] = text.toStdString();
  }
  return out;
}

inline std::map<std::string, std::string> expectedRun(const std::vector<StoredSetting>& table, size_t run) {
  std::map<std::string, std::string> out;
  for (const StoredSetting& s : table)
    if (const char* stored = s.runs.at(run).second) out[s.key] = stored;
  return out;
}

// A key stored under another key's name shows only when the two hold different
// values: the runs give every key a series of values of its own.
inline void expectDistinctSeries(const std::vector<StoredSetting>& table) {
  const auto series = [](const StoredSetting& s) {
    std::vector<std::string> out;
    for (const auto& run : s.runs) out.push_back(run.second ? run.second : "");
    return out;
  };
  for (size_t a = 0; a < table.size(); ++a)
    for (size_t b = a + 1; b < table.size(); ++b)
      EXPECT_NE(series(table[a]), series(table[b])) << table[a].key << " and " << table[b].key;
}

}  // namespace testsupport
