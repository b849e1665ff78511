#include "display/CSearchPatternDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "capture/CActiveFile.h"
#include "capture/PatternText.h"
#include "common/WindowMessages.h"
#include "display/PatternHistory.h"
#include "platform/AppWindows.h"
#include "platform/MessageBoxService.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"

namespace {

const QString SECTION = QString::fromLatin1(SEARCH_PATTERN_HISTORY.section);
const QString DIRECTION_KEY = QStringLiteral("Direction");

// A doubled ampersand shows as one.
const char* const DIRECTION_TEXTS[3] = {
    "Search both directions A <---> B, (MDB master transmit && receive).",
    "Search direction A ---> B only, (MDB master transmit). ",
    "Search direction A <--- B only, (MDB master receive).",
};

}  // namespace

CSearchPatternDlg::CSearchPatternDlg(const CActiveFile& file, QWidget* parent)
    : QDialog(parent), m_file(file) {
  setWindowTitle(QStringLiteral("Search Byte Pattern..."));
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  auto* frame = new QGroupBox(this);
  auto* inner = new QVBoxLayout(frame);
  inner->addWidget(new QLabel(QStringLiteral("Search byte pattern in HEX values:"), frame));
  m_list = NewPatternList(frame);
  m_list->setMaxVisibleItems(10);
  inner->addWidget(m_list);
  m_directions = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    auto* radio = new QRadioButton(QString::fromLatin1(DIRECTION_TEXTS[i]), frame);
    m_directions->addButton(radio, i);
    inner->addWidget(radio);
  }
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSearchPatternDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSearchPatternDlg::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frame);
  layout->addWidget(buttons);
  OnInitDialog();
}

void CSearchPatternDlg::OnInitDialog() {
  LoadPatternHistory(m_list, SEARCH_PATTERN_HISTORY);
  m_direction = platform::Profile().GetProfileInt(SECTION, DIRECTION_KEY, 0);
  updateControls();
}

void CSearchPatternDlg::updateControls() {
  if (m_direction > 2) return;
  // Exclusivity would keep a radio checked; the fields say which one is.
  m_directions->setExclusive(false);
  for (int i = 0; i < 3; ++i) m_directions->button(i)->setChecked(static_cast<uint32_t>(i) == m_direction);
  m_directions->setExclusive(true);
}

void CSearchPatternDlg::updateFields() {
  const int checked = m_directions->checkedId();
  if (checked >= 0) m_direction = static_cast<uint32_t>(checked);
}

void CSearchPatternDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Each showing starts in the pattern, so Enter is OK whatever button had the focus.
  m_list->setFocus();
}

void CSearchPatternDlg::accept() {
  updateFields();
  StorePatternHistory(m_list, SEARCH_PATTERN_HISTORY, [this] { updateControls(); });
  platform::Profile().WriteProfileInt(SECTION, DIRECTION_KEY, static_cast<int32_t>(m_direction));
  m_searchActive = false;
  FindNext();
  QDialog::accept();  // hides this modeless dialog; it and its list stay
}

void CSearchPatternDlg::FindNext() {
  m_state.found = 0;
  uint32_t dataStart = 0;
  m_file.ReadCommentSize(dataStart);
  // A search goes on only in the file, and at the item offset, that it started in.
  if (m_searchActive && (dataStart != m_state.dataStart || m_file.GetPath() != m_searchPath))
    m_searchActive = false;
  if (!m_searchActive) {
    m_state = SearchState{};
    m_state.dataStart = dataStart;
    m_state.position = dataStart;
    platform::ProfileStore& profile = platform::Profile();
    m_state.direction = profile.GetProfileInt(SECTION, DIRECTION_KEY, 0);
    const uint32_t selected =
        profile.GetProfileInt(SECTION, QString::fromLatin1(SEARCH_PATTERN_HISTORY.selectionKey), 0);
    const std::optional<QByteArray> value = profile.GetProfileBinary(
        SECTION, patternValueKey(QString::fromLatin1(SEARCH_PATTERN_HISTORY.baseKey), selected));
    if (!value || value->isEmpty()) return;
    m_state.patternLength = static_cast<uint32_t>(std::min<qsizetype>(value->size(), PATTERN_MAX_BYTES));
    std::memcpy(m_state.pattern, value->constData(), m_state.patternLength);
    m_searchActive = true;
    m_searchPath = m_file.GetPath();
  }
  ScanForPattern(m_file, m_state);
  if (!m_state.found) m_searchActive = false;
  platform::PostMessage(platform::ActiveViewWindow(), WM_SEARCH_DONE, 0, 0);
}

void CSearchPatternDlg::ShowEndMessage() const {
  platform::ShowMessageBox(
      QString::asprintf("End of aquisition file reached,\nFound total: %u occurrences.", m_state.occurrences),
      platform::MB_OK | platform::MB_ICONINFORMATION);
}
