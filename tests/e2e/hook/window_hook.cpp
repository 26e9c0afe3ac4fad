// The hook library the driver sets on the program's main thread. Windows
// loads it into the program and calls it as that thread handles each
// message; it writes a snapshot of the progress window into the journal
// whenever the window looks different from the last snapshot.
//
// Every change to the window is made while its thread handles a message: a
// sent one (seen by the call hooks, before and after) or a posted one (its
// effect seen by the next message's hook, or the next retrieval). The last
// look before destruction is taken as the window gets WM_DESTROY.
#include "tests/e2e/hook/journal.h"

#include <commctrl.h>

#include <cstring>

namespace {

constexpr int ID_STATUS_LINE1 = 110;
constexpr int ID_STATUS_LINE2 = 111;
constexpr int ID_CANCEL_BUTTON = 112;
constexpr const char* PROGRAM_CLASS = "Quorvane";

// One thread calls the hooks, so plain statics do.
e2e::journal::Journal* journalBlock = nullptr;
bool journalOpened = false;
HWND programWindow = nullptr;
bool windowDestroyed = false;
bool busy = false;  // the hook's own queries send messages too

e2e::journal::Journal* journal() {
  if (!journalOpened) {
    journalOpened = true;
    char name[64];
    e2e::journal::name(GetCurrentProcessId(), name);
    if (HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name)) {
      journalBlock = static_cast<e2e::journal::Journal*>(
          MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(e2e::journal::Journal)));
      // The view keeps the block alive for the rest of the process.
      CloseHandle(mapping);
    }
  }
  return journalBlock;
}

template <std::size_t N>
void readText(HWND window, char (&text)[N]) {
  text[0] = '\0';
  if (window != nullptr) GetWindowTextA(window, text, static_cast<int>(N));
}

void look(HWND window, e2e::journal::Snapshot& shot) {
  std::memset(&shot, 0, sizeof shot);
  shot.window = reinterpret_cast<std::uintptr_t>(window);
  shot.classStyle = GetClassLongPtrA(window, GCL_STYLE);
  shot.exists = 1;
  shot.visible = IsWindowVisible(window) != FALSE;
  HWND button = GetDlgItem(window, ID_CANCEL_BUTTON);
  shot.cancelEnabled = button != nullptr && IsWindowEnabled(button);
  HWND bar = FindWindowExA(window, nullptr, PROGRESS_CLASSA, nullptr);
  shot.bar = bar != nullptr ? static_cast<std::int32_t>(SendMessageA(bar, PBM_GETPOS, 0, 0)) : -1;
  GetWindowRect(window, &shot.rect);
  ClientToScreen(window, &shot.clientOrigin);
  const HWND controls[] = {GetDlgItem(window, ID_STATUS_LINE1), GetDlgItem(window, ID_STATUS_LINE2),
                           bar, button};
  for (int i = 0; i < 4; ++i) {
    if (controls[i] == nullptr) continue;
    GetWindowRect(controls[i], &shot.controls[i]);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&shot.controls[i]), 2);
  }
  LOGFONTA font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageA(controls[0], WM_GETFONT, 0, 0));
  if (GetObjectA(handle, sizeof font, &font) != 0) shot.fontHeight = font.lfHeight;
  readText(window, shot.title);
  readText(GetDlgItem(window, ID_STATUS_LINE1), shot.line1);
  readText(GetDlgItem(window, ID_STATUS_LINE2), shot.line2);
}

// Appends the snapshot unless it shows what the last one showed.
void record(e2e::journal::Snapshot& shot) {
  e2e::journal::Journal* block = journal();
  if (block == nullptr) return;
  const LONG count = block->count;
  if (count > 0) {
    const e2e::journal::Snapshot& last = block->snapshots[count - 1];
    const std::size_t skip = sizeof shot.tick;
    if (std::memcmp(reinterpret_cast<const char*>(&last) + skip,
                    reinterpret_cast<const char*>(&shot) + skip, sizeof shot - skip) == 0) {
      return;
    }
  }
  if (count >= static_cast<LONG>(e2e::journal::CAPACITY)) {
    InterlockedIncrement(&block->overflow);
    return;
  }
  shot.tick = GetTickCount64();
  std::memcpy(&block->snapshots[count], &shot, sizeof shot);
  InterlockedExchange(&block->count, count + 1);  // publishes the snapshot
}

bool isProgramWindow(HWND window) {
  char name[16];
  return GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, PROGRAM_CLASS) == 0;
}

void observe(HWND about, UINT message) {
  if (busy || windowDestroyed) return;
  busy = true;
  if (programWindow == nullptr && about != nullptr) {
    HWND root = GetAncestor(about, GA_ROOT);
    if (root != nullptr && isProgramWindow(root)) programWindow = root;
  }
  if (programWindow != nullptr && IsWindow(programWindow)) {
    e2e::journal::Snapshot shot;
    look(programWindow, shot);
    record(shot);
    if (message == WM_DESTROY && about == programWindow) {
      shot.exists = 0;
      record(shot);
      windowDestroyed = true;
    }
  }
  busy = false;
}

}  // namespace

extern "C" {

__declspec(dllexport) LRESULT CALLBACK qvCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    observe(message->hwnd, message->message);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK qvCallWndRetProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    // WM_DESTROY was handled when it arrived; nothing after it counts.
    if (message->message != WM_DESTROY) observe(message->hwnd, message->message);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

__declspec(dllexport) LRESULT CALLBACK qvGetMessageProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) observe(reinterpret_cast<const MSG*>(lParam)->hwnd, 0);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // extern "C"
