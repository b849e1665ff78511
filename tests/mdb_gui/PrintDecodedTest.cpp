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

// A list line's decoded text printed on a white page of a printer with that
// resolution at (x, y); returns the box around the ink.
QRect printed(CMDBInterpreter& decoder, uint32_t index, const ItemRecord& item, int dpi, int x, int y) {
  QImage img(4200, 800, QImage::Format_RGB32);
  img.setDotsPerMeterX(qRound(dpi / 0.0254));
  img.setDotsPerMeterY(qRound(dpi / 0.0254));
  img.fill(Qt::white);
  PrintState state;
  state.index = index;
  state.x = x;
  state.y = y;
  state.mode = DISPLAY_LIST;
  state.item = item;
  QPainter painter(&img);
  decoder.PrintDecoded(painter, state);
  painter.end();
  QRect box;
  for (int py = 0; py < img.height(); ++py)
    for (int px = 0; px < img.width(); ++px)
      if (qGray(img.pixel(px, py)) < 160) box |= QRect(px, py, 1, 1);
  return box;
}

TEST(PrintDecoded, TextLandsBesideTheLineJustPrintedScaledToTheDevice) {
  CActiveFile file;
  TestView view(4);
  CMDBInterpreter decoder(view, file);
  // 300 dpi: four printer pixels per screen pixel; the text stands 420 screen pixels
  // right of the line's start, above the print state's y within about one line.
  const QRect poll = printed(decoder, 0, vmc(0x0B, true), 300, 100, 400);
  EXPECT_GE(poll.left(), 100 + 420 * 4);
  EXPECT_LT(poll.left(), 100 + 420 * 4 + 40);
  EXPECT_LE(poll.bottom(), 400);
  EXPECT_GE(poll.top(), 400 - 11 * 4 * 2);
  // "CHANGER: Poll": 13 characters of about 4 screen pixels each.
  EXPECT_GT(poll.width(), 13 * 4 * 4 / 2);
  EXPECT_LT(poll.width(), 13 * 4 * 4 * 2);
  EXPECT_TRUE(printed(decoder, 1, vmc(0x0B), 300, 100, 450).isEmpty());  // the CHK: no text
  const QRect ack = printed(decoder, 2, peripheral(0x00, true), 300, 100, 500);
  EXPECT_GT(ack.width(), poll.width());  // "ACK - Acknowledge" is longer
  EXPECT_LE(ack.bottom(), 500);
  // Printing posts nothing to the cells (the ACK would carry the POLL's verdict in a pass).
  platform::PumpMessages();
  EXPECT_EQ(view.totalReceived(), 0);

  const QRect fine = printed(decoder, 0, vmc(0x12, true), 600, 0, 700);
  EXPECT_GE(fine.left(), 420 * 8);
  const QRect screen = printed(decoder, 0, vmc(0x12, true), 96, 0, 100);
  EXPECT_GE(screen.left(), 420);
  EXPECT_LT(screen.left(), 440);
  EXPECT_GT(fine.height(), screen.height() * 4);
}

}  // namespace
