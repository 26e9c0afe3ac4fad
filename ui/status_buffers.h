// The two process-wide status texts shared by the worker (writer) and the
// window procedure (reader). A short lock makes the copy in and the copy out
// exclusive; a per-line "pending" flag keeps at most one notification per
// line waiting in the window's queue, since only the latest text matters.
#pragma once

#include <cstddef>

constexpr std::size_t STATUS_TEXT1_SIZE = 260;
constexpr std::size_t STATUS_TEXT2_SIZE = 780;

enum class StatusLine { First = 0, Second = 1 };

// Worker: stores the text (cut to the buffer) and reports whether a
// notification must be posted, i.e. none for this line is waiting yet.
bool storeStatusText(StatusLine line, const char* text);

// Worker: the post failed, so nothing is waiting after all.
void forgetPendingNotification(StatusLine line);

// Window procedure: marks the line's notification handled, then copies the
// current text out. A text stored after the mark posts a new notification.
void takeStatusText(StatusLine line, char* destination, std::size_t size);
