#include "viewer/twips.h"

#include <gtest/gtest.h>

#include <vector>

namespace murvik {
namespace {

TEST(TwipScaleTest, NinetySixDpiIsFifteenTwipsAPixel) {
  const TwipScale scale(96);
  EXPECT_DOUBLE_EQ(scale.TwipsPerPixel(), 15.0);
  EXPECT_EQ(scale.ToPixels(kDesignInnerSize), QSize(618, 467));
  EXPECT_EQ(scale.ToPixels(TwipRect{6600, 6505, 1095, 375}), QRect(440, 434, 73, 25));
  EXPECT_EQ(scale.ToTwips(QSize(618, 467)), kDesignInnerSize);
  EXPECT_EQ(scale.ToTwips(267), 4005);
}

TEST(TwipScaleTest, RoundsToTheNearestUnit) {
  const TwipScale scale(118);  // 12.2 twips a pixel
  EXPECT_EQ(scale.ToPixels(9270), 760);  // 759.6
  EXPECT_EQ(scale.ToPixels(7005), 574);  // 574.02
  EXPECT_EQ(scale.ToTwips(760), 9275);   // 9274.6
  EXPECT_EQ(scale.ToPixels(0), 0);
}

struct FitCase {
  const char* name;
  int logical_dpi;
  std::vector<PixelNeed> needs;
  int dpi;
};

class ScaleThatFitsTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(ScaleThatFitsTest, ChoosesTheSmallestScaleThatFitsEveryNeed) {
  const FitCase& c = GetParam();
  const TwipScale scale = ScaleThatFits(c.logical_dpi, c.needs);
  EXPECT_EQ(scale.dpi(), c.dpi);
  for (const PixelNeed& need : c.needs) {
    EXPECT_GE(scale.ToPixels(need.design.width), need.width);
    EXPECT_GE(scale.ToPixels(need.design.height), need.height);
  }
}

// The needs Qt's default font (Sans Serif 9 pt at 96 DPI) gives the check
// box, the path box and the button.
const std::vector<PixelNeed> kDefaultFontNeeds = {
    {{1095, 375}, 89, 20},
    {{6495, 285}, 0, 22},
    {{855, 375}, 31, 22},
};

INSTANTIATE_TEST_SUITE_P(
    Needs, ScaleThatFitsTest,
    ::testing::Values(FitCase{"NoNeedsKeepsTheScreen", 96, {}, 96},
                      FitCase{"NeedsThatFitKeepTheScreen", 96, {{{1095, 375}, 73, 25}, {{6495, 285}, 0, 19}}, 96},
                      FitCase{"OnePixelMoreEnlarges", 96, {{{6495, 285}, 0, 20}}, 102},
                      FitCase{"DefaultFont", 96, kDefaultFontNeeds, 118},
                      FitCase{"LargerScreenScaleWins", 144, kDefaultFontNeeds, 144},
                      FitCase{"ZeroNeedsAreIgnored", 96, {{{0, 0}, 0, 0}}, 96}),
    [](const ::testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

TEST(ScaleThatFitsTest, OneDpiLessWouldCutTheDefaultFont) {
  const TwipScale chosen = ScaleThatFits(96, kDefaultFontNeeds);
  const TwipScale less(chosen.dpi() - 1);
  bool cut = false;
  for (const PixelNeed& need : kDefaultFontNeeds) {
    // Compare unrounded: the scale promises the design size covers the need.
    cut = cut || need.design.width * less.dpi() < need.width * 1440 ||
          need.design.height * less.dpi() < need.height * 1440;
  }
  EXPECT_TRUE(cut);
}

}  // namespace
}  // namespace murvik
