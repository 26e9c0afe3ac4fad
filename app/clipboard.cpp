#include "app/clipboard.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr int ATTEMPTS = 10;
constexpr int OPENS_PER_ATTEMPT = 20;
constexpr DWORD OPEN_PAUSE_MS = 50;
constexpr DWORD ATTEMPT_PAUSE_MS = 300;

// A movable global block; freed unless the clipboard took it.
class GlobalBlock {
 public:
  explicit GlobalBlock(SIZE_T bytes) : handle_(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes)) {}
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

bool openClipboard() {
  for (int i = 0; i < OPENS_PER_ATTEMPT; ++i) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(OPEN_PAUSE_MS);
  }
  return false;
}

enum class Attempt { Copied, Failed, NoMemory };

// One attempt with a fresh block, which is freed on return unless the
// clipboard accepted it.
Attempt attemptCopy(const char* text, SIZE_T bytes) {
  GlobalBlock block(bytes);
  if (block.get() == nullptr) return Attempt::NoMemory;
  if (!fill(block.get(), text, bytes) || !openClipboard()) return Attempt::Failed;
  EmptyClipboard();
  const bool accepted = SetClipboardData(CF_TEXT, block.get()) != nullptr;
  if (accepted) block.release();
  CloseClipboard();
  return accepted ? Attempt::Copied : Attempt::Failed;
}

}  // namespace

bool copyTextToClipboard(const char* text) {
  const SIZE_T bytes = std::strlen(text) + 1;
  for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
    switch (attemptCopy(text, bytes)) {
      case Attempt::Copied: return true;
      case Attempt::NoMemory: return false;
      case Attempt::Failed: break;
    }
    Sleep(ATTEMPT_PAUSE_MS);
  }
  return false;
}
