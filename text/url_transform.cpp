#include "text/url_transform.h"

#include <cstddef>
#include <cwchar>

#include "text/sjis.h"

namespace {

const char HEX_DIGITS[] = "0123456789abcdef";
const char UPPER_HEX_DIGITS[] = "0123456789ABCDEF";

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

// One byte of a name's UTF-8 form.
void appendUtf8FormByte(std::string& result, unsigned b) {
  if (isUnreserved(static_cast<unsigned char>(b))) {
    result += static_cast<char>(b);
    return;
  }
  result += '%';
  result += UPPER_HEX_DIGITS[b >> 4];
  result += UPPER_HEX_DIGITS[b & 0x0F];
}

bool isHighSurrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool equalsIgnoringCase(const std::string& text, const char* upper) {
  std::size_t i = 0;
  for (; upper[i] != '\0'; ++i) {
    if (i == text.size()) return false;
    const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 0x20) : text[i];
    if (c != upper[i]) return false;
  }
  return i == text.size();
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

bool urlFormFromText(const std::string& text, UrlForm& form) {
  if (equalsIgnoringCase(text, "SJIS")) {
    form = UrlForm::ShiftJis;
  } else if (equalsIgnoringCase(text, "UTF8") || equalsIgnoringCase(text, "UTF-8")) {
    form = UrlForm::Utf8;
  } else {
    return false;
  }
  return true;
}

template <typename Unit>
std::string urlEncodeUtf8(const Unit* units, std::size_t length) {
  std::string result;
  result.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    std::uint32_t code = static_cast<std::uint32_t>(units[i]);
    if (isHighSurrogate(code) && i + 1 < length &&
        isLowSurrogate(static_cast<std::uint32_t>(units[i + 1]))) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(units[++i]) - 0xDC00);
    }
    // A surrogate left alone takes the three bytes of any other unit of its
    // range (WTF-8), which no character's UTF-8 form has.
    if (code < 0x80) {
      appendUtf8FormByte(result, code);
    } else if (code < 0x800) {
      appendUtf8FormByte(result, 0xC0 | code >> 6);
      appendUtf8FormByte(result, 0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      appendUtf8FormByte(result, 0xE0 | code >> 12);
      appendUtf8FormByte(result, 0x80 | (code >> 6 & 0x3F));
      appendUtf8FormByte(result, 0x80 | (code & 0x3F));
    } else {
      appendUtf8FormByte(result, 0xF0 | code >> 18);
      appendUtf8FormByte(result, 0x80 | (code >> 12 & 0x3F));
      appendUtf8FormByte(result, 0x80 | (code >> 6 & 0x3F));
      appendUtf8FormByte(result, 0x80 | (code & 0x3F));
    }
  }
  return result;
}

template std::string urlEncodeUtf8<char16_t>(const char16_t*, std::size_t);
#if WCHAR_MAX == 0xFFFF
template std::string urlEncodeUtf8<wchar_t>(const wchar_t*, std::size_t);
#endif

bool hasUtf8FormEscape(const std::string& path) {
  for (std::size_t at = path.find('%'); at != std::string::npos; at = path.find('%', at + 1)) {
    for (std::size_t digit = at + 1; digit <= at + 2 && digit < path.size(); ++digit) {
      if (path[digit] >= 'A' && path[digit] <= 'F') return true;
    }
  }
  return false;
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
