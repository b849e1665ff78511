#pragma once

#include <QDialog>
#include <cstdint>

class CActiveFile;
class QComboBox;
class QLabel;

// "Calculate Checksum...": computes a check value over the data bytes of the selected
// range of items, either their XOR (one byte) or their CRC-16/X-25 (initial value
// 0xFFFF, reflected polynomial 0x8408, final complement). "Calculate" computes, the
// dialog stays open; the chosen method is kept in the profile.
class CChecksumDlg : public QDialog {
  Q_OBJECT

 public:
  enum Method { METHOD_XOR = 0, METHOD_CRC = 1 };

  CChecksumDlg(const CActiveFile& file, QWidget* parent = nullptr);

  void SetRange(uint32_t firstItem, uint32_t lastItem);
  // The check value of items first to last of the file (none when last < first):
  // the XOR of the data bytes, or the CRC-16/X-25 with its two bytes as the result
  // text shows them (low byte first).
  static uint16_t Calculate(const CActiveFile& file, uint32_t firstItem, uint32_t lastItem, int method);

  QComboBox* methodList() const { return m_methods; }
  QString rangeText() const;
  QString resultText() const;

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnOK();

  const CActiveFile& m_file;
  uint32_t m_first = 0;
  uint32_t m_last = 0;
  QComboBox* m_methods = nullptr;
  QLabel* m_range = nullptr;
  QLabel* m_result = nullptr;
};
