#include "viewer/layout.h"

#include <gtest/gtest.h>

namespace murvik {
namespace {

TEST(LayoutTest, DesignGeometryIsTheDesignedTable) {
  const ControlGeometry g = DesignGeometry();
  EXPECT_EQ(g.chk_lowercase, (TwipRect{6600, 6600, 1095, 375}));
  EXPECT_EQ(g.txt_replay, (TwipRect{0, 6600, 6495, 285}));
  EXPECT_EQ(g.text1, (TwipRect{0, 0, 9255, 6495}));
  EXPECT_EQ(g.cmd_go, (TwipRect{8160, 6600, 855, 375}));
}

TEST(LayoutTest, DesignSizeGivesTheWorkedExampleExactly) {
  const ControlGeometry g = LayOut({9270, 7005}, kDesignInnerSize, DesignGeometry());
  EXPECT_EQ(g.text1, (TwipRect{0, 0, 9270, 6405}));
  EXPECT_EQ(g.txt_replay, (TwipRect{0, 6505, 7170, 285}));
  EXPECT_EQ(g.chk_lowercase, (TwipRect{7220, 6505, 1095, 375}));
  EXPECT_EQ(g.cmd_go, (TwipRect{8365, 6505, 855, 375}));
  EXPECT_EQ(g.cmd_go.left + g.cmd_go.width, 9270 - 50);
}

struct ThresholdCase {
  const char* name;
  TwipSize outer;
  TwipSize inner;
  bool lays_out;
};

class LayoutThresholdTest : public ::testing::TestWithParam<ThresholdCase> {};

// The threshold reads the outer size; the layout itself the inner size.
TEST_P(LayoutThresholdTest, LaysOutOnlyFromTheThresholdUp) {
  const ThresholdCase& c = GetParam();
  const ControlGeometry before = DesignGeometry();
  const ControlGeometry after = LayOut(c.outer, c.inner, before);
  if (!c.lays_out) {
    EXPECT_EQ(after, before);
    return;
  }
  EXPECT_EQ(after.text1, (TwipRect{0, 0, c.inner.width, c.inner.height - 600}));
  EXPECT_EQ(after.txt_replay, (TwipRect{0, c.inner.height - 500, c.inner.width - 2100, 285}));
  EXPECT_EQ(after.chk_lowercase, (TwipRect{c.inner.width - 2050, c.inner.height - 500, 1095, 375}));
  EXPECT_EQ(after.cmd_go, (TwipRect{c.inner.width - 905, c.inner.height - 500, 855, 375}));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LayoutThresholdTest,
    ::testing::Values(ThresholdCase{"ExactlyAtThreshold", {4000, 4000}, {4000, 4000}, true},
                      ThresholdCase{"OneBelowInWidth", {3999, 4000}, {3999, 4000}, false},
                      ThresholdCase{"OneBelowInHeight", {4000, 3999}, {4000, 3999}, false},
                      ThresholdCase{"OneAboveInWidth", {4001, 4000}, {4001, 4000}, true},
                      ThresholdCase{"OneAboveInHeight", {4000, 4001}, {4000, 4001}, true},
                      ThresholdCase{"FarBelowInBoth", {1000, 500}, {900, 200}, false},
                      ThresholdCase{"InnerBelowOuterAt", {4000, 4000}, {3880, 3520}, true},
                      ThresholdCase{"InnerAboveOuterBelow", {3999, 9000}, {5000, 8000}, false}),
    [](const ::testing::TestParamInfo<ThresholdCase>& info) { return std::string(info.param.name); });

TEST(LayoutTest, BelowThresholdKeepsWhateverStateTheControlsAreIn) {
  ControlGeometry odd;
  odd.text1 = {3, 4, 5, 6};
  odd.cmd_go = {-7, 8, 9, 10};
  EXPECT_EQ(LayOut({3999, 3999}, {10000, 10000}, odd), odd);
}

TEST(LayoutTest, GrowingWidensThePathBoxAndSlidesTheRowRight) {
  const ControlGeometry first = LayOut({9270, 7005}, kDesignInnerSize, DesignGeometry());
  const ControlGeometry wider = LayOut({11270, 9005}, {11270, 9005}, first);
  EXPECT_EQ(wider.txt_replay.width - first.txt_replay.width, 2000);
  EXPECT_EQ(wider.chk_lowercase.left - first.chk_lowercase.left, 2000);
  EXPECT_EQ(wider.cmd_go.left - first.cmd_go.left, 2000);
  EXPECT_EQ(wider.cmd_go.left + wider.cmd_go.width, 11270 - 50);
  EXPECT_EQ(wider.txt_replay.top, 9005 - 500);
  // Shrinking back gives the first layout again: nothing accumulates.
  EXPECT_EQ(LayOut({9270, 7005}, kDesignInnerSize, wider), first);
}

}  // namespace
}  // namespace murvik
