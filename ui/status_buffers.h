// The two process-wide status texts and the bar position shared by the
// worker (writer) and the window thread (reader). A short lock makes the copy
// of a text in and out exclusive. A "pending" flag per line and one for the
// bar keep at most one notification of each waiting in the window's queue:
// only the latest text or position matters, and a queue that grows faster
// than the window drains it would hold back the show timer, the later stages'
// texts and the final "done".
#pragma once

#include <cstddef>
#include <cstdint>

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

// Window procedure: copies the current text out without touching the
// line's notification, which stays waiting if one is.
void copyStatusText(StatusLine line, char* destination, std::size_t size);

// Worker: records the bar's latest position and reports whether a PBM_SETPOS
// must be posted to the bar, i.e. none is waiting yet.
bool storeBarPosition(std::int32_t position);

// Worker: the post failed, so nothing is waiting after all.
void forgetPendingBarPosition();

// Bar (on the window thread, as it handles a PBM_SETPOS): marks the
// notification handled and returns the latest position to show.
std::int32_t takeBarPosition();
