// What the window hook records inside the program under test, in a shared
// memory block the driver reads: one snapshot of the progress window after
// every message its thread handles that could change it. The hook runs on
// the program's own thread as each message is handled, so no state the
// window passes through escapes it, however short its life.
//
// One writer (the program's main thread) appends and then publishes the new
// count; the driver reads the published snapshots only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace e2e {
namespace journal {

constexpr std::uint32_t CAPACITY = 16384;
constexpr std::size_t TITLE_BYTES = 256;
constexpr std::size_t LINE_BYTES = 1024;

struct Snapshot {
  std::uint64_t tick;         // GetTickCount64 in the program
  std::uint64_t window;       // the progress window's handle
  std::uint64_t classStyle;   // GCL_STYLE
  std::int32_t exists;        // 0: the window is being destroyed
  std::int32_t visible;
  std::int32_t cancelEnabled;
  std::int32_t bar;           // PBM_GETPOS; -1 before the bar exists
  RECT rect;                  // window rectangle
  POINT clientOrigin;         // ClientToScreen(0, 0)
  RECT controls[4];           // line 1, line 2, bar, button, in client coordinates
  std::int32_t fontHeight;    // lfHeight of status line 1's font; 0 without one
  char title[TITLE_BYTES];    // each text NUL-terminated, cut to fit
  char line1[LINE_BYTES];
  char line2[LINE_BYTES];
};

struct Journal {
  volatile LONG count;     // snapshots published
  volatile LONG overflow;  // snapshots that found no room
  Snapshot snapshots[CAPACITY];
};

// The block's name for one process: the hook finds it from its own process.
inline void name(DWORD processId, char (&text)[64]) {
  std::snprintf(text, sizeof text, "qv-e2e-journal-%lu", static_cast<unsigned long>(processId));
}

// The hook procedures the hook library exports, by name.
constexpr const char* CALL_PROC = "qvCallWndProc";
constexpr const char* CALL_RET_PROC = "qvCallWndRetProc";
constexpr const char* GET_MESSAGE_PROC = "qvGetMessageProc";

}  // namespace journal
}  // namespace e2e
