// MD5 of any bytes fed in any pieces. Where OpenSSL is at hand (the
// libFuzzer build), its MD5 is the reference as well.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hash/md5.h"
#include "fuzz_check.h"

#ifdef QV_FUZZ_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

std::string hexOf(const Md5Context& context) {
  char text[MD5_HEX_DIGEST_SIZE];
  const std::string digest = context.md5HexDigest(text);
  // A second call on the same context gives the same text.
  FUZZ_CHECK(digest == context.md5HexDigest(text));
  return digest;
}

std::string oneShot(const std::uint8_t* data, std::size_t size) {
  Md5Context context;
  context.md5Update(data, static_cast<std::uint32_t>(size));
  return hexOf(context);
}

#ifdef QV_FUZZ_OPENSSL
std::string referenceDigest(const std::uint8_t* data, std::size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  FUZZ_CHECK(EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) == 1);
  std::string text;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    text += pair;
  }
  return text;
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte says how many cut points follow as 16-bit numbers; the
  // rest is the message.
  const std::size_t cutCount = std::min<std::size_t>(data[0] % 8, (size - 1) / 2);
  const std::uint8_t* message = data + 1 + 2 * cutCount;
  const std::size_t length = size - 1 - 2 * cutCount;
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < cutCount; ++i) {
    cuts.push_back((data[1 + 2 * i] | std::size_t{data[2 + 2 * i]} << 8) % (length + 1));
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(length);

  const std::string whole = oneShot(message, length);
#ifdef QV_FUZZ_OPENSSL
  FUZZ_CHECK(whole == referenceDigest(message, length));
#endif

  // Fed in pieces, with a digest taken after each piece: every digest is
  // that of the bytes so far, and taking it does not disturb the stream.
  Md5Context context;
  std::size_t fed = 0;
  for (const std::size_t cut : cuts) {
    context.md5Update(message + fed, static_cast<std::uint32_t>(cut - fed));
    fed = cut;
    FUZZ_CHECK(hexOf(context) == oneShot(message, fed));
  }
  FUZZ_CHECK(hexOf(context) == whole);
  return 0;
}
