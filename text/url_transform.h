// In-place transforms of URL path texts (Shift_JIS bytes), and the UTF-8
// form of a name's escapes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The two forms a URL path is percent-encoded in (the URLEncoding setting).
enum class UrlForm : std::uint8_t {
  ShiftJis,  // each name's Shift_JIS bytes, "%xx" in lower case, a blank "+"
  Utf8,      // each name's UTF-8 bytes, "%XX" in upper case, a blank "%20"
};

// A value of the INI key or of /E: "SJIS", "UTF8" or "UTF-8" in any case.
// False, leaving form as it was, for anything else.
bool urlFormFromText(const std::string& text, UrlForm& form);

// Percent-encodes one path component: blank -> "+", unreserved bytes kept,
// everything else "%xx" in lower case; a double-byte character is escaped
// as a pair, whatever its trail byte.
void urlEncode(std::string& text);

// Percent-encodes one name as the file system spells it, length UTF-16
// units: the unreserved bytes of its UTF-8 form are kept, every other byte
// becomes "%XX" in upper case, a blank included. An unpaired surrogate is
// taken as its WTF-8 bytes, so two different names never give one URL; the
// name is not normalised. For char16_t, and for wchar_t where it is UTF-16.
template <typename Unit>
std::string urlEncodeUtf8(const Unit* units, std::size_t length);

// True when the path holds an escape of the UTF-8 form: one with an
// upper-case hexadecimal letter, which the Shift_JIS form never writes. A
// path of the UTF-8 form without one decodes to ASCII, which reads the same
// either way, so the escapes tell how to read what they decode to (until
// EnSmallURL lowers them, after the digest pass).
bool hasUtf8FormEscape(const std::string& path);

// Reverses urlEncode: "%xx" -> byte, "+" -> blank. Never reads past the end.
void urlDecode(std::string& text);

// Lowers ASCII A-Z, stepping over double-byte characters.
void lowerCaseUrlPath(std::string& text);
