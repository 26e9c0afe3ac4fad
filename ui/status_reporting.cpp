#include <windows.h>
#include <commctrl.h>

#include <cmath>

#include "app/cancel.h"
#include "common/app_name.h"
#include "ui/progress_window.h"
#include "ui/status_buffers.h"

namespace {

constexpr std::int32_t BAR_END = 1024;

void report(HWND window, HWND control, StatusLine line, UINT message, const char* text) {
  if (control == nullptr) return;
  if (storeStatusText(line, text) && !PostMessageA(window, message, 0, 0)) {
    forgetPendingNotification(line);
  }
}

}  // namespace

void ProgressWindow::setStatusLine1(const char* text) {
  report(mainWindow, statusLine1, StatusLine::First, WM_STATUS_LINE1, text);
}

void ProgressWindow::setStatusLine2(const char* text) {
  report(mainWindow, statusLine2, StatusLine::Second, WM_STATUS_LINE2, text);
}

void ProgressWindow::setStatus(const char* line1, const char* line2) {
  setStatusLine1(line1);
  setStatusLine2(line2);
}

void ProgressWindow::startProgress(std::int64_t total) {
  progressDone = 0;
  progressScale = static_cast<double>(total) * 0.0009765625;
  advanceProgress(0);
}

void ProgressWindow::advanceProgress(std::int64_t amount) {
  progressDone += amount;
  const double quotient = static_cast<double>(progressDone) / progressScale;
  // A total of 0 gives no finite quotient. Past the total the bar stays full,
  // so positions beyond its end are not posted one by one.
  std::int32_t position = 0;
  if (std::isfinite(quotient) && quotient > 0) {
    position = quotient >= BAR_END ? BAR_END : static_cast<std::int32_t>(quotient);
  }
  if (position == lastPosition || progressBar == nullptr) return;
  lastPosition = position;
  // The bar shows the latest position when it handles the message (see
  // progressBarProc), so one waiting message carries every later change.
  if (storeBarPosition(position) &&
      !PostMessageA(progressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0)) {
    forgetPendingBarPosition();
  }
}

void ProgressWindow::closeWindow() {
  if (mainWindow == nullptr) return;
  PostMessageA(mainWindow, WM_CLOSE, 0, 0);
  mainWindow = nullptr;
  statusLine1 = nullptr;
  statusLine2 = nullptr;
  progressBar = nullptr;
  cancelButton = nullptr;
}

bool ProgressWindow::isVisible() const {
  return mainWindow != nullptr && IsWindowVisible(mainWindow);
}

int ProgressWindow::showMessage(const char* text, UINT style) {
  // Raised first, so the window's loop ends at its next message; the main
  // thread then services only what the box sends to its owner.
  cancelFlag.store(true);
  HWND owner = isVisible() ? mainWindow : nullptr;
  return MessageBoxA(owner, text, APP_NAME, style);
}
