#include "ui/progress_window.h"

#include <commctrl.h>

#include "app/cancel.h"
#include "ui/status_buffers.h"

namespace {

constexpr DWORD WINDOW_STYLE = WS_POPUP | WS_BORDER | WS_DLGFRAME | WS_SYSMENU;
constexpr int CLIENT_WIDTH = 600;
constexpr int CLIENT_HEIGHT = 72;
constexpr const char* CANCELLED_TITLE = "Quorvane: キャンセルされました。";

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

  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  const int workHeight = workArea.bottom - workArea.top;
  const int workWidth = workArea.right - workArea.left;

  // The client area is placed a third of the way down; the frame goes above it.
  const int clientTop = (workHeight - CLIENT_HEIGHT) / 3;
  RECT frame{0, clientTop, CLIENT_WIDTH, clientTop + CLIENT_HEIGHT};
  AdjustWindowRect(&frame, WINDOW_STYLE, FALSE);

  mainWindow = CreateWindowExA(0, APP_NAME, APP_NAME, WINDOW_STYLE, (workWidth - CLIENT_WIDTH) / 2,
                               frame.top, CLIENT_WIDTH, frame.bottom - frame.top, nullptr, nullptr,
                               instance, nullptr);
  if (mainWindow == nullptr) return false;

  InitCommonControls();

  RECT client{};
  GetClientRect(mainWindow, &client);
  const int clientWidth = client.right;
  statusLine1 = createControl(mainWindow, instance, "STATIC", "", 6, 6, clientWidth - 100, 16,
                              IDC_STATUS_LINE1);
  statusLine2 = createControl(mainWindow, instance, "STATIC", "", 6, 28, clientWidth - 100, 16,
                              IDC_STATUS_LINE2);
  progressBar = createControl(mainWindow, instance, PROGRESS_CLASSA, "", 6, 50, clientWidth - 100,
                              16, 0);
  cancelButton = createControl(mainWindow, instance, "BUTTON", "ｷｬﾝｾﾙ", clientWidth - 94, 6, 88,
                               32, IDC_CANCEL_BUTTON);

  wrapProgressBar(progressBar);
  PostMessageA(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 1024));

  // Never deleted: the font lives as long as the window, which lives until
  // the process ends.
  HFONT font = CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, 0, 0,
                           DRAFT_QUALITY, FF_MODERN | FIXED_PITCH, "ＭＳ Ｐゴシック");
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

    case WM_DESTROY:
      KillTimer(window, IDT_SHOW_DELAY);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
