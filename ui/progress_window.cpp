#include "ui/progress_window.h"

#include <commctrl.h>

#include "app/cancel.h"
#include "ui/status_buffers.h"

namespace {

constexpr DWORD WINDOW_STYLE = WS_POPUP | WS_BORDER | WS_DLGFRAME | WS_SYSMENU;
constexpr int CLIENT_WIDTH = 600;
constexpr int CLIENT_HEIGHT = 72;
constexpr int FONT_HEIGHT = 14;
constexpr const char* CANCELLED_TITLE = "Quorvane: キャンセルされました。";

// Every size of the window is given in pixels at this DPI (100 % scaling)
// and scaled to the DPI the window is shown at, so that the system never
// stretches the window's picture, which would blur its texts.
constexpr int BASE_DPI = 96;

int scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), BASE_DPI); }

// The screen's DPI: the only one there is before the window exists, and
// the window's own on systems that scale all monitors alike.
UINT screenDpi() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return BASE_DPI;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : BASE_DPI;
}

// The DPI of the monitor the window is on. Asked for by name, as Windows
// before 10 (version 1607) lacks the call and the program must start there.
UINT windowDpi(HWND window) {
  using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowCall>(reinterpret_cast<void (*)()>(
      user32 != nullptr ? GetProcAddress(user32, "GetDpiForWindow") : nullptr));
  const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
  return dpi != 0 ? dpi : screenDpi();
}

// The window's place: centred across the work area, its client area a
// third of the way down with the frame above it. The width is the client
// width, frame included.
RECT windowPlace(UINT dpi) {
  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  const int workHeight = workArea.bottom - workArea.top;
  const int workWidth = workArea.right - workArea.left;
  const int width = scaled(CLIENT_WIDTH, dpi);
  const int height = scaled(CLIENT_HEIGHT, dpi);
  const int clientTop = (workHeight - height) / 3;
  RECT frame{0, clientTop, width, clientTop + height};
  AdjustWindowRect(&frame, WINDOW_STYLE, FALSE);
  const int left = (workWidth - width) / 2;
  return RECT{left, frame.top, left + width, frame.bottom};
}

// The controls in the order status line 1, status line 2, bar, button.
constexpr int CONTROL_COUNT = 4;
struct ControlPlace {
  int x;
  int y;
  int width;
  int height;
};

// Where each control goes in a client area clientWidth wide at the DPI:
// the texts and the bar leave room for the button on the right.
void placeControls(int clientWidth, UINT dpi, ControlPlace (&places)[CONTROL_COUNT]) {
  const int textWidth = clientWidth - scaled(100, dpi);
  const int left = scaled(6, dpi);
  const int height = scaled(16, dpi);
  places[0] = {left, scaled(6, dpi), textWidth, height};
  places[1] = {left, scaled(28, dpi), textWidth, height};
  places[2] = {left, scaled(50, dpi), textWidth, height};
  places[3] = {clientWidth - scaled(94, dpi), scaled(6, dpi), scaled(88, dpi), scaled(32, dpi)};
}

int clientWidthOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client.right;
}

HFONT createStatusFont(UINT dpi) {
  return CreateFontA(-scaled(FONT_HEIGHT, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     SHIFTJIS_CHARSET, 0, 0, DRAFT_QUALITY, FF_MODERN | FIXED_PITCH,
                     "ＭＳ Ｐゴシック");
}

// Moved onto a monitor of another scaling: the window takes the place and
// size the system suggests, and its controls and font follow. The new font
// replaces the old one, which no control uses afterwards.
void rescale(HWND window, UINT dpi, const RECT& suggested) {
  SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  const HWND controls[CONTROL_COUNT] = {GetDlgItem(window, IDC_STATUS_LINE1),
                                        GetDlgItem(window, IDC_STATUS_LINE2),
                                        FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr),
                                        GetDlgItem(window, IDC_CANCEL_BUTTON)};
  ControlPlace places[CONTROL_COUNT];
  placeControls(clientWidthOf(window), dpi, places);
  HFONT oldFont = nullptr;
  HFONT font = createStatusFont(dpi);
  for (int i = 0; i < CONTROL_COUNT; ++i) {
    if (controls[i] == nullptr) continue;
    MoveWindow(controls[i], places[i].x, places[i].y, places[i].width, places[i].height, TRUE);
    if (font == nullptr || i == 2) continue;  // the bar keeps its own font
    if (oldFont == nullptr) {
      oldFont = reinterpret_cast<HFONT>(SendMessageA(controls[i], WM_GETFONT, 0, 0));
    }
    SendMessageA(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  if (oldFont != nullptr) DeleteObject(oldFont);
}

HWND createControl(HWND parent, HINSTANCE instance, const char* className, const char* text,
                   int x, int y, int width, int height, int id) {
  return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE, x, y, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

void showStatusText(HWND window, int controlId, StatusLine line) {
  char text[STATUS_TEXT2_SIZE];
  takeStatusText(line, text, sizeof text);
  SetWindowTextA(GetDlgItem(window, controlId), text);
}

// The window is shown by the show timer. Its message is only produced while
// no posted message waits, and a worker in a fast per-entry pass re-posts a
// status notification as soon as the last one is handled, so the timer
// could be held back until the pass ends. The creation time is kept in the
// window's user data, and a status notification handled after the show
// delay shows the window just as the timer would, its texts already set.
void rememberCreationTime(HWND window) {
  SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(GetTickCount()));
}

bool showIsDue(HWND window) {
  const auto created = static_cast<DWORD>(GetWindowLongPtrA(window, GWLP_USERDATA));
  return GetTickCount() - created >= SHOW_DELAY_MS;
}

// Both lines get the latest texts before the first paint, also when a
// notification of the other line is still waiting behind this one.
void showNow(HWND window) {
  char text[STATUS_TEXT2_SIZE];
  copyStatusText(StatusLine::First, text, sizeof text);
  SetWindowTextA(GetDlgItem(window, IDC_STATUS_LINE1), text);
  copyStatusText(StatusLine::Second, text, sizeof text);
  SetWindowTextA(GetDlgItem(window, IDC_STATUS_LINE2), text);
  KillTimer(window, IDT_SHOW_DELAY);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
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
  RECT place = windowPlace(dpi);
  mainWindow = CreateWindowExA(0, APP_NAME, APP_NAME, WINDOW_STYLE, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, nullptr,
                               nullptr, instance, nullptr);
  if (mainWindow == nullptr) return false;
  // Where each monitor has a scaling of its own, the window's may differ
  // from the screen's: everything is sized by the window's.
  if (const UINT monitorDpi = windowDpi(mainWindow); monitorDpi != dpi) {
    dpi = monitorDpi;
    place = windowPlace(dpi);
    SetWindowPos(mainWindow, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  InitCommonControls();

  ControlPlace places[CONTROL_COUNT];
  placeControls(clientWidthOf(mainWindow), dpi, places);
  const auto create = [this, &places](int index, const char* className, const char* text, int id) {
    const ControlPlace& at = places[index];
    return createControl(mainWindow, instance, className, text, at.x, at.y, at.width, at.height,
                         id);
  };
  statusLine1 = create(0, "STATIC", "", IDC_STATUS_LINE1);
  statusLine2 = create(1, "STATIC", "", IDC_STATUS_LINE2);
  progressBar = create(2, PROGRESS_CLASSA, "", 0);
  cancelButton = create(3, "BUTTON", "ｷｬﾝｾﾙ", IDC_CANCEL_BUTTON);

  wrapProgressBar(progressBar);
  PostMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 1024));

  // Never deleted but on a move to a monitor of another scaling: the font
  // lives as long as the window, which lives until the process ends.
  HFONT font = createStatusFont(dpi);
  if (font != nullptr) {
    const WPARAM fontParam = reinterpret_cast<WPARAM>(font);
    PostMessageA(statusLine1, WM_SETFONT, fontParam, 0);
    PostMessageA(statusLine2, WM_SETFONT, fontParam, 0);
    PostMessageA(cancelButton, WM_SETFONT, fontParam, 0);
  }
  return true;
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
  switch (message) {
    case WM_CREATE:
      // Runs from creation on; its message only comes once the main thread
      // pumps, which it does only for runs that outlast the first wait.
      SetTimer(window, IDT_SHOW_DELAY, SHOW_DELAY_MS, nullptr);
      rememberCreationTime(window);
      return 0;

    case WM_TIMER:
      showNow(window);
      return 0;

    case WM_COMMAND:
      if (LOWORD(wParam) != IDC_CANCEL_BUTTON) break;
      SetWindowTextA(window, CANCELLED_TITLE);
      EnableWindow(GetDlgItem(window, IDC_CANCEL_BUTTON), FALSE);
      cancelFlag.store(true);
      return 0;

    case WM_STATUS_LINE1:
      showStatusText(window, IDC_STATUS_LINE1, StatusLine::First);
      if (!IsWindowVisible(window) && showIsDue(window)) showNow(window);
      return 0;

    case WM_STATUS_LINE2:
      showStatusText(window, IDC_STATUS_LINE2, StatusLine::Second);
      if (!IsWindowVisible(window) && showIsDue(window)) showNow(window);
      return 0;

    case WM_DPICHANGED:
      rescale(window, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;

    case WM_DESTROY:
      KillTimer(window, IDT_SHOW_DELAY);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
