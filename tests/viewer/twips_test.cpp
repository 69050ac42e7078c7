#include "viewer/twips.h"

#include <gtest/gtest.h>

#include <vector>

namespace murvik {
namespace {

TEST(TwipScaleTest, ConvertsToTheNearestUnit) {
  EXPECT_EQ(TwipScale(96).ToPixels(kDesignInnerSize), QSize(618, 467));
  EXPECT_EQ(TwipScale(96).ToTwips(267), 4005);
  EXPECT_EQ(TwipScale(118).ToPixels(9270), 760);  // 759.6
  EXPECT_EQ(TwipScale(118).ToTwips(760), 9275);   // 9274.6
}

struct FitCase {
  const char* name;
  int logical_dpi;
  std::vector<PixelNeed> needs;
  int dpi;
};

class ScaleThatFitsTest : public ::testing::TestWithParam<FitCase> {};

// The chosen scale fits every need, and one pixel an inch less would not.
TEST_P(ScaleThatFitsTest, ChoosesTheSmallestScaleThatFits) {
  const FitCase& c = GetParam();
  const int dpi = ScaleThatFits(c.logical_dpi, c.needs).dpi();
  EXPECT_EQ(dpi, c.dpi);
  bool one_less_fits = true;
  for (const PixelNeed& n : c.needs) {
    EXPECT_GE(TwipScale(dpi).ToPixels(n.design.width), n.width);
    EXPECT_GE(TwipScale(dpi).ToPixels(n.design.height), n.height);
    one_less_fits =
        one_less_fits && n.design.width * (dpi - 1) >= n.width * 1440 && n.design.height * (dpi - 1) >= n.height * 1440;
  }
  EXPECT_TRUE(dpi == c.logical_dpi || !one_less_fits);
}

// What Qt's default font (Sans Serif 9 pt at 96 DPI) needs for the check box,
// the path box and the button.
const std::vector<PixelNeed> kDefaultFontNeeds = {{{1095, 375}, 89, 20}, {{6495, 285}, 0, 22}, {{855, 375}, 31, 22}};

INSTANTIATE_TEST_SUITE_P(
    Needs, ScaleThatFitsTest,
    ::testing::Values(FitCase{"NoNeedsKeepsTheScreen", 96, {}, 96},
                      FitCase{"NeedsThatFitKeepTheScreen", 96, {{{1095, 375}, 73, 25}, {{6495, 285}, 0, 19}}, 96},
                      FitCase{"OnePixelMoreEnlarges", 96, {{{6495, 285}, 0, 20}}, 102},
                      FitCase{"DefaultFont", 96, kDefaultFontNeeds, 118},
                      FitCase{"LargerScreenScaleWins", 144, kDefaultFontNeeds, 144}),
    [](const ::testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace murvik
