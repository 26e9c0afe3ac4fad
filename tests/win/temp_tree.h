// A private folder under the temporary path for one test, removed with
// everything in it when the test ends. Names are ANSI (code page 932) bytes.
#pragma once

#include <windows.h>

#include <string>

class TempTree {
 public:
  TempTree() {
    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof temp, temp);
    static unsigned serial = 0;
    root_.assign(temp, length < sizeof temp ? length : 0);
    root_ += "qv-collect-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(++serial);
    CreateDirectoryA(root_.c_str(), nullptr);
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
