#include "ui/progress_window.h"

#include <commctrl.h>

#include <initializer_list>

#include "app/cancel.h"
#include "common/app_name.h"
#include "ui/status_buffers.h"
#include "ui/window_layout.h"

// Sent by Windows 10 (version 1703) and later before a move onto a monitor
// of another scaling; the headers name it only for programs that require it.
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

namespace {

constexpr DWORD WINDOW_STYLE = WS_POPUP | WS_BORDER | WS_DLGFRAME | WS_SYSMENU;
constexpr const char* CANCELLED_TITLE = "Quorvane: キャンセルされました。";

// A call of Windows 10 (version 1607) and later, asked for by name: the
// program must also start where it is missing.
template <typename Call>
Call user32Call(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(
      user32 != nullptr ? GetProcAddress(user32, name) : nullptr));
}

// The screen's DPI: the only one there is before the window exists, and
// the window's own on systems that scale all monitors alike.
UINT screenDpi() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return BASE_DPI;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : BASE_DPI;
}

// The DPI of the monitor the window is on.
UINT windowDpi(HWND window) {
  static const auto getDpiForWindow = user32Call<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
  return dpi != 0 ? dpi : screenDpi();
}

}  // namespace

// The caption is drawn at the DPI of the window's monitor, which differs
// from the one the user signed in with (all that AdjustWindowRect knows)
// when monitors scale apart.
FrameInsets frameInsets(UINT dpi) {
  static const auto adjustForDpi =
      user32Call<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT frame{0, 0, 0, 0};
  if (adjustForDpi == nullptr || !adjustForDpi(&frame, WINDOW_STYLE, FALSE, 0, dpi)) {
    frame = RECT{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WINDOW_STYLE, FALSE, 0);
  }
  return FrameInsets{-frame.left, -frame.top, frame.right, frame.bottom};
}

namespace {

Place placeOnWorkArea(UINT dpi) {
  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  return windowPlace(workArea.right - workArea.left, workArea.bottom - workArea.top, dpi,
                     frameInsets(dpi));
}

int clientWidthOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client.right;
}

HFONT createStatusFont(UINT dpi) {
  return CreateFontA(-scaledPixels(FONT_HEIGHT, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     SHIFTJIS_CHARSET, 0, 0, DRAFT_QUALITY, FF_MODERN | FIXED_PITCH,
                     "ＭＳ Ｐゴシック");
}

HWND createControl(HWND parent, HINSTANCE instance, const char* className, const char* text,
                   const Place& at, int id) {
  return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE, at.x, at.y, at.width,
                         at.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         instance, nullptr);
}

void moveControl(HWND control, const Place& to) {
  if (control != nullptr) MoveWindow(control, to.x, to.y, to.width, to.height, TRUE);
}

void showStatusText(HWND control, StatusLine line) {
  char text[STATUS_TEXT2_SIZE];
  takeStatusText(line, text, sizeof text);
  SetWindowTextA(control, text);
}

// The bar's own procedure, wrapped: a position posted by the worker is
// replaced by the latest one, whose notification this one now stands for.
LRESULT CALLBACK progressBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(bar, GWLP_USERDATA));
  if (message == PBM_SETPOS) wParam = static_cast<WPARAM>(takeBarPosition());
  return CallWindowProcA(original, bar, message, wParam, lParam);
}

void wrapProgressBar(HWND bar) {
  if (bar == nullptr) return;
  const LONG_PTR original = GetWindowLongPtrA(bar, GWLP_WNDPROC);
  SetWindowLongPtrA(bar, GWLP_USERDATA, original);
  SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(progressBarProc));
}

}  // namespace

bool ProgressWindow::createWindow(HINSTANCE appInstance) {
  cancelFlag.store(false);
  progressDone = 0;
  progressScale = 1.0;
  lastPosition = 0;
  instance = appInstance;

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  // CS_NOCLOSE: the user cannot close the window; the run ends it.
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE;
  windowClass.lpfnWndProc = progressWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = APP_NAME;
  // A class this process registered before serves as well as a new one.
  if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  UINT dpi = screenDpi();
  Place place = placeOnWorkArea(dpi);
  // The procedure learns which ProgressWindow it serves from the creation
  // parameter, before the first message that needs it.
  mainWindow = CreateWindowExA(0, APP_NAME, APP_NAME, WINDOW_STYLE, place.x, place.y, place.width,
                               place.height, nullptr, nullptr, instance, this);
  if (mainWindow == nullptr) return false;
  // Where each monitor has a scaling of its own, the window's may differ
  // from the screen's: everything is sized by the window's.
  if (const UINT monitorDpi = windowDpi(mainWindow); monitorDpi != dpi) {
    dpi = monitorDpi;
    place = placeOnWorkArea(dpi);
    SetWindowPos(mainWindow, nullptr, place.x, place.y, place.width, place.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  view_.dpi = dpi;

  InitCommonControls();
  createControls();
  statusLine1 = view_.statusLine1;
  statusLine2 = view_.statusLine2;
  progressBar = view_.progressBar;
  cancelButton = view_.cancelButton;
  return true;
}

void ProgressWindow::createControls() {
  const ControlLayout layout = layoutControls(clientWidthOf(view_.window), view_.dpi);
  view_.statusLine1 =
      createControl(view_.window, instance, "STATIC", "", layout.statusLine1, IDC_STATUS_LINE1);
  view_.statusLine2 =
      createControl(view_.window, instance, "STATIC", "", layout.statusLine2, IDC_STATUS_LINE2);
  view_.progressBar = createControl(view_.window, instance, PROGRESS_CLASSA, "", layout.progressBar, 0);
  view_.cancelButton = createControl(view_.window, instance, "BUTTON", "ｷｬﾝｾﾙ",
                                     layout.cancelButton, IDC_CANCEL_BUTTON);

  wrapProgressBar(view_.progressBar);
  PostMessageA(view_.progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 1024));
  // Set at once, on this thread that owns the controls: a font handed over
  // later could arrive after a change of DPI and put the old size back.
  setFont(view_.dpi);
}

// Gives the status lines and the button the font for the DPI; the bar keeps
// its own. The font the window had before is no longer used by any control
// and goes. Without a new font the old one (or the system's) stays.
void ProgressWindow::setFont(UINT dpi) {
  HFONT font = createStatusFont(dpi);
  if (font == nullptr) return;
  const BOOL redraw = IsWindowVisible(view_.window);
  for (HWND control : {view_.statusLine1, view_.statusLine2, view_.cancelButton}) {
    if (control != nullptr) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
  }
  if (view_.font != nullptr) DeleteObject(view_.font);
  view_.font = font;
}

// Moved onto a monitor of another scaling: the window takes the place and
// size the system suggests (the size WM_GETDPISCALEDSIZE gave), and its
// controls and font follow.
void ProgressWindow::rescale(UINT dpi, const RECT& suggested) {
  view_.dpi = dpi;
  SetWindowPos(view_.window, nullptr, suggested.left, suggested.top,
               suggested.right - suggested.left, suggested.bottom - suggested.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  const ControlLayout layout = layoutControls(clientWidthOf(view_.window), dpi);
  moveControl(view_.statusLine1, layout.statusLine1);
  moveControl(view_.statusLine2, layout.statusLine2);
  moveControl(view_.progressBar, layout.progressBar);
  moveControl(view_.cancelButton, layout.cancelButton);
  setFont(dpi);
}

// The window is shown by the show timer. Its message is only produced while
// no posted message waits, and a worker in a fast per-entry pass re-posts a
// status notification as soon as the last one is handled, so the timer
// could be held back until the pass ends. A status notification handled
// after the show delay shows the window just as the timer would, its texts
// already set.
bool ProgressWindow::showIsDue() const { return tickCount() - view_.createdTick >= SHOW_DELAY_MS; }

void ProgressWindow::showStatusLine2() {
  showStatusText(view_.statusLine2, StatusLine::Second);
  view_.line2Tick = tickCount();
}

// Both lines get the latest texts before the first paint, also when a
// notification of the other line is still waiting behind this one.
void ProgressWindow::showNow() {
  char text[STATUS_TEXT2_SIZE];
  copyStatusText(StatusLine::First, text, sizeof text);
  SetWindowTextA(view_.statusLine1, text);
  copyStatusText(StatusLine::Second, text, sizeof text);
  SetWindowTextA(view_.statusLine2, text);
  KillTimer(view_.window, IDT_SHOW_DELAY);
  ShowWindow(view_.window, SW_SHOW);
  UpdateWindow(view_.window);
}

void ProgressWindow::runMessageLoop() {
  if (cancelFlag.load()) return;
  if (GetWindowThreadProcessId(mainWindow, nullptr) != GetCurrentThreadId()) return;

  MSG message;
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) return;
    // Once cancelled the window is no longer serviced; this message is dropped.
    if (cancelFlag.load()) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

LRESULT CALLBACK progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<ProgressWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->view_.window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  return self->handleMessage(message, wParam, lParam);
}

LRESULT ProgressWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      // Runs from creation on; its message only comes once the main thread
      // pumps, which it does only for runs that outlast the first wait.
      SetTimer(view_.window, IDT_SHOW_DELAY, SHOW_DELAY_MS, nullptr);
      view_.createdTick = tickCount();
      return 0;

    case WM_TIMER:
      if (wParam == IDT_STATUS_LINE2) {
        KillTimer(view_.window, IDT_STATUS_LINE2);
        showStatusLine2();
      } else {
        showNow();
      }
      return 0;

    case WM_COMMAND:
      if (LOWORD(wParam) != IDC_CANCEL_BUTTON) break;
      SetWindowTextA(view_.window, CANCELLED_TITLE);
      EnableWindow(view_.cancelButton, FALSE);
      cancelFlag.store(true);
      return 0;

    case WM_STATUS_LINE1:
      showStatusText(view_.statusLine1, StatusLine::First);
      if (!IsWindowVisible(view_.window) && showIsDue()) showNow();
      return 0;

    case WM_STATUS_LINE2:
      if (IsWindowVisible(view_.window)) {
        // Too soon after the last change: the text is taken when the period
        // is up, the latest one by then. Its notification stays pending
        // meanwhile, so the worker posts no more.
        const DWORD since = tickCount() - view_.line2Tick;
        if (since < STATUS_LINE2_PERIOD_MS) {
          SetTimer(view_.window, IDT_STATUS_LINE2, STATUS_LINE2_PERIOD_MS - since, nullptr);
          return 0;
        }
      }
      showStatusLine2();
      if (!IsWindowVisible(view_.window) && showIsDue()) showNow();
      return 0;

    case WM_GETDPISCALEDSIZE: {
      // About to move onto a monitor of another scaling: ask for the size
      // the window is made with there, so the client area stays exact.
      const UINT dpi = static_cast<UINT>(wParam);
      const WindowSize size = windowSize(dpi, frameInsets(dpi));
      *reinterpret_cast<SIZE*>(lParam) = SIZE{size.width, size.height};
      return TRUE;
    }

    case WM_DPICHANGED:
      rescale(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;

    case WM_DESTROY:
      KillTimer(view_.window, IDT_SHOW_DELAY);
      KillTimer(view_.window, IDT_STATUS_LINE2);
      PostQuitMessage(0);
      return 0;

    case WM_NCDESTROY: {
      // The last message: the controls that used the font are gone, and
      // nothing that comes for the handle later reaches this object.
      HWND window = view_.window;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      if (view_.font != nullptr) DeleteObject(view_.font);
      view_ = View{};
      return DefWindowProcA(window, message, wParam, lParam);
    }
  }
  return DefWindowProcA(view_.window, message, wParam, lParam);
}

ProgressWindow::~ProgressWindow() {
  closeWindow();
  // Destroyed while its window is still there (the process is ending, or a
  // test let it go): the close request just posted, and anything else
  // that comes, is left to the default handling. The font stays with the
  // controls that may still draw with it.
  if (view_.window != nullptr) SetWindowLongPtrA(view_.window, GWLP_USERDATA, 0);
}
