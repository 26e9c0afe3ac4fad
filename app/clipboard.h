#pragma once

// Places a NUL-terminated Shift_JIS text on the clipboard as CF_TEXT, waiting
// out another program that holds the clipboard: up to 10 attempts of up to 20
// opens 50 ms apart, 300 ms between attempts (at most about 13 s). Gives up at
// once when no memory block can be allocated. Shows no message.
bool copyTextToClipboard(const char* text);
