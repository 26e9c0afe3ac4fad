// Helpers of the Windows unit tests: a private temporary folder, a catcher
// that answers the program's message boxes, a pipe standing in for a file
// whose reads fail part-way, and a count of this process's threads.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/cancel.h"

// The byte at offset i of every pattern file; not periodic in 64 or in the
// chunk size, so a lost, repeated or misplaced chunk changes the digest.
inline unsigned char patternByte(std::uint64_t i) {
  return static_cast<unsigned char>((i * 131u + (i >> 9)) & 0xFF);
}

inline int threadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// Waits (up to ten seconds) for the thread count to fall back to expected:
// an ended thread leaves the list a little later.
inline int threadsSettledAt(int expected) {
  int count = threadsOfThisProcess();
  for (int i = 0; i < 1000 && count != expected; ++i) {
    Sleep(10);
    count = threadsOfThisProcess();
  }
  return count;
}

// A private folder under the temporary path for one test, removed with
// everything in it when the test ends. Names are ANSI (code page 932) bytes.
class TempTree {
 public:
  TempTree() {
    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof temp, temp);
    static unsigned serial = 0;
    const std::string base = std::string(temp, length < sizeof temp ? length : 0) + "qv-test-" +
                             std::to_string(GetCurrentProcessId()) + "-";
    // Wine reuses process ids soon: a folder a killed run left behind under
    // the same name is never taken over.
    do {
      root_ = base + std::to_string(++serial);
    } while (!CreateDirectoryA(root_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ~TempTree() { removeTree(root_); }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // The folder itself, without a trailing backslash.
  const std::string& root() const { return root_; }
  std::string path(const std::string& relative) const { return root_ + "\\" + relative; }

  std::string folder(const std::string& relative) const {
    const std::string full = path(relative);
    CreateDirectoryA(full.c_str(), nullptr);
    return full;
  }

  std::string file(const std::string& relative, const std::string& content = std::string()) const {
    const std::string full = path(relative);
    HANDLE handle = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
      CloseHandle(handle);
    }
    return full;
  }

  // A file of the first size pattern bytes.
  std::string patternFile(const std::string& relative, std::uint64_t size) const {
    std::string content(static_cast<std::size_t>(size), '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(patternByte(i));
    return file(relative, content);
  }

  // A file of `size` zero bytes, sparse: quick to make however large.
  std::string sparseFile(const std::string& relative, std::uint64_t size) const {
    const std::string full = path(relative);
    HANDLE handle = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      LARGE_INTEGER end;
      end.QuadPart = static_cast<LONGLONG>(size);
      SetFilePointerEx(handle, end, nullptr, FILE_BEGIN);
      SetEndOfFile(handle);
      CloseHandle(handle);
    }
    return full;
  }

 private:
  static void removeTree(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string full = folder + "\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          removeTree(full);
        } else {
          SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(full.c_str());
        }
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
  }

  std::string root_;
};

// The server end of a named pipe that a reader opens like a file: it writes
// pattern bytes, and closing it makes the reader's next ReadFile fail.
class PipeWriter {
 public:
  PipeWriter()
      : path_("\\\\.\\pipe\\qv_test_" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(nextNumber()) + ".bin"),
        pipe_(CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                               1 << 20, 0, 0, nullptr)) {}
  ~PipeWriter() { close(); }
  PipeWriter(const PipeWriter&) = delete;
  PipeWriter& operator=(const PipeWriter&) = delete;

  bool ready() const { return pipe_ != INVALID_HANDLE_VALUE; }
  const std::string& path() const { return path_; }

  // Writes the first size pattern bytes (not more than the pipe's buffer).
  bool write(std::uint32_t size) {
    std::vector<unsigned char> bytes(size);
    for (std::uint32_t i = 0; i < size; ++i) bytes[i] = patternByte(i);
    DWORD written = 0;
    return WriteFile(pipe_, bytes.data(), size, &written, nullptr) && written == size;
  }

  // Waits until a reader has opened the pipe.
  bool waitForReader() {
    return ConnectNamedPipe(pipe_, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
  }
  // Waits until the reader has taken everything written.
  bool waitUntilRead() { return FlushFileBuffers(pipe_) != FALSE; }

  void close() {
    if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
    pipe_ = INVALID_HANDLE_VALUE;
  }

 private:
  static int nextNumber() {
    static std::atomic<int> number{0};
    return ++number;
  }

  std::string path_;
  HANDLE pipe_;
};

struct SeenBox {
  std::string text;  // the message (static control 0xFFFF)
  bool owned;        // the box has an owner window
  bool errorIcon;    // the icon is the system's error icon
};

// Answers the message boxes this process shows while the catcher lives: a
// helper thread finds each top-level dialog captioned "Quorvane", records
// its text, owner and icon, and presses OK. The cancel flag that showMessage
// raises is cleared again afterwards, so later tests start from a quiet run.
class MessageBoxCatcher {
 public:
  // beforeAnswer, if given, runs on the catcher's thread for each box while
  // the box still waits for its answer.
  explicit MessageBoxCatcher(std::function<void(const SeenBox&)> beforeAnswer = nullptr)
      : beforeAnswer_(std::move(beforeAnswer)), watcher_([this] { watch(); }) {}
  ~MessageBoxCatcher() {
    stop_.store(true);
    watcher_.join();
    cancelFlag.store(false);
  }
  MessageBoxCatcher(const MessageBoxCatcher&) = delete;
  MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

  std::vector<SeenBox> boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
  }

  // The catcher's own thread, once it runs.
  DWORD threadId() const {
    while (threadId_.load() == 0) Sleep(1);
    return threadId_.load();
  }

  std::vector<std::string> texts() {
    std::vector<std::string> texts;
    for (const SeenBox& box : boxes()) texts.push_back(box.text);
    return texts;
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

    SeenBox seen{std::string(), GetWindow(window, GW_OWNER) != nullptr, false};
    HWND textControl = GetDlgItem(window, 0xFFFF);
    if (textControl != nullptr) {
      seen.text.resize(static_cast<std::size_t>(GetWindowTextLengthA(textControl)) + 1);
      seen.text.resize(static_cast<std::size_t>(
          GetWindowTextA(textControl, &seen.text[0], static_cast<int>(seen.text.size()))));
    }
    const HICON icon =
        reinterpret_cast<HICON>(SendMessageA(GetDlgItem(window, 0x440), STM_GETICON, 0, 0));
    seen.errorIcon = icon != nullptr && icon == LoadIconA(nullptr, IDI_HAND);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      boxes_.push_back(seen);
    }
    if (beforeAnswer_) beforeAnswer_(seen);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  }

  void watch() {
    threadId_.store(GetCurrentThreadId());
    while (!stop_.load()) {
      // A closed box's handle may come back for the next one.
      for (std::size_t i = answered_.size(); i-- > 0;) {
        if (!IsWindow(answered_[i])) answered_.erase(answered_.begin() + static_cast<std::ptrdiff_t>(i));
      }
      EnumWindows(visit, reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }

  const std::function<void(const SeenBox&)> beforeAnswer_;
  std::atomic<bool> stop_{false};
  std::atomic<DWORD> threadId_{0};
  std::mutex mutex_;
  std::vector<SeenBox> boxes_;
  std::vector<HWND> answered_;  // watcher thread only
  std::thread watcher_;         // last: starts once the rest is built
};
