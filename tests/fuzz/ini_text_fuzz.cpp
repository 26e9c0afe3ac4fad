// The reading of a Unicode INI file on any bytes: how the file was saved,
// its text, and the value of every key in it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "settings/ini_rules.h"
#include "settings/ini_text.h"

namespace {

// UTF-8 of UTF-16 text, written apart from the decoder it checks.
std::string utf8Of(const std::u16string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (code < 0x80) {
      bytes += static_cast<char>(code);
      continue;
    }
    static const unsigned LEAD[] = {0, 0, 0xC0, 0xE0, 0xF0};
    const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    bytes += static_cast<char>(LEAD[length] | (code >> (6 * (length - 1))));
    for (int shift = 6 * (length - 2); shift >= 0; shift -= 6) {
      bytes += static_cast<char>(0x80u | ((code >> shift) & 0x3Fu));
    }
  }
  return bytes;
}

// Every key's value stays on its line, and a later section of another name
// changes nothing of it.
void checkValues(const std::u16string& text) {
  for (const IniKey& key : INI_KEYS) {
    std::u16string value;
    const bool found = findIniValue(text, key.section, key.name, value);
    const std::u16string lineEnds(u"\r\n\0", 3);
    if (found) FUZZ_CHECK(value.find_first_of(lineEnds) == std::u16string::npos);
    std::u16string later = text + u"\n[Zz]\n";
    for (const char* c = key.name; *c != '\0'; ++c) later += static_cast<char16_t>(*c);
    later += u"=later\n";
    std::u16string laterValue;
    FUZZ_CHECK(findIniValue(later, key.section, key.name, laterValue) == found);
    FUZZ_CHECK(laterValue == value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const IniEncoding encoding = iniEncodingOf(bytes);
  const bool marked = bytes.rfind("\xEF\xBB\xBF", 0) == 0 || bytes.rfind("\xFF\xFE", 0) == 0;
  // Without a mark, UTF-8 is what decodes and encodes back to the same
  // bytes and is not plain ASCII.
  const std::u16string asUtf8 = iniTextOf(bytes, IniEncoding::Utf8);
  if (!marked) {
    // Valid UTF-8 takes fewer units than bytes once it holds a multi-byte sequence.
    const bool valid = utf8Of(asUtf8) == bytes;
    FUZZ_CHECK((encoding == IniEncoding::Utf8) == (valid && asUtf8.size() < bytes.size()));
    FUZZ_CHECK(encoding != IniEncoding::Utf16);
  }
  checkValues(asUtf8);
  checkValues(iniTextOf("\xFF\xFE" + bytes, IniEncoding::Utf16));
  return 0;
}
