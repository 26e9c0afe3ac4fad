#include "app/cancel.h"

#include "app/exit_codes.h"
#include "app/job.h"

std::atomic<bool> cancelFlag{false};

void Job::checkCancel() {
  if (!cancelFlag.load()) return;
  // The pause lets the user read the changed title before the window goes.
  Sleep(1000);
  closeWindow();
  throw RunCancelled{};
}

void endCancelledProcess() {
  Sleep(1000);
  // Ended at once: no library is asked to detach, so nothing the stuck
  // thread was in the middle of can hold the end up.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(EXIT_CANCELLED));
  ExitProcess(static_cast<UINT>(EXIT_CANCELLED));
}
