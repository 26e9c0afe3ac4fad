// Reports how much text a run left on the clipboard, then empties it:
// clip_size OUTFILE writes the byte count of the CF_TEXT data (without its
// terminating zero), or -1 when there is none. Emptying lets the next run's
// server memory start from an empty clipboard rather than the last list.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (!OpenClipboard(nullptr)) return 3;
  long long size = -1;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(data))) {
      size = static_cast<long long>(std::strlen(text));
      GlobalUnlock(data);
    }
  }
  EmptyClipboard();
  CloseClipboard();
  FILE* out = std::fopen(argv[1], "w");
  if (!out) return 4;
  std::fprintf(out, "%lld\n", size);
  std::fclose(out);
  return 0;
}
