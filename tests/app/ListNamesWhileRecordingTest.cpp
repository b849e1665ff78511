// The program in list mode on a running MDB recording from the simulator: the names
// stand beside the bytes while new items keep arriving, not only once they stop.
#include "display/CItem.h"
#include "display/CVRIMView.h"
#include "support/ProgramHost.h"

using ListNamesWhileRecording = testsupport::ProgramHost;

TEST_F(ListNamesWhileRecording, NamesStayBesideTheBytesOfARunningRecording) {
  SKIP_CHILD_PROCESS_UNDER_TSAN();
  start({"--scenario", "mdb", "--rate", "300", "--count", "0"}, 58, 58, [] {
    platform::Profile().WriteProfileInt("PropertyPage1", "Protocol", 1);
    platform::Profile().WriteProfileInt("General", "DisplayAttribute", 8);
  });
  press(Qt::Key_F5);
  CVRIMView* view = m_app->GetActiveView();
  ASSERT_TRUE(testsupport::waitFor([&] { return view->IsRecording() && view->GetFirstItem() > 0; }, 10000));

  // While the screen keeps moving, names come back beside the new bytes each time;
  // each step waits for its condition, however slowly a loaded machine gets there.
  auto named = [&] {
    for (uint32_t i = 0; i < view->GetCellCount(); ++i)
      if (view->cell(i) && !view->cell(i)->text().isEmpty()) return true;
    return false;
  };
  for (int k = 0; k < 10; ++k) {
    const uint32_t before = view->GetItemCount();
    ASSERT_TRUE(testsupport::waitFor([&] { return view->GetItemCount() > before; }, 20000)) << "still recording";
    EXPECT_TRUE(testsupport::waitFor(named, 20000)) << "names beside the bytes of step " << k;
  }
  EXPECT_TRUE(m_box.texts().empty());
}
