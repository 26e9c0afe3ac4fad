// Helpers of the file reader and digest tests: a temporary folder with files
// of known bytes, and a watcher that answers the reader's modal error boxes.
#pragma once

#include <tlhelp32.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace digest_test {

// The byte at offset i of every test file; not periodic in 64 or in the
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

// Waits up to a second for the thread count to fall back to expected.
inline int threadsSettledAt(int expected) {
  int count = threadsOfThisProcess();
  for (int i = 0; i < 100 && count != expected; ++i) {
    Sleep(10);
    count = threadsOfThisProcess();
  }
  return count;
}

// A unique folder under the temp path, removed with its files.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "qv_digest_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(GetTickCount64()) + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    for (const std::string& file : files_) DeleteFileA(file.c_str());
    RemoveDirectoryA(path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Path of name inside the folder; the file is removed with the folder.
  std::string pathOf(const std::string& name) {
    files_.push_back(path_ + name);
    return files_.back();
  }

  // Writes size pattern bytes to name and returns its path.
  std::string writeFile(const std::string& name, std::uint64_t size) {
    const std::string path = pathOf(name);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    for (std::uint64_t i = 0; i < size; ++i) bytes[i] = patternByte(i);
    DWORD written = 0;
    if (size != 0) WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return path;
  }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

// The server end of a named pipe that a reader opens like a file: it writes
// pattern bytes, and closing it makes the reader's next ReadFile fail.
class PipeWriter {
 public:
  PipeWriter()
      : path_("\\\\.\\pipe\\qv_digest_" + std::to_string(GetCurrentProcessId()) + "_" +
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

// While it lives, answers every top-level dialog of this process captioned
// "Quorvane" with OK, after recording its text, owner and icon.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() : thread_([this] { watch(); }) {}
  ~MessageBoxWatcher() {
    stop_.store(true);
    thread_.join();
  }
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  std::vector<SeenBox> boxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
  }

 private:
  static BOOL CALLBACK findBox(HWND window, LPARAM result) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    char title[32] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if (process == GetCurrentProcessId() && std::string(className) == "#32770" &&
        std::string(title) == "Quorvane" && IsWindowVisible(window)) {
      *reinterpret_cast<HWND*>(result) = window;
      return FALSE;
    }
    return TRUE;
  }

  void watch() {
    while (!stop_.load()) {
      HWND box = nullptr;
      EnumWindows(findBox, reinterpret_cast<LPARAM>(&box));
      if (box == nullptr) {
        Sleep(10);
        continue;
      }
      char text[1024] = {};
      GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof text);
      const HICON icon =
          reinterpret_cast<HICON>(SendMessageA(GetDlgItem(box, 0x440), STM_GETICON, 0, 0));
      SeenBox seen{text, GetWindow(box, GW_OWNER) != nullptr,
                   icon != nullptr && icon == LoadIconA(nullptr, IDI_HAND)};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(seen);
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      // Not counted twice: wait until this box is gone.
      for (int i = 0; i < 500 && IsWindow(box); ++i) Sleep(10);
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenBox> boxes_;
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace digest_test
