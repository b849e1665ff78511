#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <cstring>

#include "capture/CActiveFile.h"
#include "capture/CommentBlock.h"
#include "support/AcquisitionFile.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::anlHeader;
using testsupport::anlLead;
using testsupport::readWholeFile;
using testsupport::writeWholeFile;

namespace {

QByteArray u32(uint32_t v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }

QByteArray items(int count) {
  QByteArray out;
  for (int i = 0; i < count; ++i) out += QByteArray(1, char(i)) + char(i * 7) + u32(uint32_t(i) * 1000u);
  return out;
}
// A header block of the size holding the text: the current form with old bytes
// after the text's NUL, or the legacy lead with zeros.
QByteArray block(uint32_t size, const QByteArray& text = {}, bool current = true) {
  const QByteArray b = (current ? anlHeader(size) : anlLead(size)) + text;
  return b + QByteArray(qMax<qsizetype>(0, size - b.size()), current ? '\x55' : '\0');
}

// The write-back done the slow way, in place: every byte of the file moved up by what
// the block grows (the bytes below the move stay), then the header and the text at 0.
QByteArray writtenInPlace(QByteArray f, const QByteArray& text) {
  uint32_t block = 0;
  if (f.size() >= 12 && f.left(8) == QByteArray(8, 0)) std::memcpy(&block, f.constData() + 8, 4);
  const bool magic = block >= 24 && f.size() >= 24 && f.mid(12, 4) == "VRIM";
  const QByteArray date = f.mid(16, 8);
  if (const uint32_t needed = text.size() + 25; needed > block)
    f = f.left(needed - block).leftJustified(needed - block, '\0') + f, block = needed;
  const QByteArray head = anlLead(block) + (magic ? "VRIM" + date : QByteArray());
  return head + text + '\0' + f.mid(head.size() + text.size() + 1);
}

class CommentBlockTest : public ::testing::Test {
protected:
  // Opens the file read-write as the editor does and reads its block.
  CommentBlock::Found load(const QByteArray& content) {
    writeWholeFile(m_path, content);
    EXPECT_TRUE(m_file.Open(m_path));
    EXPECT_TRUE(m_file.Reopen(true));
    return m_block.Load(m_file);
  }
  testsupport::TempProfile m_tmp;
  testsupport::RecordingMessageBox m_box;
  QString m_path = m_tmp.file("c.anl");
  CActiveFile m_file;
  CommentBlock m_block;
};

}  // namespace

TEST_F(CommentBlockTest, OpeningFindsTheTextByTheBlocksFormAndWriteBackMovesInPlaceInEveryForm) {
  const struct { QByteArray content; CommentBlock::Found found; QByteArray text; } cases[] = {
      {items(3), CommentBlock::Found::NoBlock, ""},
      {block(12, "", false) + items(2), CommentBlock::Found::Empty, ""},
      {block(20, "legacy", false) + items(2), CommentBlock::Found::StoredText, "legacy"},
      {block(24) + items(2), CommentBlock::Found::Fresh, ""},
      {block(40, QByteArray("note\r\n\0x", 8)) + items(2), CommentBlock::Found::StoredText, "note\r\n"},
      {block(30, QByteArray("old text\0rest", 13), false) + items(1), CommentBlock::Found::StoredText, "old text"},
      // A block that claims more than the file holds: the bytes that exist.
      {anlLead(100000) + "tail", CommentBlock::Found::StoredText, "tail"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(load(c.content), c.found) << c.content.toHex().constData();
    EXPECT_EQ(m_block.Text(), c.text);
  }
  load(block(24));
  EXPECT_DOUBLE_EQ(m_block.StartOfRecording(), 45000.5);

  const QByteArray longText = QByteArray(198, 'x') + "\r\n";
  const struct { QByteArray content; QByteArray text; uint32_t blockAfter; } writes[] = {
      {block(24) + items(300), longText, 225},                          // grows, items move up by 201
      {block(80, "a long old comment\r\n") + items(5), "short\r\n", 80},  // keeps size and the bytes after
      {block(40, "same\r\n") + items(5), "same\r\n", 40},
      {block(20, "old", false) + items(100), "new legacy text\r\n", 42},        // stays legacy
      {items(200), "\r\n", 27},                                                // gains a legacy block
      {block(24), longText, 225},                                       // no items at all
      {anlLead(4000) + "xy", "\r\n", 4000},                     // block beyond the file's end
  };
  for (const auto& c : writes) {
    load(c.content);
    platform::FileError err;
    ASSERT_TRUE(m_block.Store(m_file, c.text, err));
    m_file.Reopen(false);
    const QByteArray written = readWholeFile(m_path);
    EXPECT_EQ(written, writtenInPlace(c.content, c.text)) << c.content.left(16).toHex().constData();
    EXPECT_EQ(m_block.BlockSize(), c.blockAfter);
  }
  EXPECT_TRUE(QDir(m_tmp.dir()).entryList(QDir::Hidden | QDir::Files).filter(".c.anl").isEmpty());
  // A line break ends every text.
  for (auto [text, stored] : {std::pair{"", "\r\n"}, {"a", "a\r\n"}, {"a\r", "a\r"}, {"a\n", "a\n"}})
    EXPECT_EQ(CommentBlock::WithLineBreak(text), stored) << text;
}

// The child half of the kill test: writes a comment that grows the block of the file.
TEST(CommentBlockChild, GrowsTheBlockWhenAsked) {
  const QString path = QString::fromLocal8Bit(qgetenv("VRIM_CHILD_COMMENT"));
  if (path.isEmpty()) return;
  CActiveFile file;
  ASSERT_TRUE(file.Open(path) && file.Reopen(true));
  CommentBlock block;
  block.Load(file);
  platform::FileError err;
  ASSERT_TRUE(block.Store(file, QByteArray(500, 'k') + "\r\n", err));
}

// However early or late the writing process dies, the file is the old one or the
// new one, never a mix.
TEST_F(CommentBlockTest, AKilledWriteBackLeavesTheOldOrTheNewFile) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  const QByteArray old = block(24) + items(3 << 20);  // 18 MiB of items
  const QByteArray grown = writtenInPlace(old, QByteArray(500, 'k') + "\r\n");
  for (int delayMs : {0, 5, 15, 30, 60, 120, 250, 2000}) {
    writeWholeFile(m_path, old);
    QProcess child;
    testsupport::startChildHalf(child, "CommentBlockChild.*", {"VRIM_CHILD_COMMENT=" + m_path});
    ASSERT_TRUE(child.waitForStarted(10000));
    ::usleep(delayMs * 1000);
    child.kill();
    child.waitForFinished(10000);
    const QByteArray now = readWholeFile(m_path);
    ASSERT_TRUE(now == old || now == grown) << "killed after " << delayMs << " ms";
  }
}
