// The process-wide cancel flag. Set by the cancel button, by showMessage and
// by a successful end with the window visible; once set in a run it stays set.
#pragma once

#include <atomic>

extern std::atomic<bool> cancelFlag;

// Thrown by Job::checkCancel after the pause and the close request, caught
// only by the worker entry. Unwinding releases what the run holds (a file
// reader stops its thread without waiting for a request that never comes).
struct RunCancelled {};

// A cancel that cannot unwind the run: a thread of it is stuck in the system
// (a read from a network drive that went away) and still uses what the run
// owns, so no destructor may run and none may wait for it. Pauses as
// checkCancel does and ends the process with EXIT_CANCELLED; the stuck
// thread and the window end with it.
[[noreturn]] void endCancelledProcess();
