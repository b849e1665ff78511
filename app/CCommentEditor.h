#pragma once

#include <QDialog>
#include <cstdint>

#include "capture/CommentBlock.h"

class CActiveFile;
class CVRIMApp;
class QPlainTextEdit;

// The comment editor: one edit control with the comment text in the shown file's
// header block. The file is held read-write and exclusive while the editor is open
// and read-only shared again once it closes (Esc or the close box); closing writes
// the text back, growing the block when the text no longer fits.
class CCommentEditor : public QDialog {
  Q_OBJECT
public:
  static constexpr const char* ANALYZER_VERSION = "04.11";
  static constexpr uint32_t VERSION_WAIT_MS = 1000;

  explicit CCommentEditor(CVRIMApp& app, QWidget* parent = nullptr);
  ~CCommentEditor() override;

  QPlainTextEdit* edit() const { return m_edit; }

  // The "Setting:" line's value from the profile's protocol and line settings.
  static QString GetProtocolSettingText();
  // The interface's firmware version ("%02u.%02u"), "Not connected." or
  // "Not available.".
  static QString GetInterfaceVersionText(CVRIMApp& app, uint8_t selector);
  // The lines offered for a block without text.
  static QString BuildDefaultText(CVRIMApp& app);

  void done(int result) override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool OnInitDialog();
  void OnDestroy();

  CVRIMApp& m_app;
  QPlainTextEdit* m_edit = nullptr;
  bool m_noFile = false;
  bool m_closed = false;
  CommentBlock m_block;
  CActiveFile& m_file;
  // The text as read and as the edit control first held it: the control knows one kind
  // of line break only, so an unedited text goes back as it was read.
  QByteArray m_readText;
  QString m_shownText;
};
