#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <functional>

// Pixel checks for grabbed cells. Antialiased text is matched by its dominant channels, fills exactly.
namespace cellpixels {

inline int count(const QImage& img, const QRect& area, const std::function<bool(QColor)>& pred) {
  int n = 0;
  const QRect r = area.intersected(img.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (pred(img.pixelColor(x, y))) ++n;
  return n;
}

inline bool isRed(QColor c) { return c.red() > 170 && c.green() < 100 && c.blue() < 100; }
inline bool isBlue(QColor c) { return c.blue() > 170 && c.red() < 100 && c.green() < 100; }
inline bool isBlack(QColor c) { return c.red() < 60 && c.green() < 60 && c.blue() < 60; }
inline bool isWhite(QColor c) { return c.red() > 245 && c.green() > 245 && c.blue() > 245; }

}  // namespace cellpixels
