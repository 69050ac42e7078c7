#include "viewer/layout.h"

namespace murvik {

namespace {

constexpr int kBottomBand = 600;  // inner height minus the output box's height
constexpr int kRightBand = 2100;  // output box's width minus the path box's width
constexpr int kRowGap = 100;      // output box's bottom to the bottom row's top
constexpr int kColumnGap = 50;    // between the controls of the bottom row

}  // namespace

ControlGeometry DesignGeometry() {
  ControlGeometry g;
  g.chk_lowercase = {6600, 6600, 1095, 375};
  g.txt_replay = {0, 6600, 6495, 285};
  g.text1 = {0, 0, 9255, 6495};
  g.cmd_go = {8160, 6600, 855, 375};
  return g;
}

ControlGeometry LayOut(TwipSize outer, TwipSize inner, ControlGeometry current) {
  if (outer.width < kLayoutThreshold || outer.height < kLayoutThreshold) return current;
  // Each step reads the values as the steps before it left them.
  ControlGeometry& g = current;
  g.text1.width = inner.width;
  g.text1.height = inner.height - kBottomBand;
  g.txt_replay.width = g.text1.width - kRightBand;
  g.txt_replay.top = g.text1.top + g.text1.height + kRowGap;
  g.chk_lowercase.top = g.txt_replay.top;
  g.chk_lowercase.left = g.txt_replay.left + g.txt_replay.width + kColumnGap;
  g.cmd_go.top = g.txt_replay.top;
  g.cmd_go.left = g.chk_lowercase.left + g.chk_lowercase.width + kColumnGap;
  return g;
}

}  // namespace murvik
