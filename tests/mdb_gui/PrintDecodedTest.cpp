#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRect>

#include "capture/CActiveFile.h"
#include "common/PrintState.h"
#include "mdb/CMDBInterpreter.h"
#include "platform/MessageWindow.h"
#include "tests/mdb/MdbTestView.h"

using namespace mdbtest;

namespace {

// The box around every pixel that is not white; empty when there is none.
QRect inkBox(const QImage& img) {
  QRect box;
  for (int y = 0; y < img.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if (qGray(line[x]) < 160) box |= QRect(x, y, 1, 1);
  }
  return box;
}

class PrintDecodedTest : public ::testing::Test {
 protected:
  // Prints one list line's decoded text; returns where ink landed.
  QRect print(const ItemRecord& item, int dpi, int x, int y) {
    QImage img(4200, 800, QImage::Format_RGB32);  // a white page of a printer with this resolution
    img.setDotsPerMeterX(qRound(dpi / 0.0254));
    img.setDotsPerMeterY(qRound(dpi / 0.0254));
    img.fill(Qt::white);
    PrintState state;
    state.index = m_index++;
    state.x = x;
    state.y = y;
    state.mode = DISPLAY_LIST;
    state.item = item;
    QPainter painter(&img);
    m_decoder.PrintDecoded(painter, state);
    painter.end();
    return inkBox(img);
  }

  CActiveFile m_file;
  TestView m_view{4};
  CMDBInterpreter m_decoder{m_view, m_file};
  uint32_t m_index = 0;
};

TEST_F(PrintDecodedTest, TextLandsOnTheLineJustPrinted) {
  // 300 dpi: four printer pixels per screen pixel.
  const QRect poll = print(vmc(0x0B, true), 300, 100, 400);
  ASSERT_FALSE(poll.isEmpty());
  EXPECT_GE(poll.left(), 100 + 420 * 4);
  EXPECT_LT(poll.left(), 100 + 420 * 4 + 40);
  EXPECT_LE(poll.bottom(), 400);            // above the print state's y ...
  EXPECT_GE(poll.top(), 400 - 11 * 4 * 2);  // ... within about one line
  // "CHANGER: Poll": 13 characters of about 4 screen pixels each.
  EXPECT_GT(poll.width(), 13 * 4 * 4 / 2);
  EXPECT_LT(poll.width(), 13 * 4 * 4 * 2);

  EXPECT_TRUE(print(vmc(0x0B), 300, 100, 450).isEmpty());  // the CHK: no text, nothing drawn

  const QRect ack = print(peripheral(0x00, true), 300, 100, 500);
  ASSERT_FALSE(ack.isEmpty());
  EXPECT_GT(ack.width(), poll.width());  // "ACK - Acknowledge" is longer
  EXPECT_LE(ack.bottom(), 500);
  // Printing posts nothing to the cells (the ACK would carry the POLL's verdict in a pass).
  platform::PumpMessages();
  EXPECT_EQ(m_view.totalReceived(), 0);
}

TEST_F(PrintDecodedTest, ScalesWithTheDeviceResolution) {
  const QRect fine = print(vmc(0x12, true), 600, 0, 700);
  ASSERT_FALSE(fine.isEmpty());
  EXPECT_GE(fine.left(), 420 * 8);

  m_index = 0;
  const QRect screen = print(vmc(0x12, true), 96, 0, 100);
  ASSERT_FALSE(screen.isEmpty());
  EXPECT_GE(screen.left(), 420);
  EXPECT_LT(screen.left(), 440);
  EXPECT_GT(fine.height(), screen.height() * 4);
}

}  // namespace
