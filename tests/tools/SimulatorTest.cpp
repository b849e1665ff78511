#include <gtest/gtest.h>

#include <QBuffer>
#include <memory>

#include "capture/CComm.h"
#include "capture/CHDLC.h"
#include "common/ItemRecord.h"
#include "support/RecordingMessageBox.h"
#include "support/SimProcess.h"
#include "support/TestSupport.h"
#include "update/BootDialogue.h"

using testsupport::SimProcess;

namespace {

class Simulator : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  }
  SimProcess& start(const QStringList& args) { return *(m_sim = std::make_unique<SimProcess>(args)); }
  testsupport::RecordingMessageBox m_box;
  std::unique_ptr<SimProcess> m_sim;
  CHDLC m_link;
};

TEST_F(Simulator, BootLoaderAnswersWithTheChecksumOfTheLinesAndMisbehavesOnRequest) {
  const struct { const char* fault; bool checksum, prompt, usbBoot; } cases[] = {
      {"--boot", true, true, true},           {"--boot-no-prompt", true, false, false},
      {"--boot-no-usbboot", true, true, false}, {"--boot-slow", false, false, false},
      {"--boot-no-checksum", false, true, true}};
  for (const auto& c : cases) {
    SimProcess& sim = start({"--com", "39", "--boot", c.fault});
    ASSERT_TRUE(sim.started());
    CComm boot;
    ASSERT_NE(boot.Open(39, nullptr, nullptr, false), CComm::INVALID_HANDLE);
    QByteArray file("123456789\n");
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    BootDialogue::SendFirmware(boot, buffer, [](uint32_t) {});
    QString checksum;
    EXPECT_EQ(BootDialogue::RequestChecksum(boot, checksum), c.checksum) << c.fault;
    EXPECT_EQ(checksum, c.checksum ? QString("E0117757") : QString());  // CRC-32 of the line
    EXPECT_EQ(BootDialogue::Probe(boot, false), c.prompt) << c.fault;
    EXPECT_EQ(BootDialogue::Probe(boot, true), c.usbBoot) << c.fault;
    EXPECT_TRUE(sim.waitForLog("boot-line 31 32 33 34 35 36 37 38 39 0a"));
    m_sim.reset();
  }
}

TEST_F(Simulator, ResendsItsFramesUntilAcknowledgedAndSurvivesGarbage) {
  SimProcess& sim = start({"--com", "44", "--count", "200", "--rate", "4000", "--garbage", "9", "--acquire"});
  ASSERT_TRUE(sim.started());
  // Nobody listens yet: the first frame goes out again and again.
  ASSERT_TRUE(sim.waitForLog("attempt=3"));
  // Once the link acknowledges (its frames taken so that its ring never fills), the
  // device goes on to its last record.
  ASSERT_TRUE(m_link.Open(44, 38400));
  uint8_t frame[256];
  uint32_t length = 0;
  EXPECT_TRUE(testsupport::waitFor([&] {
    while (m_link.Receive(1, frame, length)) {}
    return sim.count("acquire-done records=200") > 0;
  }, 20000));
  EXPECT_EQ(sim.items().size(), 200 * 6);
}

// A batch that is no whole number from the longest record to what one frame or datagram carries is refused.
TEST_F(Simulator, RefusesABatchThatIsNotAWholeNumberInRange) {
  const auto refused = [](const QStringList& args) {
    QProcess sim;
    sim.start(SimProcess::program(), args);
    return sim.waitForFinished(10000) && sim.exitCode() == 2 && sim.readAllStandardError().contains("--batch");
  };
  for (const char* batch : {"251", "abc", "-5", "0", "5", "4294967296", "99999999999", "12x"})
    EXPECT_TRUE(refused({"--com", "53", "--batch", batch})) << batch;
  EXPECT_TRUE(refused({"--lan", "--batch", "1025"}));
}

TEST_F(Simulator, ScenarioCoversTheRecordForms) {
  SimProcess& sim = start({"--com", "45", "--count", "3000", "--rate", "100000", "--acquire", "--silent",
                           "--scenario", "mixed", "--start-time", "4294900000"});
  ASSERT_TRUE(sim.started());
  EXPECT_FALSE(SimProcess({"--com", "46", "--scenario", "nonesuch"}).started());
  // Silent: records are made (and recorded as items) but nothing is sent.
  ASSERT_TRUE(sim.waitForLog("acquire-done records=3000"));
  const QByteArray items = sim.items();
  ASSERT_EQ(items.size(), 3000 * 6);
  // Flag forms (mask, value): delta and absolute time, mode, from the peripheral, the
  // three errors, a four-byte time.
  const std::pair<uint8_t, uint8_t> forms[] = {{0x02, 0x02}, {0x02, 0}, {0x01, 0x01}, {0x80, 0x80},
                                               {0x10, 0x10}, {0x08, 0x08}, {0x04, 0x04}, {0x60, 0x60}};
  int seen[std::size(forms)] = {};
  bool wrapped = false;
  for (qsizetype i = 0; i < items.size(); i += 6) {
    const ItemRecord r = itemFromBytes(reinterpret_cast<const uint8_t*>(items.constData() + i));
    for (size_t f = 0; f < std::size(forms); ++f) seen[f] += (r.flags & forms[f].first) == forms[f].second;
    wrapped |= i > 0 && r.time < itemFromBytes(reinterpret_cast<const uint8_t*>(items.constData() + i - 6)).time;
  }
  // More than the first record has an absolute time.
  for (size_t f = 0; f < std::size(forms); ++f) EXPECT_GT(seen[f], f == 1 ? 1 : 0) << f;
  EXPECT_TRUE(wrapped);  // the device clock passed 2^32
}

}  // namespace
