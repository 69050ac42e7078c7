#include "viewer/twips.h"

#include <algorithm>
#include <cmath>

namespace murvik {

namespace {

constexpr int kTwipsPerInch = 1440;

// The fewest pixels an inch at which `twips` cover at least `pixels`.
int DpiFor(int pixels, int twips) {
  if (pixels <= 0 || twips <= 0) return 0;
  const long long dots = static_cast<long long>(pixels) * kTwipsPerInch;
  return static_cast<int>((dots + twips - 1) / twips);
}

}  // namespace

int TwipScale::ToPixels(int twips) const {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi_ / kTwipsPerInch));
}

int TwipScale::ToTwips(int pixels) const {
  return static_cast<int>(std::lround(static_cast<double>(pixels) * kTwipsPerInch / dpi_));
}

TwipScale ScaleThatFits(int logical_dpi, std::span<const PixelNeed> needs) {
  int dpi = logical_dpi;
  for (const PixelNeed& need : needs) {
    dpi = std::max({dpi, DpiFor(need.width, need.design.width), DpiFor(need.height, need.design.height)});
  }
  return TwipScale(dpi);
}

}  // namespace murvik
