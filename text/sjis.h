// Shift_JIS (code page 932) byte rules shared by every byte-wise scan that
// looks for an ASCII character a trail byte could imitate.
#pragma once

#include <cstddef>

inline bool isSjisLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline bool isSjisTrailByte(unsigned char b) {
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// True when the bytes at index and index + 1 (both below length) form one
// double-byte character. A lead byte without a valid trail counts as single.
inline bool isDoubleByteAt(const char* text, std::size_t length, std::size_t index) {
  return index + 1 < length && isSjisLeadByte(static_cast<unsigned char>(text[index])) &&
         isSjisTrailByte(static_cast<unsigned char>(text[index + 1]));
}

constexpr std::size_t NO_POSITION = static_cast<std::size_t>(-1);

// Index of the last backslash within the first limit bytes of text (the scan
// also stops at a zero byte), or NO_POSITION. Trail bytes 0x5C are skipped.
std::size_t findLastBackslash(const char* text, std::size_t limit);
