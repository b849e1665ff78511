#pragma once

#include <QString>
#include <functional>

class QComboBox;
class QWidget;

// The pattern histories of the search and trigger dialogs: each is kept in the
// profile as raw byte values under "<baseKey>_00", "<baseKey>_01", ... (newest first)
// plus the index of the selected entry. In memory a history is only the entries of
// its editable combo box, in canonical text form.

// An editable list for a history. It grows only when a store adds a new pattern, and
// it completes nothing: a typed text stays as typed, and Enter is the dialog's OK.
QComboBox* NewPatternList(QWidget* parent);

// Where each history lives: section, base of the value keys, selection key.
struct PatternHistoryKeys {
  const char* section;
  const char* baseKey;
  const char* selectionKey;
};
inline constexpr PatternHistoryKeys SEARCH_PATTERN_HISTORY{"SearchPattern", "BytePattern", "SelectedPattern"};
inline constexpr PatternHistoryKeys START_PATTERN_HISTORY{"TriggerSetup", "StartPattern", "StartTrigger"};
inline constexpr PatternHistoryKeys STOP_PATTERN_HISTORY{"TriggerSetup", "StopPattern", "StopTrigger"};

// Fills an empty list from entries 00 to 09 (absent or empty values are skipped, so
// list positions may differ from key numbers) and selects the stored entry; a stored
// index of 10 or more (also -1) selects entry 0.
void LoadPatternHistory(QComboBox* list, const QString& section, const QString& baseKey,
                        const QString& selectionKey);

// Takes the typed text as the pattern to use: writes the current selection, adds the
// normalized text at the top when it is new (then selecting it), and writes every
// entry. updateControls, when given, is the dialog's move of its fields into its
// controls, which runs before the list is looked at. False when the typed text holds
// no hex digit; only the selection is written then.
bool StorePatternHistory(QComboBox* list, const QString& section, const QString& baseKey,
                         const QString& selectionKey, const std::function<void()>& updateControls = {});

inline void LoadPatternHistory(QComboBox* list, const PatternHistoryKeys& keys) {
  LoadPatternHistory(list, QString::fromLatin1(keys.section), QString::fromLatin1(keys.baseKey),
                     QString::fromLatin1(keys.selectionKey));
}
inline bool StorePatternHistory(QComboBox* list, const PatternHistoryKeys& keys,
                                const std::function<void()>& updateControls = {}) {
  return StorePatternHistory(list, QString::fromLatin1(keys.section), QString::fromLatin1(keys.baseKey),
                             QString::fromLatin1(keys.selectionKey), updateControls);
}
