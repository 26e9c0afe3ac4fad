// Memory running out at any point of a run: the run ends with one message
// box and its own exit code and leaves the clipboard as it was, or, where
// only something the list can do without was refused, still copies it.
// Every allocation the run makes is refused in turn, from that one on.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "app/exit_codes.h"
#include "app/job.h"
#include "app/out_of_memory.h"
#include "digest/digest_pass.h"
#include "test_support.h"
#include "text/exact_path.h"

namespace {

// Allocations of one thread only, the one that runs the worker: the box
// catcher's thread and the test framework keep their memory. (No
// thread_local: its storage, made for every thread that allocates and freed
// as each one ends, upsets Wine 10's heap.)
std::atomic<DWORD> limitedThread{0};
long allocationsLeft = 0;  // of the limited thread, which alone touches these
long allocationsMade = 0;
bool allocationRefused = false;

// While set, every allocation on a thread other than these two (the run's
// and the box catcher's: the digest pass's workers) throws the exception of
// its kind, made beforehand (making one with a message allocates).
enum class Refusal { None, BadAlloc, LengthError, SystemError };
std::atomic<Refusal> othersRefused{Refusal::None};
std::atomic<DWORD> allowedThreads[2];
const std::length_error lengthError("refused");
const std::system_error systemError(std::make_error_code(std::errc::resource_unavailable_try_again));

void refuseOnOtherThreads() {
  const DWORD self = GetCurrentThreadId();
  if (self == allowedThreads[0].load() || self == allowedThreads[1].load()) return;
  switch (othersRefused.load()) {
    case Refusal::BadAlloc: throw std::bad_alloc();
    case Refusal::LengthError: throw lengthError;
    case Refusal::SystemError: throw systemError;
    case Refusal::None: return;
  }
}

bool takeAllocation() {
  refuseOnOtherThreads();
  if (limitedThread.load(std::memory_order_relaxed) != GetCurrentThreadId()) return true;
  ++allocationsMade;
  if (allocationsLeft == 0) {
    allocationRefused = true;
    return false;
  }
  --allocationsLeft;
  return true;
}

// From here on the calling thread gets `allowed` more allocations, and no more.
class AllocationLimit {
 public:
  explicit AllocationLimit(long allowed) {
    allocationsMade = 0;
    allocationRefused = false;
    allocationsLeft = allowed;
    limitedThread.store(GetCurrentThreadId());
  }
  ~AllocationLimit() { limitedThread.store(0); }
  AllocationLimit(const AllocationLimit&) = delete;
  AllocationLimit& operator=(const AllocationLimit&) = delete;
  long made() const { return allocationsMade; }
  bool refused() const { return allocationRefused; }
};

// The program's code is linked into this test and calls GlobalAlloc, for
// the clipboard's blocks, through this module's import table; pointing that
// entry here puts the blocks under the same limit.
using GlobalAllocCall = HGLOBAL(WINAPI*)(UINT, SIZE_T);
GlobalAllocCall realGlobalAlloc = nullptr;

HGLOBAL WINAPI limitedGlobalAlloc(UINT flags, SIZE_T bytes) {
  if (!takeAllocation()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return realGlobalAlloc(flags, bytes);
}

// Once per process: a second redirection would take the first for the original.
bool redirectImport(const char* function, void* replacement, void** original) {
  if (*original != nullptr) return true;
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       module->Name != 0; ++module) {
    if (module->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::string(reinterpret_cast<const char*>(byName->Name)) != function) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) {
        return false;
      }
      *original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      return true;
    }
  }
  return false;
}

void putOnClipboard(const std::string& text) {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (block != nullptr) {
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    if (SetClipboardData(CF_TEXT, block) == nullptr) GlobalFree(block);
  }
  CloseClipboard();
}

std::string clipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "(busy)";
  if (HANDLE block = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(block));
    GlobalUnlock(block);
  }
  CloseClipboard();
  return text;
}

struct RunResult {
  std::int32_t code;
  long allocations;
  bool refused;
  std::vector<SeenBox> boxes;
  std::string clipboard;
};

RunResult runRefusingFrom(const std::string& commandLine, long allowed) {
  putOnClipboard("before the run");
  MessageBoxCatcher catcher;
  RunResult result{};
  {
    Job job(GetModuleHandleA(nullptr), commandLine.c_str());
    const AllocationLimit limit(allowed);
    result.code = job.runWorker();
    result.allocations = limit.made();
    result.refused = limit.refused();
  }
  result.boxes = catcher.boxes();
  result.clipboard = clipboardText();
  return result;
}

}  // namespace

// Global, so the program's code linked into this test allocates through it.
void* operator new(std::size_t size) {
  void* memory = takeAllocation() ? std::malloc(size != 0 ? size : 1) : nullptr;
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}
// GCC takes the free of a block that new took from malloc for a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

TEST(OutOfMemory, EveryRefusedAllocationEndsTheRunCleanly) {
  ASSERT_TRUE(redirectImport("GlobalAlloc", reinterpret_cast<void*>(limitedGlobalAlloc),
                             reinterpret_cast<void**>(&realGlobalAlloc)));
  // Digests, a sort, a name the code page lacks (so the clipboard also gets
  // its Unicode text) and a folder to walk: every stage allocates.
  TempTree tree;
  tree.folder("d");
  tree.patternFile("d\\b.bin", 300000);
  tree.file("d\\a.txt", "hello");
  const std::wstring unspellable = exactForm(tree.path("d\\")) + L"\xD55C.txt";
  CloseHandle(CreateFileW(unspellable.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const std::string commandLine =
      "\"" + tree.path("quorvane.exe") + "\" /M /D \"" + tree.path("d") + "\"";

  const RunResult whole = runRefusingFrom(commandLine, LONG_MAX);
  ASSERT_EQ(whole.code, EXIT_OK);
  ASSERT_TRUE(whole.boxes.empty());
  ASSERT_EQ(std::count(whole.clipboard.begin(), whole.clipboard.end(), '\n'), 3);

  for (long allowed = 0; allowed < whole.allocations; ++allowed) {
    const RunResult run = runRefusingFrom(commandLine, allowed);
    ASSERT_TRUE(run.refused) << allowed;
    if (run.code == EXIT_OK) {
      // Only what the list can do without was refused: the Unicode text.
      EXPECT_TRUE(run.boxes.empty()) << allowed;
      EXPECT_EQ(run.clipboard, whole.clipboard) << allowed;
      continue;
    }
    EXPECT_EQ(run.code, EXIT_OUT_OF_MEMORY) << allowed;
    ASSERT_FALSE(run.boxes.empty()) << allowed;
    // The reader may first have said that it had no buffer, and gone on.
    for (std::size_t i = 0; i + 1 < run.boxes.size(); ++i) {
      EXPECT_EQ(run.boxes[i].text, "読み込み用バッファが用意できません。") << allowed;
    }
    EXPECT_EQ(run.boxes.back().text, TEXT_OUT_OF_MEMORY) << allowed;
    EXPECT_TRUE(run.boxes.back().errorIcon) << allowed;
    EXPECT_EQ(run.clipboard, "before the run") << allowed;
  }
}

// A digest worker that runs out of memory, or meets any other exception,
// hands it to the run's thread, which throws it as itself in walk order; at
// the top of the run it ends the run as memory running out does.
TEST(OutOfMemory, AnExceptionOnADigestWorkerEndsTheRunCleanly) {
  TempTree tree;
  tree.folder("d");
  std::vector<FileEntry> files(6);
  for (int i = 0; i < 6; ++i) files[i].localPath = tree.patternFile("d\\f" + std::to_string(i), 70000);
  const std::string commandLine = "\"" + tree.path("quorvane.exe") + "\" /M \"" + tree.path("d") + "\"";
  const auto runRefusing = [](Refusal refusal, const std::function<void()>& run) {
    MessageBoxCatcher catcher;
    allowedThreads[0].store(GetCurrentThreadId());
    allowedThreads[1].store(catcher.threadId());
    othersRefused.store(refusal);
    Refusal thrown = Refusal::None;
    try {
      run();
    } catch (const std::bad_alloc&) {
      thrown = Refusal::BadAlloc;
    } catch (const std::length_error&) {
      thrown = Refusal::LengthError;
    } catch (const std::system_error&) {
      thrown = Refusal::SystemError;
    }
    othersRefused.store(Refusal::None);
    return std::make_pair(thrown, catcher.texts());
  };
  for (const Refusal refusal : {Refusal::BadAlloc, Refusal::LengthError, Refusal::SystemError}) {
    for (const unsigned workers : {1u, 2u, 4u}) {
      std::vector<FileEntry> entries = files;
      Job job(GetModuleHandleA(nullptr), commandLine.c_str());
      EXPECT_EQ(runRefusing(refusal, [&] { DigestPass(job, workers).digestAll(entries); }).first, refusal)
          << static_cast<int>(refusal) << ", " << workers << " workers";
    }
    // The whole run, on as many workers as the machine gives.
    putOnClipboard("before the run");
    std::int32_t code = 0;
    const auto seen = runRefusing(refusal, [&] { code = Job(GetModuleHandleA(nullptr), commandLine.c_str()).runWorker(); });
    EXPECT_EQ(code, EXIT_OUT_OF_MEMORY) << static_cast<int>(refusal);
    ASSERT_EQ(seen.second.size(), 1u);
    EXPECT_EQ(seen.second[0], TEXT_OUT_OF_MEMORY);
    EXPECT_EQ(clipboardText(), "before the run");
  }
}
