// urlEncode and urlDecode on any bytes; the UTF-8 form of the same bytes
// taken as UTF-16 units.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "text/url_transform.h"

namespace {

// The bytes that stand for themselves in an encoded name.
bool isUnreserved(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
         std::string("!'()*-._~").find(static_cast<char>(b)) != std::string::npos;
}

int lowerHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Walks the encoded text unit by unit against the name: an unreserved byte
// or "+" for a blank, or "%xx" in lower case. A byte is escaped only when it
// cannot stand for itself or is the trail byte of a double-byte character,
// whose lead byte is escaped right before it.
void checkEncoding(const std::string& name, const std::string& url) {
  const std::vector<bool> trail = sjisTrailBytes(name);
  std::size_t at = 0;
  for (std::size_t unit = 0; unit < url.size(); ++at) {
    FUZZ_CHECK(at < name.size());
    const auto b = static_cast<unsigned char>(name[at]);
    if (url[unit] == '%') {
      FUZZ_CHECK(unit + 2 < url.size());
      const int high = lowerHexValue(url[unit + 1]);
      const int low = lowerHexValue(url[unit + 2]);
      FUZZ_CHECK(high >= 0 && low >= 0);
      FUZZ_CHECK((high << 4 | low) == b);
      FUZZ_CHECK(trail[at] || (!isUnreserved(b) && b != ' '));
      unit += 3;
    } else {
      const auto c = static_cast<unsigned char>(url[unit]);
      FUZZ_CHECK(c == '+' ? b == ' ' : isUnreserved(c) && c == b);
      FUZZ_CHECK(!trail[at]);
      unit += 1;
    }
  }
  FUZZ_CHECK(at == name.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);

  std::string url = name;
  urlEncode(url);
  checkEncoding(name, url);
  std::string back = url;
  urlDecode(back);
  FUZZ_CHECK(back == name);
  FUZZ_CHECK(!hasUtf8FormEscape(url));

  // Unreserved bytes, or "%XX" in upper case for a byte that cannot stand
  // for itself; a name beyond ASCII always shows the form in its escapes.
  std::u16string units;
  bool beyondAscii = false;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    units += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    beyondAscii = beyondAscii || units.back() >= 0x80;
  }
  const std::string utf8Url = urlEncodeUtf8(units.data(), units.size());
  for (std::size_t at = 0; at < utf8Url.size(); ++at) {
    if (utf8Url[at] != '%') {
      FUZZ_CHECK(isUnreserved(static_cast<unsigned char>(utf8Url[at])));
      continue;
    }
    const std::string escape = utf8Url.substr(at + 1, 2);
    FUZZ_CHECK(escape.size() == 2 &&
               escape.find_first_not_of("0123456789ABCDEF") == std::string::npos);
    FUZZ_CHECK(!isUnreserved(static_cast<unsigned char>(std::stoi(escape, nullptr, 16))));
    at += 2;
  }
  FUZZ_CHECK(hasUtf8FormEscape(utf8Url) || !beyondAscii);

  // Any text decodes, malformed or cut-short escapes included, to at most
  // one byte per input byte; without escapes only "+" changes.
  std::string decoded = name;
  urlDecode(decoded);
  FUZZ_CHECK(decoded.size() <= name.size());
  if (name.find('%') == std::string::npos) {
    std::string expected = name;
    for (char& c : expected) {
      if (c == '+') c = ' ';
    }
    FUZZ_CHECK(decoded == expected);
  }
  return 0;
}
