// The boot-loader dialogue on a real pseudo-terminal whose device end has the
// boot loader's answer waiting before each exchange.
#include <gtest/gtest.h>

#include <QBuffer>
#include <vector>

#include "capture/CComm.h"
#include "support/PtyDevice.h"
#include "update/BootDialogue.h"

namespace {

constexpr uint32_t PORT = 80;

class BootPort : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_device.ok());
    ASSERT_NE(m_port.Open(PORT, nullptr, nullptr, false), CComm::INVALID_HANDLE);
  }
  void answer(const QByteArray& reply) {
    m_port.Purge();
    m_device.write(reply);
  }
  testsupport::PtyDevice m_device{PORT};
  CComm m_port;
};

}  // namespace

TEST_F(BootPort, APromptCountsOnlyWhenItsTerminatorComesWithinSixteenCharacters) {
  const struct { const char* reply; bool needUsbBoot, recognised; } cases[] = {{"\r\nUSBBOOT>", true, true},    {"\r\nBOOT>", true, false},          {"\r\nBOOT>", false, true},
               {"\r\nUSBBOOT", true, false},    {"0123456789ABCDEF>", false, false}, {"0123456789ABCDE>", false, true}};
  for (const auto& c : cases) {
    answer(c.reply);
    EXPECT_EQ(BootDialogue::Probe(m_port, c.needUsbBoot), c.recognised) << c.reply;
    EXPECT_EQ(m_device.read(1), QByteArray("\r"));
  }
}

TEST_F(BootPort, TheChecksumIsWhatFollowsTheFirst0xAtMostEightCharacters) {
  const struct { const char* reply; const char* text; } cases[] = {{"\r\nCRC-32 0x1234ABCD>", "1234ABCD"}, {"0x1F>", "1F"}, {"ab0x123456789A0x5>", "12345678"},
               {"X98765>", "98765"}};
  QString text;
  for (const auto& c : cases) {
    answer(c.reply);
    ASSERT_TRUE(BootDialogue::RequestChecksum(m_port, text)) << c.reply;
    EXPECT_EQ(text, QString(c.text));
    EXPECT_EQ(m_device.read(1), QByteArray("C"));
  }
  answer("0x12345678");
  EXPECT_FALSE(BootDialogue::RequestChecksum(m_port, text));
  EXPECT_EQ(BootDialogue::ChecksumText(""), QString());
}

TEST_F(BootPort, TheFileGoesLineByLineUntilALineCannotBeSentWhole) {
  const QByteArray longest = QByteArray(254, 'x') + '\n';
  const struct { QByteArray file, sent; uint32_t lines; } cases[] = {{":A\n:B\r\n", ":A\n:B\r\n", 2},
               {":A\n:B", ":A\n", 1},
               {":A\n" + QByteArray(300, 'x') + "\n:C\n", ":A\n", 1},
               {longest + ":B\n", longest + ":B\n", 2},
               {'y' + longest, "", 0}};
  for (auto c : cases) {
    QBuffer file(&c.file);
    file.open(QIODevice::ReadOnly);
    std::vector<uint32_t> shown;
    EXPECT_EQ(BootDialogue::SendFirmware(m_port, file, [&](uint32_t n) { shown.push_back(n); }), c.lines);
    EXPECT_EQ(shown.size(), c.lines);
    EXPECT_EQ(m_device.read(c.sent.size() + 1, 300), c.sent) << c.file.left(20).constData();
  }
}
