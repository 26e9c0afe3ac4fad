#include "text/url_transform.h"

#include <cstddef>

#include "text/sjis.h"

namespace {

const char HEX_DIGITS[] = "0123456789abcdef";

bool isUnreserved(unsigned char b) {
  if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) return true;
  switch (b) {
    case '!': case '\'': case '(': case ')': case '*': case '-': case '.': case '_': case '~':
      return true;
    default:
      return false;
  }
}

void appendEscape(std::string& result, unsigned char b) {
  result += '%';
  result += HEX_DIGITS[b >> 4];
  result += HEX_DIGITS[b & 0x0F];
}

// Anything that is not a hexadecimal digit counts as 0, so a malformed
// escape still yields one byte instead of stopping the decode.
unsigned hexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return 0;
}

}  // namespace

// The whole string is encoded, an embedded zero byte included (as %00), so
// that decoding gives back exactly the bytes that went in.
void urlEncode(std::string& text) {
  const std::size_t length = text.size();
  // Most names need no escape at all; they are left as they are, without
  // building a copy.
  std::size_t plain = 0;
  while (plain < length && isUnreserved(static_cast<unsigned char>(text[plain]))) ++plain;
  if (plain == length) return;
  std::string result;
  result.reserve(length * 3);
  for (std::size_t i = 0; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == ' ') {
      result += '+';
    } else if (isUnreserved(b)) {
      result += static_cast<char>(b);
    } else {
      appendEscape(result, b);
      // A trail byte may look like a letter (0x41 of the katakana "a"); it
      // belongs to its lead byte and is escaped with it.
      if (isDoubleByteAt(text.data(), length, i)) {
        ++i;
        appendEscape(result, static_cast<unsigned char>(text[i]));
      }
    }
  }
  text.swap(result);
}

void urlDecode(std::string& text) {
  const std::size_t length = text.size();
  std::string result;
  result.reserve(length);
  std::size_t i = 0;
  while (i < length) {
    const char c = text[i];
    if (c == '%') {
      const unsigned high = i + 1 < length ? hexValue(text[i + 1]) : 0;
      const unsigned low = i + 2 < length ? hexValue(text[i + 2]) : 0;
      result += static_cast<char>((high << 4) | low);
      // An escape cut short by the end of the text is the last thing decoded.
      if (i + 2 >= length) break;
      i += 3;
    } else {
      result += c == '+' ? ' ' : c;
      ++i;
    }
  }
  text.swap(result);
}

void lowerCaseUrlPath(std::string& text) {
  const std::size_t length = text.size();
  std::size_t i = 0;
  while (i < length) {
    if (isDoubleByteAt(text.data(), length, i)) {
      i += 2;
      continue;
    }
    if (text[i] >= 'A' && text[i] <= 'Z') text[i] = static_cast<char>(text[i] + 0x20);
    ++i;
  }
}
