#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "capture/CActiveFile.h"
#include "platform/File.h"
#include "platform/MessageBoxService.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

// A modal box runs a nested event loop: while it is up, the view repaints from the
// shown file on the UI thread and the MDB decoder keeps reading it on its own thread.
// This box does both while it is "shown" and records what they got.
class ReadingMessageBox final : public platform::MessageBoxService {
public:
  explicit ReadingMessageBox(CActiveFile& file) : m_file(file) { platform::SetMessageBoxService(this); }
  ~ReadingMessageBox() override { platform::SetMessageBoxService(nullptr); }

  int show(const QString& text, unsigned) override {
    m_texts.push_back(text);
    // The decoder thread: must not be held up until the user closes the box.
    m_decoder = std::async(std::launch::async, [this] {
      uint8_t item[6];
      return m_file.ReadAt(0, item, sizeof item);
    });
    m_otherThreadDone = m_decoder.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    // The view, on the thread that shows the box; skipped when the other thread is
    // stuck, since then this thread holds the lock that it waits for.
    if (!m_otherThreadDone) return platform::IDOK;
    m_sameThreadOpen = m_file.IsOpen();
    m_sameThreadPath = m_file.GetPath();
    uint8_t item[6];
    m_sameThreadRead = m_file.ReadAt(0, item, sizeof item);
    return platform::IDOK;
  }

  CActiveFile& m_file;
  std::future<int64_t> m_decoder;
  std::vector<QString> m_texts;
  bool m_otherThreadDone = false;
  bool m_sameThreadOpen = true;
  QString m_sameThreadPath;
  int64_t m_sameThreadRead = 0;
};

}  // namespace

TEST(ActiveFileMessageBox, ReadersAreNotBlockedWhileTheOpenFailureIsShown) {
  testsupport::TempProfile tmp;
  testsupport::writeWholeFile(tmp.file("A.ANL"), hex("00 00 00 00 00 00 00 00 18 00 00 00"));
  CActiveFile file;
  ReadingMessageBox box(file);
  ASSERT_TRUE(file.Open(tmp.file("A.ANL")));

  EXPECT_FALSE(file.Open(tmp.file("missing.ANL")));
  ASSERT_EQ(box.m_texts.size(), 1u);
  EXPECT_EQ(box.m_texts[0], QStringLiteral("Open file failed, Error: 2\r\nFile: %1").arg(tmp.file("missing.ANL")));
  EXPECT_TRUE(box.m_otherThreadDone) << "another thread's read waited for the message box";
  EXPECT_FALSE(box.m_sameThreadOpen) << "a failed open leaves the file closed";
  EXPECT_EQ(box.m_sameThreadPath, tmp.file("A.ANL")) << "and keeps the earlier path";
  EXPECT_EQ(box.m_sameThreadRead, -1);
}

TEST(ActiveFileMessageBox, ReopenRefusedWhileRecordingLetsTheViewRead) {
  testsupport::TempProfile tmp;
  const QString path = tmp.file("REC.ANL");
  platform::File writer;  // the recording
  ASSERT_TRUE(writer.open(path, platform::File::Mode::CreateWriteShared));
  ASSERT_TRUE(writer.write("\0\0\0\0\0\0\0\0\x18\0\0\0", 12));
  CActiveFile file;
  ReadingMessageBox box(file);
  ASSERT_TRUE(file.Open(path));

  EXPECT_FALSE(file.Reopen(true));
  ASSERT_EQ(box.m_texts.size(), 1u);
  EXPECT_EQ(box.m_texts[0], QStringLiteral("Open file failed, Error: 11\r\nFile: %1").arg(path));
  EXPECT_TRUE(box.m_otherThreadDone);
  EXPECT_EQ(box.m_sameThreadPath, path);

  // After the recording ends the view can show the file again.
  writer.close();
  EXPECT_TRUE(file.Reopen(false));
  uint32_t size = 0;
  EXPECT_TRUE(file.ReadCommentSize(size));
  EXPECT_EQ(size, 24u);
}
