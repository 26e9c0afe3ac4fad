// Answers the message boxes this process shows while the catcher lives: a
// helper thread finds each top-level dialog captioned "Quorvane", records
// its text and presses OK. The cancel flag that showMessage raises is
// cleared again afterwards, so later tests start from a quiet run.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/cancel.h"

class MessageBoxCatcher {
 public:
  MessageBoxCatcher() : watcher_([this] { watch(); }) {}
  ~MessageBoxCatcher() {
    stop_.store(true);
    watcher_.join();
    cancelFlag.store(false);
  }
  MessageBoxCatcher(const MessageBoxCatcher&) = delete;
  MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

  std::vector<std::string> texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  static BOOL CALLBACK visit(HWND window, LPARAM self) {
    reinterpret_cast<MessageBoxCatcher*>(self)->answer(window);
    return TRUE;
  }

  void answer(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return;
    char className[16] = {};
    char caption[16] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (std::string(className) != "#32770" || std::string(caption) != "Quorvane") return;
    // Shown only once its texts are in place.
    if (!IsWindowVisible(window)) return;
    for (HWND done : answered_) {
      if (done == window) return;  // OK already posted, box not gone yet
    }
    answered_.push_back(window);

    HWND textControl = GetDlgItem(window, 0xFFFF);
    std::string text;
    if (textControl != nullptr) {
      text.resize(static_cast<std::size_t>(GetWindowTextLengthA(textControl)) + 1);
      text.resize(static_cast<std::size_t>(
          GetWindowTextA(textControl, &text[0], static_cast<int>(text.size()))));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      texts_.push_back(text);
    }
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  }

  void watch() {
    while (!stop_.load()) {
      // A closed box's handle may come back for the next one.
      for (std::size_t i = answered_.size(); i-- > 0;) {
        if (!IsWindow(answered_[i])) answered_.erase(answered_.begin() + static_cast<std::ptrdiff_t>(i));
      }
      EnumWindows(visit, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::vector<HWND> answered_;  // watcher thread only
  std::thread watcher_;         // last: starts once the rest is built
};
