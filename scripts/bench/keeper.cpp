// Keeps a Wine session's desktop up while the benchmark runs its cases.
// With no Windows program on it, Wine ends the desktop process after a few
// seconds, and the next program that touches a window (or beeps) waits for
// a new one to start, up to ten seconds here: no cost of the program's own.
// A hidden window holds the desktop; the program ends with the session.
#include <windows.h>

int main() {
  CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  Sleep(INFINITE);
  return 0;
}
