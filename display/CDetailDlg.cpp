#include "display/CDetailDlg.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstring>
#include <optional>

#include "capture/CActiveFile.h"
#include "common/ItemRecord.h"
#include "common/OleDate.h"
#include "display/CellPaint.h"
#include "platform/ProfileStore.h"

namespace {

const QString SECTION = QStringLiteral("DetailDialog");
const QString PLACEMENT_KEY = QStringLiteral("Placement");
constexpr int PLACEMENT_SIZE = 44;
constexpr int32_t SHOW_NORMAL = 1;
constexpr int32_t SHOW_MAXIMISED = 3;
const QString NONE_TEXT = QStringLiteral("---");

const char* const FIELD_LABELS[9] = {
    "Byte number:",      "Distance to reference:", "Character ASCII code:", "Absolute time from begin:",
    "Time to previous:", "Time to reference:",     "Transmission error:",   "Recording time:",
    "Recording date:"};

}  // namespace

CDetailDlg::CDetailDlg(const CActiveFile& file, QWidget* parent)
    : QDialog(parent), m_file(file), m_reference(ITEM_NONE) {
  setWindowTitle(QStringLiteral("Details on this byte..."));
  auto* frame = new QGroupBox(this);
  auto* form = new QFormLayout(frame);
  for (size_t i = 0; i < FIELD_IDS.size(); ++i) {
    auto* edit = new QLineEdit(frame);
    edit->setAlignment(Qt::AlignCenter);
    edit->setObjectName(QString::number(FIELD_IDS[i]));
    form->addRow(QString::fromLatin1(FIELD_LABELS[i]), edit);
    m_fields[i] = edit;
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  setFixedSize(sizeHint());
  OnInitDialog();
}

CDetailDlg::~CDetailDlg() { savePlacement(); }

void CDetailDlg::OnInitDialog() {
  if (const std::optional<QByteArray> stored = platform::Profile().GetProfileBinary(SECTION, PLACEMENT_KEY)) {
    QRect normal;
    bool maximised = false;
    if (ParsePlacement(*stored, normal, maximised)) {
      move(normal.topLeft());
      if (maximised) setWindowState(Qt::WindowMaximized);
    }
  }
  m_header = m_file.ReadHeader().value_or(AcquisitionHeader{});
}

void CDetailDlg::savePlacement() {
  const QRect frame = frameGeometry();
  const QRect normal(frame.topLeft(), isMaximized() ? normalGeometry().size() : frame.size());
  const QByteArray record = PlacementRecord(normal, isMaximized());
  platform::Profile().WriteProfileBinary(SECTION, PLACEMENT_KEY, record.constData(), PLACEMENT_SIZE);
}

QByteArray CDetailDlg::PlacementRecord(const QRect& normal, bool maximised) {
  const int32_t values[11] = {PLACEMENT_SIZE,
                              0,
                              maximised ? SHOW_MAXIMISED : SHOW_NORMAL,
                              -1,
                              -1,
                              -1,
                              -1,
                              normal.left(),
                              normal.top(),
                              normal.left() + normal.width(),
                              normal.top() + normal.height()};
  return QByteArray(reinterpret_cast<const char*>(values), sizeof values);
}

bool CDetailDlg::ParsePlacement(const QByteArray& record, QRect& normal, bool& maximised) {
  if (record.size() != PLACEMENT_SIZE) return false;
  int32_t v[11];
  std::memcpy(v, record.constData(), sizeof v);
  maximised = v[2] == SHOW_MAXIMISED;
  normal = QRect(QPoint(v[7], v[8]), QSize(v[9] - v[7], v[10] - v[8]));
  return true;
}

QLineEdit* CDetailDlg::field(int controlId) const {
  for (size_t i = 0; i < FIELD_IDS.size(); ++i)
    if (FIELD_IDS[i] == controlId) return m_fields[i];
  return nullptr;
}

QString CDetailDlg::fieldText(int controlId) const {
  const QLineEdit* f = field(controlId);
  return f ? f->text() : QString();
}

void CDetailDlg::ShowByte(uint32_t i) {
  auto readItem = [this](uint32_t index, ItemRecord& r) {
    uint8_t bytes[ITEM_SIZE];
    if (index == ITEM_NONE ||
        m_file.ReadAt(m_header.blockSize + uint64_t{index} * ITEM_SIZE, bytes, ITEM_SIZE) != ITEM_SIZE)
      return false;
    r = itemFromBytes(bytes);
    return true;
  };
  auto set = [this](int id, const QString& text) { field(id)->setText(text); };
  ItemRecord item;
  if (!readItem(i, item)) {
    for (QLineEdit* f : m_fields) f->setText(NONE_TEXT);
    return;
  }
  const double t = itemSeconds(item);
  set(1022, QString::asprintf("%u", i + 1));

  set(1023, QStringLiteral("%1 - (%2)").arg(cellpaint::byteText(item.data)).arg(item.data));
  set(1024, QString::asprintf("%f", t));

  QString errors;
  if (item.flags & ITEM_FLAG_ERR_F) errors += QStringLiteral(" F");
  if (item.flags & ITEM_FLAG_ERR_O) errors += QStringLiteral(" O");
  if (item.flags & ITEM_FLAG_ERR_P) errors += QStringLiteral(" P");
  set(1027, errors.isEmpty() ? NONE_TEXT : errors);

  ItemRecord other;
  set(1025, i > 0 && readItem(i - 1, other) ? QString::asprintf("%f", t - itemSeconds(other)) : NONE_TEXT);
  // A reference that the file does not hold is as good as none.
  const bool hasReference = readItem(m_reference, other);
  set(1028, hasReference ? QString::asprintf("%d", static_cast<int32_t>(m_reference - i)) : NONE_TEXT);
  set(1026, hasReference ? QString::asprintf("%f", itemSeconds(other) - t) : NONE_TEXT);

  QString date = NONE_TEXT;
  QString time = NONE_TEXT;
  if (m_header.IsCurrentForm()) {
    const QDateTime at = OleDate::toDateTime(m_header.startDate + t / 86400.0);
    if (at.isValid()) {
      date = at.toString(QStringLiteral("dd.MM.yyyy"));
      time = at.toString(QStringLiteral("HH:mm:ss"));
    }
  }
  set(1030, date);
  set(1029, time);
}

void CDetailDlg::keyPressEvent(QKeyEvent* event) {
  // Without a default button Enter would do nothing; it ends the dialog as Escape does.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}
