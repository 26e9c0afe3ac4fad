#include <gtest/gtest.h>

#include <array>

#include "ui/window_layout.h"

namespace {

bool overlap(const Place& a, const Place& b) {
  return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

// A frame like the one Windows draws for the window's style: borders of 3
// and a caption of 22 pixels at 96 DPI, each grown with the DPI on its own.
FrameInsets frameAt(unsigned dpi) {
  const int border = scaledPixels(3, dpi);
  return FrameInsets{border, border + scaledPixels(22, dpi), border, border};
}

// At every common scaling the controls stay inside the client area, apart
// from each other, and the client area is exactly 72 pixels scaled high.
TEST(WindowLayout, EveryScalingKeepsTheControlsApartInAnExactClientArea) {
  for (const unsigned dpi : {96u, 120u, 144u, 168u, 192u}) {
    const FrameInsets frame = frameAt(dpi);
    const Place window = windowPlace(1280, 800, dpi, frame);
    const int clientWidth = window.width - frame.left - frame.right;
    const int clientHeight = window.height - frame.top - frame.bottom;
    EXPECT_EQ(window.width, scaledPixels(600, dpi)) << dpi;
    EXPECT_EQ(clientHeight, scaledPixels(72, dpi)) << dpi;
    EXPECT_EQ(window.y + frame.top, (800 - clientHeight) / 3) << dpi;

    const ControlLayout layout = layoutControls(clientWidth, dpi);
    const std::array<Place, 4> controls{layout.statusLine1, layout.statusLine2, layout.progressBar,
                                        layout.cancelButton};
    for (std::size_t i = 0; i < controls.size(); ++i) {
      EXPECT_GE(controls[i].x, 0) << dpi << " control " << i;
      EXPECT_LE(controls[i].right(), clientWidth) << dpi << " control " << i;
      EXPECT_LE(controls[i].bottom(), clientHeight) << dpi << " control " << i;
      for (std::size_t j = i + 1; j < controls.size(); ++j) {
        EXPECT_FALSE(overlap(controls[i], controls[j])) << dpi << " controls " << i << ", " << j;
      }
    }
    // The lines reach the button: no rounding leaves a gap or an overlap.
    EXPECT_EQ(layout.statusLine1.right(), layout.cancelButton.x) << dpi;
  }
}

TEST(WindowLayout, HundredPercentKeepsTheClassicPixels) {
  const ControlLayout layout = layoutControls(594, 96);
  const auto of = [](const Place& p) { return std::array<int, 4>{p.x, p.y, p.width, p.height}; };
  EXPECT_EQ(of(layout.statusLine1), (std::array<int, 4>{6, 6, 494, 16}));
  EXPECT_EQ(of(layout.statusLine2), (std::array<int, 4>{6, 28, 494, 16}));
  EXPECT_EQ(of(layout.progressBar), (std::array<int, 4>{6, 50, 494, 16}));
  EXPECT_EQ(of(layout.cancelButton), (std::array<int, 4>{500, 6, 88, 32}));
  const FrameInsets frame{3, 25, 3, 3};
  const Place window = windowPlace(1280, 800, 96, frame);
  EXPECT_EQ(of(window), (std::array<int, 4>{340, 242 - 25, 600, 100}));
}

TEST(WindowLayout, ScalingRoundsHalvesAwayFromZero) {
  EXPECT_EQ(scaledPixels(94, 120), 118);  // 117.5
  EXPECT_EQ(scaledPixels(6, 120), 8);     // 7.5
  EXPECT_EQ(scaledPixels(100, 168), 175);
  EXPECT_EQ(scaledPixels(-14, 120), -18);  // -17.5
  EXPECT_EQ(scaledPixels(600, 96), 600);
}

}  // namespace
