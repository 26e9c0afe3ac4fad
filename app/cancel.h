// The process-wide cancel flag. Set by the cancel button, by showMessage and
// by a successful end with the window visible; once set in a run it stays set.
#pragma once

#include <atomic>

extern std::atomic<bool> cancelFlag;

// Thrown by Job::checkCancel after the pause and the close request, caught
// only by the worker entry. Unwinding releases what the run holds (a file
// reader stops its thread without waiting for a request that never comes).
struct RunCancelled {};
