// How fast a run's digest pass goes while its window is up:
// window_rate OUTFILE PROGRAM [ARGS ...] starts the program, watches its
// progress window from outside every 20 ms, and writes
// "SHOWN_MS FIRST_MS FIRST_POS LAST_MS LAST_POS ENDED_MS EXIT" to OUTFILE:
// when the window first became visible, the first and the last look at it
// in the digest stage after that (time and bar position, 0-1024), and when
// the process ended. The bar moves by 1 and the bytes of each file, so on
// files of one size its position counts files.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  DWORD process;
  HWND window;
};

BOOL CALLBACK findProgramWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (process != search->process || std::string(className) != "Quorvane") return TRUE;
  search->window = window;
  return FALSE;
}

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::string commandLine = quoted(argv[2]);
  for (int i = 3; i < argc; ++i) commandLine += " " + quoted(argv[i]);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(argv[2], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return 3;
  }
  const ULONGLONG start = GetTickCount64();
  const auto now = [start] { return static_cast<long long>(GetTickCount64() - start); };
  long long shown = -1, firstAt = -1, lastAt = -1;
  long long firstPosition = -1, lastPosition = -1;
  Search search{process.dwProcessId, nullptr};
  while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
    if (search.window == nullptr) EnumWindows(findProgramWindow, reinterpret_cast<LPARAM>(&search));
    if (search.window == nullptr || !IsWindowVisible(search.window)) continue;
    if (shown < 0) shown = now();
    char stage[128] = {};
    GetWindowTextA(GetDlgItem(search.window, 110), stage, sizeof stage);
    if (std::string(stage).find("MD5") == std::string::npos) continue;
    HWND bar = FindWindowExA(search.window, nullptr, "msctls_progress32", nullptr);
    DWORD_PTR position = 0;
    if (bar == nullptr || !SendMessageTimeoutA(bar, 0x0408 /* PBM_GETPOS */, 0, 0,
                                               SMTO_ABORTIFHUNG, 200, &position)) {
      continue;
    }
    if (firstAt < 0) {
      firstAt = now();
      firstPosition = static_cast<long long>(position);
    }
    lastAt = now();
    lastPosition = static_cast<long long>(position);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 4;
  std::fprintf(out, "%lld %lld %lld %lld %lld %lld %ld\n", shown, firstAt, firstPosition, lastAt,
               lastPosition, now(), static_cast<long>(code));
  std::fclose(out);
  return 0;
}
