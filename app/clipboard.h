#pragma once

#include "text/stand_in.h"

enum class CopyResult {
  Copied,       // the clipboard holds the text
  Busy,         // another program kept the clipboard through every attempt
  OutOfMemory,  // no memory block for the text; the clipboard was not touched
};

// Places a NUL-terminated Shift_JIS text on the clipboard as CF_TEXT, waiting
// out another program that holds the clipboard: up to 10 attempts of up to 20
// opens 50 ms apart, 300 ms between attempts (at most about 13 s). Gives up at
// once when no memory block can be allocated. Shows no message.
//
// Beside the text, in the same opening, go its locale (one whose ANSI code
// page is the program's), so that a program that pastes Unicode reads the
// bytes as they were written whatever keyboard or user language is active,
// and, when standIns is not empty, the Unicode text itself with the real
// characters for those "?"s. Neither is part of what the run promises: a
// lack of memory for them leaves the text alone on the clipboard.
CopyResult copyTextToClipboard(const char* text, const StandIns& standIns);
