// urlEncode and urlDecode on any bytes; the UTF-8 form on the same bytes
// taken as UTF-16 units.
#include <algorithm>
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

// The units of the WTF-8 bytes the UTF-8 form writes (shortest sequences,
// a pair never as two surrogates); false for anything else. Written apart
// from the encoder, so that a fault there shows.
bool unitsOfWtf8(const std::string& bytes, std::u16string& units) {
  bool afterHighSurrogate = false;
  for (std::size_t i = 0, length = 0; i < bytes.size(); i += length) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    length = lead < 0x80   ? 1
             : lead < 0xC2 ? 0
             : lead < 0xE0 ? 2
             : lead < 0xF0 ? 3
             : lead < 0xF5 ? 4
                           : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (bytes[i + k] & 0x3F);
    }
    const std::uint32_t least = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
    if (code < least || code > 0x10FFFF) return false;
    if (afterHighSurrogate && code >= 0xDC00 && code <= 0xDFFF) return false;
    afterHighSurrogate = code >= 0xD800 && code <= 0xDBFF;
    if (code >= 0x10000) units += static_cast<char16_t>(0xD7C0 + (code >> 10));
    units += static_cast<char16_t>(code >= 0x10000 ? 0xDC00 | (code & 0x3FF) : code);
  }
  return true;
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

  // The UTF-8 form: unreserved bytes, or "%XX" in upper case for a byte
  // that cannot stand for itself, which decode to the name's WTF-8 bytes.
  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  const std::string utf8Url = urlEncodeUtf8(units.data(), units.size());
  for (std::size_t at = 0; at < utf8Url.size(); ++at) {
    if (utf8Url[at] != '%') {
      FUZZ_CHECK(isUnreserved(static_cast<unsigned char>(utf8Url[at])));
      continue;
    }
    const std::string upperHex = "0123456789ABCDEF";
    FUZZ_CHECK(at + 2 < utf8Url.size() && upperHex.find(utf8Url[at + 1]) != std::string::npos &&
               upperHex.find(utf8Url[at + 2]) != std::string::npos);
    const int escaped = std::stoi(utf8Url.substr(at + 1, 2), nullptr, 16);
    FUZZ_CHECK(!isUnreserved(static_cast<unsigned char>(escaped)));
    at += 2;
  }
  std::string bytes = utf8Url;
  urlDecode(bytes);
  std::u16string decodedUnits;
  FUZZ_CHECK(unitsOfWtf8(bytes, decodedUnits) && decodedUnits == units);
  // A name beyond ASCII always has an escape that tells the forms apart.
  FUZZ_CHECK(hasUtf8FormEscape(utf8Url) ||
             std::none_of(units.begin(), units.end(), [](char16_t unit) { return unit >= 0x80; }));
  return 0;
}
