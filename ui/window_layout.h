// Where the progress window and its controls go at a display scaling.
// Every size is given in pixels at 96 DPI (100 %) and scaled to the DPI the
// window is shown at, so the system never stretches the window's picture,
// which would blur its texts. Pure arithmetic: the platform supplies the
// work area and the frame its window style has at a DPI.
#pragma once

constexpr int BASE_DPI = 96;

// The window at 96 DPI: 600 pixels wide frame included, a client area 72
// pixels high, and the status font 14 pixels high.
constexpr int WINDOW_WIDTH = 600;
constexpr int CLIENT_HEIGHT = 72;
constexpr int FONT_HEIGHT = 14;

// pixels at 96 DPI scaled to dpi, rounded to the nearest pixel (halves away
// from zero), as the platform's MulDiv rounds.
int scaledPixels(int pixels, unsigned dpi);

struct Place {
  int x;
  int y;
  int width;
  int height;
  int right() const { return x + width; }
  int bottom() const { return y + height; }
};

// The controls in a client area clientWidth wide at the DPI. The status
// lines and the bar end where the button begins, so no rounding of the two
// can make them overlap.
struct ControlLayout {
  Place statusLine1;
  Place statusLine2;
  Place progressBar;
  Place cancelButton;
};
ControlLayout layoutControls(int clientWidth, unsigned dpi);

// How far the frame of the window's style reaches beyond the client area on
// each side, at one DPI: the caption grows with the DPI it is drawn at.
struct FrameInsets {
  int left;
  int top;
  int right;
  int bottom;
};

// The window's size at the DPI: the width frame included, and a client
// area exactly scaledPixels(CLIENT_HEIGHT) high inside the frame of that
// DPI. Also what a move to a monitor of that DPI asks for.
struct WindowSize {
  int width;
  int height;
};
WindowSize windowSize(unsigned dpi, const FrameInsets& frame);

// The window's place on a work area of the given size: centred across it,
// its client area a third of the way down with the frame above it. Measured
// from the screen's origin, as the window has always been placed.
Place windowPlace(int workWidth, int workHeight, unsigned dpi, const FrameInsets& frame);
