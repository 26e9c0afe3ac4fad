#include "app/cancel.h"

#include "app/job.h"

std::atomic<bool> cancelFlag{false};

void Job::checkCancel() {
  if (!cancelFlag.load()) return;
  // The pause lets the user read the changed title before the window goes.
  Sleep(1000);
  closeWindow();
  throw RunCancelled{};
}
