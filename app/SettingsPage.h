#pragma once

#include <QWidget>
#include <cstdint>

class QComboBox;
class QGridLayout;

// A page of the settings sheet. It reads its profile section when it is first
// shown; every change the user makes marks it modified; leaving it takes its
// controls into its fields and keeps the user on it when a field is refused. A
// shown page saves its whole section when the sheet applies and again when the
// sheet closes, whatever closed it, so Cancel stores a shown page as its controls
// hold it. A page never shown reads and writes nothing.
class SettingsPage : public QWidget {
  Q_OBJECT
public:
  explicit SettingsPage(const QString& title, QWidget* parent = nullptr);

  const QString& title() const { return m_title; }
  bool IsCreated() const { return m_created; }
  bool IsModified() const { return m_modified; }
  void SetModified(bool modified);

  // The page is shown: the first time, it reads its section; later it puts its
  // fields into its controls again.
  void Activate();
  // Takes the controls into the fields; false, after the user was told, when a
  // field is refused (the fields from it on keep their values).
  virtual bool UpdateData() { return true; }
  bool OnKillActive() { return UpdateData(); }
  bool OnApply();
  // The sheet closes.
  void OnDestroy();
  virtual void SaveSettings() = 0;

signals:
  void modifiedChanged();

protected:
  virtual void OnInitDialog() = 0;
  // Fields into the controls, for a page whose fields are not the controls themselves.
  virtual void UpdateControls() {}
  // Every change the user makes to the control marks the page modified.
  void watch(QWidget* control);
  // A control named (tests find it by the name) and watched.
  template <class T>
  T* watched(T* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    watch(control);
    return control;
  }
  // Appends a label and its control as the next row of the grid.
  void addRow(QGridLayout* grid, int& row, const char* label, QWidget* field);
  // Lists hold their stored index; one outside the list shows no selection and is
  // stored again as it was read.
  static void selectStored(QComboBox* list, uint32_t stored);
  static int32_t storedSelection(const QComboBox* list);

private:
  QString m_title;
  bool m_created = false;
  bool m_modified = false;
};
