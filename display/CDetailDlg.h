#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

#include "common/AcquisitionHeader.h"

class CActiveFile;
class QLineEdit;

// "Details on this byte...": a small modeless window with nine fields on one item of
// the shown file: its number, character, transmission errors, times (from the start,
// to the previous item, to the reference item), the distance to the reference and
// the calendar date and time at which it was recorded. Close box, Escape and Enter
// only hide it. Its place on the screen is kept in the profile.
class CDetailDlg : public QDialog {
  Q_OBJECT

 public:
  // Control ids of the fields, in the order they are shown.
  static constexpr std::array<int, 9> FIELD_IDS = {1022, 1028, 1023, 1024, 1025, 1026, 1027, 1029, 1030};

  CDetailDlg(const CActiveFile& file, QWidget* parent);
  ~CDetailDlg() override;

  // The item that times and distances are measured to; ITEM_NONE for none.
  void SetReference(uint32_t item) { m_reference = item; }
  // Fills the nine fields for item i; every field shows "---" when the file holds no
  // such item.
  void ShowByte(uint32_t item);
  QString fieldText(int controlId) const;

  // The 44-byte window placement record: eleven little-endian 32-bit integers (length,
  // flags, show state 1 normal / 3 maximised, minimised x, y, maximised x, y, normal
  // left, top, right, bottom).
  static QByteArray PlacementRecord(const QRect& normal, bool maximised);
  // False for a record of any other length.
  static bool ParsePlacement(const QByteArray& record, QRect& normal, bool& maximised);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void savePlacement();
  QLineEdit* field(int controlId) const;

  const CActiveFile& m_file;
  std::array<QLineEdit*, 9> m_fields{};
  uint32_t m_reference;
  AcquisitionHeader m_header;  // its block size is the offset of item 0
};
