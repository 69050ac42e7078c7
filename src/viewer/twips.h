// The one mapping between twips (1/1440 inch), in which the window's geometry
// is kept, and Qt's device-independent pixels, in which widgets are placed.
#ifndef MURVIK_VIEWER_TWIPS_H_
#define MURVIK_VIEWER_TWIPS_H_

#include <QRect>
#include <QSize>
#include <span>

#include "viewer/layout.h"

namespace murvik {

// pixels = twips x dpi / 1440, rounded to the nearest pixel.
class TwipScale {
 public:
  // 96 gives 15 twips a pixel. `dpi` must be positive.
  explicit TwipScale(int dpi = 96) : dpi_(dpi) {}

  // Pixels an inch (1440 twips) covers.
  int dpi() const { return dpi_; }
  double TwipsPerPixel() const { return 1440.0 / dpi_; }

  int ToPixels(int twips) const;
  int ToTwips(int pixels) const;
  QSize ToPixels(TwipSize size) const { return {ToPixels(size.width), ToPixels(size.height)}; }
  // Each of left, top, width and height converted on its own, so a control's
  // size in pixels does not change when it moves.
  QRect ToPixels(const TwipRect& r) const {
    return {ToPixels(r.left), ToPixels(r.top), ToPixels(r.width), ToPixels(r.height)};
  }
  TwipSize ToTwips(QSize size) const { return {ToTwips(size.width()), ToTwips(size.height())}; }

  friend bool operator==(const TwipScale&, const TwipScale&) = default;

 private:
  int dpi_;
};

// What a control needs in pixels to show its content whole, against its
// design size in twips. A need of 0 is no need.
struct PixelNeed {
  TwipSize design;
  int width = 0;
  int height = 0;
};

// The smallest scale of at least `logical_dpi` pixels an inch at which every
// design size comes out at least as large as its need.
TwipScale ScaleThatFits(int logical_dpi, std::span<const PixelNeed> needs);

}  // namespace murvik

#endif  // MURVIK_VIEWER_TWIPS_H_
