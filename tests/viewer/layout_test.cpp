#include "viewer/layout.h"

#include <gtest/gtest.h>

namespace murvik {
namespace {

TEST(LayoutTest, DesignSizeGivesTheWorkedExampleExactly) {
  const ControlGeometry g = LayOut({9270, 7005}, kDesignInnerSize, DesignGeometry());
  EXPECT_EQ(g.text1, (TwipRect{0, 0, 9270, 6405}));
  EXPECT_EQ(g.txt_replay, (TwipRect{0, 6505, 7170, 285}));
  EXPECT_EQ(g.chk_lowercase, (TwipRect{7220, 6505, 1095, 375}));
  EXPECT_EQ(g.cmd_go, (TwipRect{8365, 6505, 855, 375}));
}

struct SizeCase {
  const char* name;
  TwipSize outer;
  TwipSize inner;
  bool lays_out;
};

class LayoutSizeTest : public ::testing::TestWithParam<SizeCase> {};

// The threshold reads the outer size; the layout itself the inner size. Every
// case starts from a layout at another size, so nothing carries over.
TEST_P(LayoutSizeTest, LaysOutFromTheThresholdUp) {
  const SizeCase& c = GetParam();
  const ControlGeometry before = LayOut({12000, 9000}, {11900, 8700}, DesignGeometry());
  const ControlGeometry after = LayOut(c.outer, c.inner, before);
  if (!c.lays_out) {
    EXPECT_EQ(after, before);
    return;
  }
  const int w = c.inner.width, h = c.inner.height;
  EXPECT_EQ(after.text1, (TwipRect{0, 0, w, h - 600}));
  EXPECT_EQ(after.txt_replay, (TwipRect{0, h - 500, w - 2100, 285}));
  EXPECT_EQ(after.chk_lowercase, (TwipRect{w - 2050, h - 500, 1095, 375}));
  EXPECT_EQ(after.cmd_go, (TwipRect{w - 905, h - 500, 855, 375}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LayoutSizeTest,
                         ::testing::Values(SizeCase{"ExactlyAtThreshold", {4000, 4000}, {4000, 4000}, true},
                                           SizeCase{"OneBelowInWidth", {3999, 4000}, {3999, 4000}, false},
                                           SizeCase{"OneBelowInHeight", {4000, 3999}, {4000, 3999}, false},
                                           SizeCase{"OneAboveInWidth", {4001, 4000}, {4001, 4000}, true},
                                           SizeCase{"OneAboveInHeight", {4000, 4001}, {4000, 4001}, true},
                                           SizeCase{"InnerBelowOuterAt", {4000, 4000}, {3880, 3520}, true},
                                           SizeCase{"InnerAboveOuterBelow", {3999, 9000}, {5000, 8000}, false},
                                           SizeCase{"Growing", {20000, 15000}, {19900, 14700}, true},
                                           SizeCase{"Shrinking", {5000, 5000}, {4900, 4700}, true}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace murvik
