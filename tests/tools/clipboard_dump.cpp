// Writes the clipboard's CF_TEXT bytes, unchanged, to the file named by its
// argument; exits 1 when the clipboard holds no text.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (!OpenClipboard(nullptr)) return 3;
  int result = 1;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(data))) {
      if (FILE* out = std::fopen(argv[1], "wb")) {
        std::fwrite(text, 1, std::strlen(text), out);
        std::fclose(out);
        result = 0;
      }
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return result;
}
