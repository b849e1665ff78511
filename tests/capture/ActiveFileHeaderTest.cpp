#include <gtest/gtest.h>

#include "capture/CActiveFile.h"
#include "support/RecordingMessageBox.h"
#include "support/TestSupport.h"

using testsupport::hex;

namespace {

struct HeaderCase {
  const char* what;
  QByteArray bytes;
  bool hasHeader;
  uint32_t size;
  uint64_t items;
};

}  // namespace

// Where item 0 starts, for files this system writes and for odd ones from elsewhere;
// a size field beyond the file must never lead a reader past its end.
TEST(ActiveFileHeader, OffsetOfItemZeroAndItemCount) {
  testsupport::TempProfile tmp;
  testsupport::RecordingMessageBox boxes;
  const HeaderCase cases[] = {
      {"new file", hex("00 00 00 00 00 00 00 00 18 00 00 00 56 52 49 4D 00 00 00 00 00 00 E0 40"), true, 24, 0},
      {"short zero file", hex("00 00 00 00 00 00 00 00 18 00"), false, 0, 1},
      {"no header", hex("80 41 01 00 00 00 00 42 02 00 00 00"), false, 0, 2},
      {"legacy block with partial item", hex("00 00 00 00 00 00 00 00 0E 00 00 00 41 00 01 02 03 04 05 06 07"), true, 14,
       1},
      {"absurd size", hex("00 00 00 00 00 00 00 00 FF FF FF FF 01 02 03 04 05 06"), true, 0xFFFFFFFFu, 0},
      {"size beyond the file", hex("00 00 00 00 00 00 00 00 00 01 00 00 01 02 03 04 05 06"), true, 256, 0},
  };
  for (const HeaderCase& c : cases) {
    testsupport::writeWholeFile(tmp.file("H.ANL"), c.bytes);
    CActiveFile file;
    ASSERT_TRUE(file.Open(tmp.file("H.ANL"))) << c.what;
    uint32_t size = 7;
    EXPECT_EQ(file.ReadCommentSize(size), c.hasHeader) << c.what;
    EXPECT_EQ(size, c.size) << c.what;
    EXPECT_EQ(CActiveFile::ItemCount(file.GetLength(), size), c.items) << c.what;
    uint8_t item[6];
    const int64_t got = file.ReadAt(size, item, sizeof item);
    if (c.items == 0) EXPECT_LE(got, 0) << c.what << ": nothing to read at or past the end";
    else EXPECT_EQ(got, 6) << c.what;
  }
  EXPECT_EQ(boxes.count(), 0u);
}
