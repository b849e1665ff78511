#include "display/PatternHistory.h"

#include <QComboBox>

#include "capture/PatternText.h"
#include "platform/ProfileStore.h"

namespace {

const int READ_BACK_ENTRIES = 10;

}  // namespace

QComboBox* NewPatternList(QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setEditable(true);
  list->setInsertPolicy(QComboBox::NoInsert);
  list->setCompleter(nullptr);
  return list;
}

void LoadPatternHistory(QComboBox* list, const QString& section, const QString& baseKey,
                        const QString& selectionKey) {
  platform::ProfileStore& profile = platform::Profile();
  for (int i = 0; i < READ_BACK_ENTRIES; ++i) {
    const std::optional<QByteArray> value = profile.GetProfileBinary(section, patternValueKey(baseKey, i));
    if (!value || value->isEmpty()) continue;
    // A value longer than a pattern buffer is shown (and later stored) cut to it.
    const uint32_t count = static_cast<uint32_t>(std::min<qsizetype>(value->size(), PATTERN_MAX_BYTES));
    QString text;
    BytesToHexText(reinterpret_cast<const uint8_t*>(value->constData()), count, text);
    list->addItem(text);
  }
  const uint32_t selected = profile.GetProfileInt(section, selectionKey, 0);
  const int index = selected < static_cast<uint32_t>(READ_BACK_ENTRIES) ? static_cast<int>(selected) : 0;
  list->setCurrentIndex(index < list->count() ? index : -1);
  if (list->currentIndex() < 0) list->setEditText(QString());
}

bool StorePatternHistory(QComboBox* list, const QString& section, const QString& baseKey,
                         const QString& selectionKey, const std::function<void()>& updateControls) {
  platform::ProfileStore& profile = platform::Profile();
  profile.WriteProfileInt(section, selectionKey, list->currentIndex());

  const QString typed = list->currentText();
  QString pattern = typed;
  if (!NormalizeHexText(pattern)) return false;

  if (updateControls) updateControls();
  const int existing = list->findText(pattern, Qt::MatchFixedString);
  if (existing < 0) {
    list->insertItem(0, pattern);
    list->setCurrentIndex(0);
    list->setEditText(typed);
    profile.WriteProfileInt(section, selectionKey, 0);
  } else if (existing != list->currentIndex()) {
    // The combo box keeps its earlier selection while the user types; the text typed
    // names another entry, and that entry is the pattern to use.
    list->setCurrentIndex(existing);
    list->setEditText(typed);
    profile.WriteProfileInt(section, selectionKey, existing);
  }

  for (int i = 0; i < list->count(); ++i) {
    QString entry = list->itemText(i);
    if (!NormalizeHexText(entry)) continue;
    const QByteArray bytes = HexTextToBytes(entry);
    profile.WriteProfileBinary(section, patternValueKey(baseKey, i), bytes.constData(),
                               static_cast<uint32_t>(bytes.size()));
  }
  return true;
}
