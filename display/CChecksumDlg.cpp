#include "display/CChecksumDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "capture/CActiveFile.h"
#include "capture/HdlcFcs.h"
#include "common/ItemRecord.h"
#include "display/ItemBlockReader.h"
#include "platform/ProfileStore.h"

namespace {

const QString SECTION = QStringLiteral("ChecksumDlg");
const QString METHOD_KEY = QStringLiteral("ChecksumMethode");


}  // namespace

CChecksumDlg::CChecksumDlg(const CActiveFile& file, QWidget* parent) : QDialog(parent), m_file(file) {
  setWindowTitle(QStringLiteral("Calculate Checksum..."));
  auto* frame = new QGroupBox(this);
  auto* inner = new QVBoxLayout(frame);
  inner->addWidget(new QLabel(QStringLiteral("Select CRC or Checksum calculation methode:"), frame));
  m_methods = new QComboBox(frame);
  m_methods->setEditable(true);
  m_methods->setInsertPolicy(QComboBox::NoInsert);
  inner->addWidget(m_methods);
  m_range = new QLabel(frame);
  m_result = new QLabel(frame);
  m_range->setAlignment(Qt::AlignCenter);
  m_result->setAlignment(Qt::AlignCenter);
  inner->addWidget(m_range);
  inner->addWidget(m_result);
  auto* buttons = new QDialogButtonBox(frame);
  QPushButton* calculate = buttons->addButton(QStringLiteral("Calculate"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Exit"), QDialogButtonBox::RejectRole);
  calculate->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &CChecksumDlg::OnOK);
  connect(buttons, &QDialogButtonBox::rejected, this, &CChecksumDlg::reject);
  inner->addWidget(buttons);
  (new QVBoxLayout(this))->addWidget(frame);

  m_methods->addItem(QStringLiteral("MDB checksum by XOR selected bytes."));
  m_methods->addItem(QStringLiteral("CRC16 calculation with start value 0xFFFF (X-MODEM)."));
  const uint32_t stored = platform::Profile().GetProfileInt(SECTION, METHOD_KEY, 0);
  m_methods->setCurrentIndex(stored < 2 ? static_cast<int>(stored) : -1);
}

void CChecksumDlg::SetRange(uint32_t firstItem, uint32_t lastItem) {
  m_first = firstItem;
  m_last = lastItem;
}

void CChecksumDlg::showEvent(QShowEvent* event) {
  m_range->setText(QString::asprintf("Calculation on bytes #%u to #%u", m_first, m_last));
  QDialog::showEvent(event);
}

QString CChecksumDlg::rangeText() const { return m_range->text(); }
QString CChecksumDlg::resultText() const { return m_result->text(); }

uint16_t CChecksumDlg::Calculate(const CActiveFile& file, uint32_t firstItem, uint32_t lastItem, int method) {
  uint16_t crc = HdlcFcs::INIT;
  uint8_t sum = 0;
  if (lastItem >= firstItem) {
    uint32_t dataStart = 0;
    file.ReadCommentSize(dataStart);
    const uint64_t from = dataStart + uint64_t{firstItem} * ITEM_SIZE;
    ItemBlockReader reader(file, from, from + (uint64_t{lastItem} - firstItem + 1) * ITEM_SIZE);
    for (std::span<const uint8_t> block = reader.Next(); !block.empty(); block = reader.Next()) {
      const uint8_t* p = block.data() + 1;  // the data byte of each item
      const uint8_t* end = block.data() + block.size();
      if (method == METHOD_XOR) {
        for (; p < end; p += ITEM_SIZE) sum ^= *p;
      } else {
        for (; p < end; p += ITEM_SIZE) crc = HdlcFcs::Update(crc, *p);
      }
    }
  }
  if (method == METHOD_XOR) return sum;
  if (lastItem < firstItem) return 0;
  const uint16_t value = static_cast<uint16_t>(~crc);
  return static_cast<uint16_t>((value << 8) | (value >> 8));
}

void CChecksumDlg::OnOK() {
  // Whatever is chosen is what is computed; only the entry of the list tells which.
  const bool xorMethod = m_methods->currentIndex() == METHOD_XOR;
  const uint16_t value = Calculate(m_file, m_first, m_last, xorMethod ? METHOD_XOR : METHOD_CRC);
  m_result->setText(xorMethod ? QString::asprintf("Calculated checksum: 0x%02X", value)
                              : QString::asprintf("Calculated checksum: 0x%04X", value));
}

void CChecksumDlg::done(int result) {
  platform::Profile().WriteProfileInt(SECTION, METHOD_KEY, m_methods->currentIndex());
  QDialog::done(result);
}
