// The simulator's own limits; recordings over both links run in the program end-to-end tests.
#include <gtest/gtest.h>

#include "support/SimProcess.h"

using testsupport::SimProcess;

// A batch that is no whole number from the longest record to what one frame or datagram carries is refused.
TEST(LinkEndToEnd, TheSimulatorRefusesABatchThatIsNotAWholeNumberInRange) {
  if (!SimProcess::available()) GTEST_SKIP() << "qx7700-sim is not built";
  const auto refused = [](const QStringList& args) {
    QProcess sim;
    sim.start(SimProcess::program(), args);
    return sim.waitForFinished(10000) && sim.exitCode() == 2 && sim.readAllStandardError().contains("--batch");
  };
  for (const char* batch : {"251", "abc", "-5", "0", "5", "4294967296", "99999999999", "12x"})
    EXPECT_TRUE(refused({"--com", "53", "--batch", batch})) << batch;
  EXPECT_TRUE(refused({"--lan", "--batch", "1025"}));
}
