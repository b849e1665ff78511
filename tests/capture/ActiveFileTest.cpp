#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "capture/CActiveFile.h"
#include "platform/File.h"
#include "support/ActingMessageBox.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;

// Where item 0 starts, for files this system writes and for odd ones from elsewhere;
// a size field beyond the file must never lead a reader past its end.
TEST(ActiveFile, OffsetOfItemZeroAndItemCount) {
  testsupport::TempProfile tmp;
  testsupport::RecordingMessageBox boxes;
  const struct {
    const char* what;
    QByteArray bytes;
    bool hasHeader;
    uint32_t size;
    uint64_t items;
  } cases[] = {
      {"new file", hex("00 00 00 00 00 00 00 00 18 00 00 00 56 52 49 4D 00 00 00 00 00 00 E0 40"), true, 24, 0},
      {"short zero file", hex("00 00 00 00 00 00 00 00 18 00"), false, 0, 1},
      {"no header", hex("80 41 01 00 00 00 00 42 02 00 00 00"), false, 0, 2},
      {"legacy block with partial item", hex("00 00 00 00 00 00 00 00 0E 00 00 00 41 00 01 02 03 04 05 06 07"), true, 14,
       1},
      {"absurd size", hex("00 00 00 00 00 00 00 00 FF FF FF FF 01 02 03 04 05 06"), true, 0xFFFFFFFFu, 0},
      {"size beyond the file", hex("00 00 00 00 00 00 00 00 00 01 00 00 01 02 03 04 05 06"), true, 256, 0},
  };
  for (const auto& c : cases) {
    testsupport::writeWholeFile(tmp.file("H.ANL"), c.bytes);
    CActiveFile file;
    ASSERT_TRUE(file.Open(tmp.file("H.ANL"))) << c.what;
    uint32_t size = 7;
    EXPECT_EQ(std::pair(file.ReadCommentSize(size), size), std::pair(c.hasHeader, c.size)) << c.what;
    EXPECT_EQ(CActiveFile::ItemCount(file.GetLength(), size), c.items) << c.what;
    uint8_t item[6];
    const int64_t got = file.ReadAt(size, item, sizeof item);
    EXPECT_EQ(got > 0 ? got : 0, c.items ? 6 : 0) << c.what << ": nothing to read at or past the end";
  }
  EXPECT_EQ(boxes.count(), 0u);
}

// A modal box runs a nested event loop: while it is up, the view repaints from the
// shown file on the UI thread and the MDB decoder keeps reading it on its own thread.
TEST(ActiveFile, ReadersAreNotBlockedWhileAnOpenFailureIsShown) {
  testsupport::TempProfile tmp;
  testsupport::writeWholeFile(tmp.file("A.ANL"), hex("00 00 00 00 00 00 00 00 18 00 00 00"));
  CActiveFile file;
  std::future<int64_t> decoder;  // outlives the box, so a stuck read cannot hold it
  bool otherThreadDone = false, sameThreadOpen = true;
  QString sameThreadPath;
  int64_t sameThreadRead = 0;
  testsupport::ActingMessageBox box([&] {
    uint8_t item[6];
    decoder = std::async(std::launch::async, [&file] {
      uint8_t item[6];
      return file.ReadAt(0, item, sizeof item);
    });
    otherThreadDone = decoder.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    // The view's repaint is skipped when the other thread is stuck: this thread then holds its lock.
    if (!otherThreadDone) return;
    sameThreadOpen = file.IsOpen();
    sameThreadPath = file.GetPath();
    sameThreadRead = file.ReadAt(0, item, sizeof item);
  });
  ASSERT_TRUE(file.Open(tmp.file("A.ANL")));

  EXPECT_FALSE(file.Open(tmp.file("missing.ANL")));
  ASSERT_EQ(box.texts.size(), 1u);
  EXPECT_EQ(box.texts[0], "Open file failed, Error: 2\r\nFile: " + tmp.file("missing.ANL"));
  EXPECT_TRUE(otherThreadDone) << "another thread's read waited for the message box";
  EXPECT_FALSE(sameThreadOpen) << "a failed open leaves the file closed";
  EXPECT_EQ(sameThreadPath, tmp.file("A.ANL")) << "and keeps the earlier path";
  EXPECT_EQ(sameThreadRead, -1);

  // Reopening for writing is refused while a recording writes the file.
  const QString path = tmp.file("REC.ANL");
  platform::File writer;
  ASSERT_TRUE(writer.open(path, platform::File::Mode::CreateWriteShared));
  ASSERT_TRUE(writer.write("\0\0\0\0\0\0\0\0\x18\0\0\0", 12));
  ASSERT_TRUE(file.Open(path));
  EXPECT_FALSE(file.Reopen(true));
  ASSERT_EQ(box.texts.size(), 2u);
  EXPECT_EQ(box.texts[1], QStringLiteral("Open file failed, Error: 11\r\nFile: %1").arg(path));
  EXPECT_TRUE(otherThreadDone);
  EXPECT_EQ(sameThreadPath, path);
}
