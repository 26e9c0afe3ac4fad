#include "app/clipboard.h"

#include <windows.h>

#include <cstring>

#include "text/exact_path.h"

namespace {

constexpr int ATTEMPTS = 10;
constexpr int OPENS_PER_ATTEMPT = 20;
constexpr DWORD OPEN_PAUSE_MS = 50;
constexpr DWORD ATTEMPT_PAUSE_MS = 300;

// A movable global block (none for 0 bytes); freed unless the clipboard took it.
class GlobalBlock {
 public:
  explicit GlobalBlock(SIZE_T bytes)
      : handle_(bytes == 0 ? nullptr : GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes)) {}
  ~GlobalBlock() {
    if (handle_ != nullptr) GlobalFree(handle_);
  }
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;

  HGLOBAL get() const { return handle_; }
  void release() { handle_ = nullptr; }

 private:
  HGLOBAL handle_;
};

bool fill(HGLOBAL block, const char* text, SIZE_T bytes) {
  void* memory = GlobalLock(block);
  if (memory == nullptr) return false;
  std::memcpy(memory, text, bytes);
  GlobalUnlock(block);
  return true;
}

// The number a locale gives for its ANSI code page; 0 when it gives none.
UINT ansiCodePageOf(LCID locale) {
  DWORD codePage = 0;
  const int read = GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                  reinterpret_cast<LPWSTR>(&codePage),
                                  sizeof codePage / sizeof(WCHAR));
  return read != 0 ? codePage : 0;
}

// A locale whose ANSI code page is the program's: the user's when it has
// one, else the system's, from which Windows takes the code page. Left to
// the system, the text's locale is the current input language, and an
// English keyboard on Japanese Windows reads Shift_JIS as code page 1252.
// 0 when none is found; the system then chooses as it always did.
LCID textLocale() {
  const UINT codePage = GetACP();
  for (const LCID locale : {GetThreadLocale(), GetUserDefaultLCID(), GetSystemDefaultLCID()}) {
    if (ansiCodePageOf(locale) == codePage) return locale;
  }
  return 0;
}

bool fillLocale(HGLOBAL block, LCID locale) {
  if (block == nullptr || locale == 0) return false;
  return fill(block, reinterpret_cast<const char*>(&locale), sizeof locale);
}

// The Unicode text, unicodeLength units long, of an output of `bytes`
// bytes (without its NUL) that holds stand-ins, in a block of its own;
// false when it cannot be made.
bool fillUnicode(HGLOBAL block, const char* text, std::size_t bytes, std::size_t unicodeLength,
                 const StandIns& standIns) {
  if (block == nullptr) return false;
  auto* memory = static_cast<wchar_t*>(GlobalLock(block));
  if (memory == nullptr) return false;
  const bool written = writeUnicodeForm(text, bytes, standIns, memory, unicodeLength);
  memory[unicodeLength] = L'\0';
  GlobalUnlock(block);
  return written;
}

bool openClipboard() {
  for (int i = 0; i < OPENS_PER_ATTEMPT; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(OPEN_PAUSE_MS);
  }
  return false;
}

enum class Attempt { Copied, Failed, NoMemory };

// Hands a block over as the format unless it could not be filled; whether
// the clipboard takes it does not matter to the run.
void offer(UINT format, GlobalBlock& block, bool filled) {
  if (filled && SetClipboardData(format, block.get()) != nullptr) block.release();
}

// One attempt with fresh blocks, each freed on return unless the clipboard
// accepted it. The text's block is made first, so that the others can only
// take memory it does not need; they are made before the clipboard is
// opened, which stays open no longer than for the text alone.
Attempt attemptCopy(const char* text, SIZE_T bytes, const StandIns& standIns,
                    std::size_t unicodeLength) {
  GlobalBlock block(bytes);
  if (block.get() == nullptr) return Attempt::NoMemory;
  if (!fill(block.get(), text, bytes)) return Attempt::Failed;
  const LCID locale = textLocale();
  GlobalBlock localeBlock(locale != 0 ? sizeof locale : 0);
  const bool localeFilled = fillLocale(localeBlock.get(), locale);
  GlobalBlock unicodeBlock(unicodeLength != 0 ? (unicodeLength + 1) * sizeof(wchar_t) : 0);
  const bool unicodeFilled =
      fillUnicode(unicodeBlock.get(), text, bytes - 1, unicodeLength, standIns);
  if (!openClipboard()) return Attempt::Failed;
  EmptyClipboard();
  const bool accepted = SetClipboardData(CF_TEXT, block.get()) != nullptr;
  if (accepted) {
    block.release();
    offer(CF_LOCALE, localeBlock, localeFilled);
    offer(CF_UNICODETEXT, unicodeBlock, unicodeFilled);
  }
  CloseClipboard();
  return accepted ? Attempt::Copied : Attempt::Failed;
}

}  // namespace

CopyResult copyTextToClipboard(const char* text, const StandIns& standIns) {
  const SIZE_T bytes = std::strlen(text) + 1;
  // Counted once; without stand-ins there is no Unicode text to make.
  const std::size_t unicodeLength = standIns.empty() ? 0 : ::unicodeLength(text, bytes - 1, standIns);
  for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
    switch (attemptCopy(text, bytes, standIns, unicodeLength)) {
      case Attempt::Copied: return CopyResult::Copied;
      case Attempt::NoMemory: return CopyResult::OutOfMemory;
      case Attempt::Failed: break;
    }
    Sleep(ATTEMPT_PAUSE_MS);
  }
  return CopyResult::Busy;
}
