#include "ui/window_layout.h"

#include <cstdint>

int scaledPixels(int pixels, unsigned dpi) {
  const std::int64_t product = static_cast<std::int64_t>(pixels) * dpi;
  const std::int64_t half = BASE_DPI / 2;
  return static_cast<int>(product >= 0 ? (product + half) / BASE_DPI
                                       : -((-product + half) / BASE_DPI));
}

ControlLayout layoutControls(int clientWidth, unsigned dpi) {
  const auto s = [dpi](int pixels) { return scaledPixels(pixels, dpi); };
  const Place button{clientWidth - s(94), s(6), s(88), s(32)};
  const int left = s(6);
  const int height = s(16);
  const int width = button.x - left;
  return ControlLayout{{left, s(6), width, height},
                       {left, s(28), width, height},
                       {left, s(50), width, height},
                       button};
}

WindowSize windowSize(unsigned dpi, const FrameInsets& frame) {
  return WindowSize{scaledPixels(WINDOW_WIDTH, dpi),
                    frame.top + scaledPixels(CLIENT_HEIGHT, dpi) + frame.bottom};
}

Place windowPlace(int workWidth, int workHeight, unsigned dpi, const FrameInsets& frame) {
  const WindowSize size = windowSize(dpi, frame);
  const int clientTop = (workHeight - scaledPixels(CLIENT_HEIGHT, dpi)) / 3;
  return Place{(workWidth - size.width) / 2, clientTop - frame.top, size.width, size.height};
}
