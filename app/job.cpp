#include "app/job.h"

#include <new>

#include "app/cancel.h"
#include "app/clipboard.h"
#include "app/exit_codes.h"
#include "app/out_of_memory.h"
#include "text/exact_path.h"

namespace {

// The walk nests two calls per folder level (the folder and the child it
// walks into), which hold its texts and its list of children, whose names
// are on the heap: under 2 KB a level together. The longest path the file
// system takes (32,767 units) nests at most 16,383 folders; the worker's
// stack is reserved for that deepest walk, and only what a run uses of it
// is committed.
constexpr SIZE_T WORKER_STACK_BYTES = SIZE_T{16384} * 2048;

const char* const TEXT_COPYING = "結果をクリップボードにコピー中";
const char* const TEXT_DONE = "完了";
const char* const TEXT_CLIPBOARD_FAILED =
    "クリップボードにテキストをコピーできません。\n\n"
    "しばらく時間を置くかコンピュータを再起動してから、もう一度実行してください。";

DWORD WINAPI workerEntry(LPVOID parameter) {
  Job& job = *static_cast<Job*>(parameter);
  const std::int32_t code = job.runWorker();
  job.closeWindow();
  return static_cast<DWORD>(code);
}

// Once the message loop has ended the window is no longer serviced, but a
// message box owned by it still sends messages to this thread (disabling and
// re-enabling its owner). Dispatching sent messages only, while waiting,
// keeps the worker's box from hanging without servicing anything posted.
void waitServicingSentMessages(HANDLE thread) {
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0 + 1) return;
    MSG ignored;
    PeekMessageA(&ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// The tokens of the exact command line, each also in its ANSI form.
ArgumentList argumentsOf(const wchar_t* commandLine) {
  std::vector<std::wstring> exact = splitCommandLine(commandLine);
  std::vector<std::string> ansi;
  ansi.reserve(exact.size());
  for (const std::wstring& token : exact) ansi.push_back(ansiForm(token));
  return ArgumentList(std::move(ansi), std::move(exact));
}

// The tokens of an ANSI command line, each also in its exact form.
ArgumentList argumentsOf(const char* commandLine) {
  std::vector<std::string> ansi = splitCommandLine(commandLine);
  std::vector<std::wstring> exact;
  exact.reserve(ansi.size());
  for (const std::string& token : ansi) exact.push_back(exactForm(token));
  return ArgumentList(std::move(ansi), std::move(exact));
}

}  // namespace

// Explorer passes paths in UTF-16; the ANSI command line would hold
// look-alikes and "?"s for the characters the code page lacks.
Job::Job(HINSTANCE instanceHandle)
    : appInstance(instanceHandle), arguments(argumentsOf(GetCommandLineW())) {}

Job::Job(HINSTANCE instanceHandle, const char* commandLine)
    : appInstance(instanceHandle), arguments(argumentsOf(commandLine)) {}

std::int32_t Job::run() {
  if (!createWindow(appInstance)) return EXIT_WINDOW_FAILED;

  HANDLE worker = CreateThread(nullptr, WORKER_STACK_BYTES, workerEntry, this,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (worker == nullptr) return EXIT_THREAD_FAILED;

  if (WaitForSingleObject(worker, SHOW_DELAY_MS) == WAIT_TIMEOUT) {
    runMessageLoop();
    waitServicingSentMessages(worker);
  }

  DWORD code = static_cast<DWORD>(EXIT_THREAD_FAILED);
  GetExitCodeThread(worker, &code);
  CloseHandle(worker);
  return static_cast<std::int32_t>(code);
}

std::int32_t Job::runWorker() {
  try {
    return workerMain();
  } catch (const RunCancelled&) {
    return EXIT_CANCELLED;
  } catch (...) {
    // Memory running out, a text or list longer than the address space can
    // hold, a thread or a lock the system refused: whatever was thrown, on
    // this thread or by a digest worker (see Workers::takeReport), the
    // run could not get what it needed and ends one way. Nothing is left to
    // end the process through std::terminate.
  }
  // What the run built is given back before the box, which needs memory of
  // its own; the output was never made, so the clipboard is as it was.
  std::vector<FileEntry>().swap(entries);
  showMessage(TEXT_OUT_OF_MEMORY, MB_ICONERROR | MB_OK);
  return EXIT_OUT_OF_MEMORY;
}

std::int32_t Job::workerMain() {
  if (!loadIniSettings()) return EXIT_SETTINGS_FAILED;
  if (!applyCommandLine()) return EXIT_ARGUMENTS_FAILED;
  buildOutputVocabulary();
  StandIns standIns;
  const std::string text = buildText(standIns);

  setStatus(TEXT_COPYING, "");
  switch (copyTextToClipboard(text.c_str(), standIns)) {
    case CopyResult::Copied:
      break;
    case CopyResult::Busy:
      showMessage(TEXT_CLIPBOARD_FAILED, MB_ICONERROR | MB_OK);
      return EXIT_CLIPBOARD_FAILED;
    case CopyResult::OutOfMemory:
      // The same end as memory running out anywhere else in the run.
      throw std::bad_alloc();
  }

  MessageBeep(0);
  if (isVisible()) {
    setStatus(TEXT_DONE, "");
    Sleep(1000);
    cancelFlag.store(true);
  }
  return EXIT_OK;
}
