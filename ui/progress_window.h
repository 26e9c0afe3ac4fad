// The progress popup of the main thread and the operations by which the
// worker reports to it. The worker never touches a control: it writes the
// process-wide status buffers and posts notifications, and it never waits
// for the main thread, which services nothing during the first five seconds.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/window_layout.h"

constexpr int IDC_STATUS_LINE1 = 110;
constexpr int IDC_STATUS_LINE2 = 111;
constexpr int IDC_CANCEL_BUTTON = 112;
constexpr UINT_PTR IDT_SHOW_DELAY = 100;
constexpr UINT SHOW_DELAY_MS = 5000;
// Once shown, status line 2 changes at most this often (about 30 times a
// second): a pass over many small files would otherwise repaint it for every
// file, and the worker would pay for each change it posts. The latest text
// always follows, the last one included.
constexpr UINT_PTR IDT_STATUS_LINE2 = 101;
constexpr UINT STATUS_LINE2_PERIOD_MS = 33;
constexpr int IDI_APP = 102;

// Private notifications to the main window; both carry no parameters: the
// window reads the text from the status buffer when it handles them.
constexpr UINT WM_STATUS_LINE1 = WM_USER + 1;
constexpr UINT WM_STATUS_LINE2 = WM_USER + 2;

class ProgressWindow {
 public:
  ProgressWindow() = default;
  // A window that is still there no longer reaches this object.
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Main thread.
  bool createWindow(HINSTANCE appInstance);
  void runMessageLoop();

  // Worker thread (closeWindow also on the main thread once the worker ended).
  void setStatusLine1(const char* text);
  void setStatusLine2(const char* text);
  void setStatus(const char* line1, const char* line2);
  void startProgress(std::int64_t total);
  void advanceProgress(std::int64_t amount);
  void closeWindow();
  bool isVisible() const;
  int showMessage(const char* text, UINT style);

  // The clock of the show delay and of status line 2's period, in
  // milliseconds; a test drives its own.
  DWORD(WINAPI* tickCount)() = GetTickCount;

  HINSTANCE instance = nullptr;    // the program's instance, stored by createWindow
  HWND mainWindow = nullptr;       // the popup; null when not created or closed
  HWND statusLine1 = nullptr;      // control 110
  HWND statusLine2 = nullptr;      // control 111
  HWND progressBar = nullptr;      // range 0-1024
  HWND cancelButton = nullptr;     // control 112
  std::int64_t progressDone = 0;   // work done in the current stage, in its own unit
  double progressScale = 1.0;      // stage total / 1024
  std::int32_t lastPosition = 0;   // last position posted to the bar

 private:
  // The window thread's own picture of the window: the worker forgets its
  // handles above when it closes the window, while the window may still be
  // handling messages. Only createWindow and the window procedure touch it.
  struct View {
    HWND window = nullptr;       // the popup
    HWND statusLine1 = nullptr;  // the controls, as created (any may be null)
    HWND statusLine2 = nullptr;
    HWND progressBar = nullptr;
    HWND cancelButton = nullptr;
    HFONT font = nullptr;        // the status lines' and the button's; null: the system font
    UINT dpi = 0;                // the DPI everything is sized for
    DWORD createdTick = 0;       // tickCount at creation, for the show delay
    DWORD line2Tick = 0;         // tickCount when status line 2 last changed
  };

  friend LRESULT CALLBACK progressWindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  void setFont(UINT dpi);
  void showNow();
  bool showIsDue() const;
  void showStatusLine2();
  void rescale(UINT dpi, const RECT& suggested);

  View view_;
};

// The frame of the window's style at a DPI: by the DPI itself where the
// system can say (Windows 10 version 1607 on), else the sign-in scaling's.
FrameInsets frameInsets(UINT dpi);

// The class's procedure: finds the ProgressWindow given at creation and
// hands the message to it.
LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
