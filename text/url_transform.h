// In-place transforms of URL path texts (Shift_JIS bytes).
#pragma once

#include <string>

// Percent-encodes one path component: blank -> "+", unreserved bytes kept,
// everything else "%xx" in lower case; a double-byte character is escaped
// as a pair, whatever its trail byte.
void urlEncode(std::string& text);

// Reverses urlEncode: "%xx" -> byte, "+" -> blank. Never reads past the end.
void urlDecode(std::string& text);

// Lowers ASCII A-Z, stepping over double-byte characters.
void lowerCaseUrlPath(std::string& text);
