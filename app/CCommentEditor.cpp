#include "app/CCommentEditor.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <array>
#include <cstring>
#include <thread>

#include "app/CVRIMApp.h"
#include "app/SerialSettingsText.h"
#include "capture/CVRIMSocket.h"
#include "capture/DeviceCommands.h"
#include "common/Cp1252.h"
#include "common/OleDate.h"
#include "common/SystemTypes.h"
#include "platform/MessageBoxService.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "platform/TickCount.h"

namespace {

struct ProjectLine {
  const char* key;
  const char* format;
};
// The project data, in the order the lines follow the version line.
constexpr std::array<ProjectLine, 7> PROJECT_LINES = {{
    {"Company", "Company:\t\t%1\r\n"},
    {"UserName", "User name:\t%1\r\n"},
    {"PhoneNumber", "Phone number:\t%1\r\n"},
    {"MailAddress", "Mail address:\t%1\r\n"},
    {"Project", "Project name:\t%1\r\n"},
    {"Machine", "Object Type:\t%1\r\n"},
    {"Version", "Version:\t\t%1\r\n"},
}};

// The file holds "\r\n"; the edit control holds one line break per line.
QString toEditText(const QByteArray& bytes) {
  return Cp1252::toUnicode(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
// From the document's raw text: its plain text would turn a no-break space (A0) into
// a space, and an unchanged close must give back every byte it was given.
QByteArray fromEdit(const QPlainTextEdit& edit) {
  QString text = edit.document()->toRawText();
  for (QChar& ch : text)
    if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator) ch = QLatin1Char('\n');
  return Cp1252::fromUnicode(text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

}  // namespace

CCommentEditor::CCommentEditor(CVRIMApp& app, QWidget* parent)
    : QDialog(parent), m_app(app), m_file(app.GetActiveFile()) {
  setWindowTitle(QStringLiteral("Comment Editor..."));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  m_edit = new QPlainTextEdit(this);
  m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_edit->setFrameShape(QFrame::Box);
  m_edit->installEventFilter(this);
  // Stops every 32 dialog units: a TAB after a label of the default text leaves a gap
  // there, where Qt's 80 pixels can end right at the label's last letter.
  m_edit->setTabStopDistance(8 * QFontMetricsF(m_edit->font()).averageCharWidth());
  layout->addWidget(m_edit);
  // 300 x 250 dialog units in the dialog font.
  const QFontMetrics fm(font());
  resize(300 * fm.averageCharWidth() / 4, 250 * fm.height() / 8);
  OnInitDialog();
}

CCommentEditor::~CCommentEditor() { OnDestroy(); }

bool CCommentEditor::OnInitDialog() {
  QByteArray text;
  if (!m_file.Reopen(true)) {
    // Its message has been shown; the editor opens empty and writes nothing.
    m_noFile = true;
    return false;
  }
  switch (m_block.Load(m_file)) {
    case CommentBlock::Found::NoBlock:
      break;
    case CommentBlock::Found::Empty:
      text = Cp1252::fromUnicode(BuildDefaultText(m_app));
      break;
    case CommentBlock::Found::Fresh:
      text = QStringLiteral("Start of recording:\t%1\r\n").arg(OleDate::format(m_block.StartOfRecording())).toLatin1();
      text += Cp1252::fromUnicode(BuildDefaultText(m_app));
      break;
    case CommentBlock::Found::StoredText:
      text = m_block.Text();
      break;
  }
  m_edit->setPlainText(toEditText(text));
  m_readText = text;
  m_shownText = m_edit->document()->toRawText();
  m_edit->moveCursor(QTextCursor::Start);
  m_edit->ensureCursorVisible();
  return true;
}

bool CCommentEditor::eventFilter(QObject* watched, QEvent* event) {
  // The focus arrives without selecting the whole text.
  if (watched == m_edit && event->type() == QEvent::FocusIn) {
    QTextCursor cursor = m_edit->textCursor();
    cursor.clearSelection();
    m_edit->setTextCursor(cursor);
    m_edit->ensureCursorVisible();
  }
  return QDialog::eventFilter(watched, event);
}

void CCommentEditor::done(int result) {
  OnDestroy();
  QDialog::done(result);
}

void CCommentEditor::OnDestroy() {
  if (m_closed) return;
  m_closed = true;
  const bool edited = m_edit->document()->toRawText() != m_shownText;
  const QByteArray text = CommentBlock::WithLineBreak(edited ? fromEdit(*m_edit) : m_readText);
  if (!m_noFile) {
    platform::FileError error;
    if (!m_block.Store(m_file, text, error)) {
      platform::ShowMessageBox(QStringLiteral("Write file failed, Error: %1\r\nFile: %2\r\nThe comment was not stored.")
                                   .arg(error.cause)
                                   .arg(m_file.GetPath()),
                               platform::MB_OK | platform::MB_ICONERROR);
    }
  }
  m_file.Reopen(false);
}

QString CCommentEditor::GetProtocolSettingText() {
  switch (platform::Profile().GetProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Protocol"), 0)) {
    case PROTOCOL_STANDARD:
      return QStringLiteral("Standard: ") + SerialSettingsText();
    case PROTOCOL_MDB:
      return QStringLiteral("MDB: 9600-8-1-MODE");
    case PROTOCOL_EXECUTIVE:
      return QStringLiteral("Executive: 9600-8-1-E");
    case PROTOCOL_BDV:
      return QStringLiteral("BDV: 9600-8-1-E");
    default:
      return {};
  }
}

QString CCommentEditor::GetInterfaceVersionText(CVRIMApp& app, uint8_t selector) {
  if (!app.IsConnected()) return QStringLiteral("Not connected.");
  // Replies come only over the control socket: the serial link has none.
  CVRIMSocket* control = app.GetLinkType() == LINKTYPE_LAN ? app.GetControlSocket() : nullptr;
  const QByteArray frame = DeviceCommands::Version(selector);
  if (!control || control->Send(frame.constData(), static_cast<int>(frame.size())) != frame.size())
    return QStringLiteral("Not available.");
  // Replies are taken in while waiting, so that the answer to this query is the one
  // shown, not one still held from before.
  const uint32_t deadline = platform::GetTickCount() + VERSION_WAIT_MS;
  std::array<uint8_t, 256> reply{};
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    platform::PumpMessages();
    if (app.ReadControlReply(reply.data())) break;
    if (static_cast<int32_t>(platform::GetTickCount() - deadline) > 0) return QStringLiteral("Not available.");
  }
  return QStringLiteral("%1.%2").arg(reply[3], 2, 10, QLatin1Char('0')).arg(reply[4], 2, 10, QLatin1Char('0'));
}

QString CCommentEditor::BuildDefaultText(CVRIMApp& app) {
  QString text = QStringLiteral("Commented:\t%1\r\n").arg(OleDate::format(OleDate::now()));
  text += QStringLiteral("Setting:\t\t%1\r\n").arg(GetProtocolSettingText());
  text += QStringLiteral("Version:\t\tAnalyzer: %1, Interface: %2\r\n")
              .arg(QLatin1String(ANALYZER_VERSION), GetInterfaceVersionText(app, 1));
  for (const ProjectLine& line : PROJECT_LINES) {
    const QString value =
        platform::Profile().GetProfileString(QStringLiteral("PropertyPage4"), QLatin1String(line.key), QString());
    if (!value.isEmpty()) text += QString::fromLatin1(line.format).arg(value);
  }
  return text;
}
