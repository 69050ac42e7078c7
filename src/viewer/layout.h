// The window's geometry in twips (1/1440 inch): the controls' design
// geometry and the layout that keeps them filling the window. Plain C++ over
// plain values, so it can be checked without a window.
#ifndef MURVIK_VIEWER_LAYOUT_H_
#define MURVIK_VIEWER_LAYOUT_H_

namespace murvik {

struct TwipSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const TwipSize&, const TwipSize&) = default;
};

struct TwipRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const TwipRect&, const TwipRect&) = default;
};

// Where each of the window's four controls stands.
struct ControlGeometry {
  TwipRect chk_lowercase;  // the Lowercase check box
  TwipRect txt_replay;     // the path box
  TwipRect text1;          // the output box
  TwipRect cmd_go;         // the Go button
  friend bool operator==(const ControlGeometry&, const ControlGeometry&) = default;
};

// The window's inner (client) size as designed.
inline constexpr TwipSize kDesignInnerSize{9270, 7005};

// Below this outer width or height (frame included) the layout leaves the
// controls alone; exactly this much is enough.
inline constexpr int kLayoutThreshold = 4000;

// The controls as created, before the first layout.
ControlGeometry DesignGeometry();

// The controls after a resize to `outer` (frame included) with client area
// `inner`: `current` unchanged when `outer` is below the threshold in either
// dimension; otherwise the output box fills `inner` above a 600-twip bottom
// band holding path box, check box and button left to right, 50 twips apart.
ControlGeometry LayOut(TwipSize outer, TwipSize inner, ControlGeometry current);

}  // namespace murvik

#endif  // MURVIK_VIEWER_LAYOUT_H_
