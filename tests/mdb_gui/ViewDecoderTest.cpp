#include <gtest/gtest.h>

#include <QStringList>

#include "capture/CActiveFile.h"
#include "common/SystemTypes.h"
#include "common/WindowMessages.h"
#include "display/CItem.h"
#include "display/CVRIMView.h"
#include "mdb/CMDBInterpreter.h"
#include "platform/MessageWindow.h"
#include "platform/ProfileStore.h"
#include "support/TestSupport.h"
#include "tests/mdb/MdbTestView.h"
#include "tools/MdbScenarios.h"

namespace {

// The view drives the interpreter through its decoder interface.
class MdbDecoder final : public CVRIMView::ItemDecoder {
 public:
  explicit MdbDecoder(CVRIMView& view) : m_interpreter(view, view.activeFile()) {}
  void Start() override { m_interpreter.Control(MDBCTRL_START); }
  void Refresh() override { m_interpreter.Control(MDBCTRL_REFRESH); }
  void StopAndWait() override { m_interpreter.Control(MDBCTRL_STOP); }
  CMDBInterpreter m_interpreter;
};

// The real view with its real cells on an MDB recording: the list shows the names.
TEST(ViewWithMdbDecoder, ListCellsCarryTheNames) {
  testsupport::TempProfile profile;
  platform::Profile().WriteProfileInt(QStringLiteral("General"), QStringLiteral("DisplayAttribute"),
                                      int32_t(DISPLAY_LIST));
  platform::Profile().WriteProfileInt(QStringLiteral("PropertyPage1"), QStringLiteral("Protocol"),
                                      int32_t(PROTOCOL_MDB));
  uint32_t time = 0;
  const std::vector<ItemRecord> items =
      MdbScenarios::ToItems(MdbScenarios::Find("cashless-session").steps, time);
  const QString path = profile.file(QStringLiteral("MDB.ANL"));
  testsupport::writeWholeFile(path, mdbtest::acquisitionFile(items));

  CActiveFile file;
  auto view = std::make_unique<CVRIMView>(file);
  MdbDecoder* decoder = nullptr;
  view->SetDecoderFactory([&](CVRIMView& v) {
    auto d = std::make_unique<MdbDecoder>(v);
    decoder = d.get();
    return d;
  });
  view->resize(view->WidthForClient(700), 600);
  view->show();
  platform::PumpMessages();
  view->OnInitialUpdate();
  ASSERT_NE(decoder, nullptr);
  EXPECT_NE(decoder->m_interpreter.Control(MDBCTRL_GETTHREAD), 0);
  ASSERT_TRUE(file.Open(path));
  platform::PostMessage(view->handle(), WM_FILE_LOADED, 0, 0);
  platform::PumpMessages();
  ASSERT_GT(view->GetCellCount(), 12u);

  auto shown = [&] {
    QStringList texts;
    for (uint32_t i = 0; i < 10; ++i) texts << (view->cell(i) ? view->cell(i)->text() : QStringLiteral("?"));
    return texts.join('|') ==
           "CASHLESS #1: Reset|CHK Okay|ACK - Acknowledge|CASHLESS #1: Poll|CHK Okay|Just Reset|CHK Okay|"
           "ACK - Acknowledge|CASHLESS #1: Setup|Config Data";
  };
  EXPECT_TRUE(testsupport::waitFor(shown));

  // Hex mode decodes nothing: the cells' texts go with their new items and stay gone.
  view->SetDisplayMode(DISPLAY_HEX);
  const uint64_t passes = decoder->m_interpreter.GetPassCount();
  view->OnRefresh();
  ASSERT_TRUE(testsupport::waitFor([&] { return decoder->m_interpreter.GetPassCount() > passes; }));
  platform::PumpMessages();
  EXPECT_TRUE(view->cell(0)->text().isEmpty());

  view->SetDisplayMode(DISPLAY_LIST);
  EXPECT_TRUE(testsupport::waitFor(shown));

  view.reset();  // stops the decoder and waits for it
}

}  // namespace
