#include "settings/ini_text.h"

namespace {

const char UTF8_MARK[] = "\xEF\xBB\xBF";
const char UTF16_MARK[] = "\xFF\xFE";

bool beginsWith(const std::string& bytes, const char* mark) { return bytes.rfind(mark, 0) == 0; }

// The length of the well-formed UTF-8 sequence at index, with its code
// point; 0 when the bytes there form none (a stray byte, an overlong form,
// a surrogate, a sequence cut short or past U+10FFFF).
std::size_t utf8SequenceAt(const std::string& bytes, std::size_t index, char32_t& code) {
  const unsigned char lead = static_cast<unsigned char>(bytes[index]);
  std::size_t length = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (bytes.size() - index < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(bytes[index + i]);
    if ((next & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  static const char32_t LEAST[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < LEAST[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The part of text from first to end without blanks on either side.
void trim(const std::u16string& text, std::size_t& first, std::size_t& end) {
  while (first < end && isBlank(text[first])) ++first;
  while (end > first && isBlank(text[end - 1])) --end;
}

// The position of c within [first, end), or end.
std::size_t findWithin(const std::u16string& text, std::size_t first, std::size_t end, char16_t c) {
  for (; first < end; ++first) {
    if (text[first] == c) return first;
  }
  return end;
}

bool sameName(const std::u16string& text, std::size_t first, std::size_t end, const char* name) {
  for (std::size_t i = first; i < end; ++i, ++name) {
    char16_t c = text[i];
    char16_t n = static_cast<unsigned char>(*name);
    if (n == 0) return false;
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - (u'a' - u'A'));
    if (n >= u'a' && n <= u'z') n = static_cast<char16_t>(n - (u'a' - u'A'));
    if (c != n) return false;
  }
  return *name == '\0';
}

}  // namespace

IniEncoding iniEncodingOf(const std::string& bytes) {
  if (beginsWith(bytes, UTF16_MARK)) return IniEncoding::Utf16;
  if (beginsWith(bytes, UTF8_MARK)) return IniEncoding::Utf8;
  bool multiByte = false;
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t code = 0;
    const std::size_t length = utf8SequenceAt(bytes, i, code);
    if (length == 0) return IniEncoding::Ansi;
    multiByte = multiByte || length > 1;
    i += length;
  }
  return multiByte ? IniEncoding::Utf8 : IniEncoding::Ansi;
}

std::u16string iniTextOf(const std::string& bytes, IniEncoding encoding) {
  std::u16string text;
  if (encoding == IniEncoding::Utf16) {
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                    static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
  } else if (encoding == IniEncoding::Utf8) {
    text.reserve(bytes.size());
    for (std::size_t i = beginsWith(bytes, UTF8_MARK) ? 3 : 0; i < bytes.size();) {
      char32_t code = 0;
      const std::size_t length = utf8SequenceAt(bytes, i, code);
      if (length == 0) {
        text += u'\xFFFD';
        ++i;
        continue;
      }
      if (code >= 0x10000) {
        text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
      } else {
        text += static_cast<char16_t>(code);
      }
      i += length;
    }
  }
  return text;
}

bool findIniValue(const std::u16string& text, const char* section, const char* key,
                  std::u16string& value) {
  bool inside = false;
  std::size_t next = 0;
  while (next < text.size()) {
    std::size_t first = next;
    std::size_t end = text.find_first_of(u"\r\n", first);
    if (end == std::u16string::npos) end = text.size();
    next = end + 1;
    trim(text, first, end);
    if (first == end) continue;

    const std::size_t close = text[first] == u'[' ? findWithin(text, first, end, u']') : end;
    if (close < end) {
      // Only the first section of the name counts: a later one of the same
      // name adds nothing to it.
      if (inside) return false;
      std::size_t nameFirst = first + 1;
      std::size_t nameEnd = close;
      trim(text, nameFirst, nameEnd);
      inside = sameName(text, nameFirst, nameEnd, section);
      continue;
    }
    if (!inside || text[first] == u';') continue;
    const std::size_t equals = findWithin(text, first, end, u'=');
    if (equals == end) continue;
    std::size_t nameEnd = equals;
    trim(text, first, nameEnd);
    if (!sameName(text, first, nameEnd, key)) continue;

    std::size_t valueFirst = equals + 1;
    trim(text, valueFirst, end);
    if (end - valueFirst >= 2 && (text[valueFirst] == u'"' || text[valueFirst] == u'\'') &&
        text[end - 1] == text[valueFirst]) {
      ++valueFirst;
      --end;
    }
    value = text.substr(valueFirst, findWithin(text, valueFirst, end, u'\0') - valueFirst);
    return true;
  }
  return false;
}
