#pragma once

#include <QByteArray>
#include <cstdint>

#include "common/AcquisitionHeader.h"
#include "platform/File.h"

class CActiveFile;

// The comment block at the head of an acquisition file as the comment editor reads
// and writes it: the header found on opening, whose form is the form written back,
// and the stored text.
class CommentBlock {
public:
  // Header bytes and the text's NUL: the block holds the text plus this much.
  static constexpr uint32_t BLOCK_OVERHEAD = ACQUISITION_HEADER_SIZE + 1;

  // What opening found, which decides the text the editor starts with.
  enum class Found {
    NoBlock,     // items from byte 0: empty text
    Empty,       // a block of 12 bytes or less: the default text
    Fresh,       // a current block of exactly 24 bytes: the start line and the default text
    StoredText,  // the text stored in the block
  };

  // Reads the block of the shown file.
  Found Load(const CActiveFile& file);

  uint32_t BlockSize() const { return m_header.blockSize; }
  bool HasMagic() const { return m_header.magic; }
  double StartOfRecording() const { return m_header.startDate; }
  // The stored text up to its NUL (StoredText only).
  const QByteArray& Text() const { return m_text; }

  // The text as it is written back: with a line break at its end.
  static QByteArray WithLineBreak(QByteArray text);

  // Writes text (already ending in a line break) back into the file held
  // read-write. When the block must grow, the new file is written beside the old
  // one and renamed over it, so that a failure or a killed process leaves the old
  // file whole; the caller then reopens the path. False leaves the file unchanged,
  // with the cause in error.
  bool Store(CActiveFile& file, const QByteArray& text, platform::FileError& error);

  // The bytes written at offset 0 for text: the header or the legacy lead, the
  // text and its NUL.
  QByteArray HeadBytes(const QByteArray& text, uint32_t blockSize) const;

private:
  bool grow(CActiveFile& file, const QByteArray& head, uint32_t growBy, platform::FileError& error);

  // The magic stands for the current form; the block size follows the block.
  AcquisitionHeader m_header;
  QByteArray m_text;
};
