// Keeps a Wine session busy while the benchmark runs its cases: with no
// Windows program left, Wine ends the session's services after a few
// seconds, and the next program pays for starting them again (up to ten
// seconds here), which is no cost of the program's own. Ends when the
// session does.
#include <windows.h>

int main() {
  Sleep(INFINITE);
  return 0;
}
