// Which digest /M adds (the DigestAlgorithm setting), its name and how it
// is spelled in settings, and one interface over both algorithms, so the
// digest pass picks its algorithm once and then feeds whichever it got.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class HashAlgorithm : std::uint8_t { Md5, Sha256 };

// Room for the longest hex text of any algorithm and its terminating zero.
constexpr std::uint32_t DIGEST_HEX_BUFFER_SIZE = 65;

// "MD5" or "SHA-256", as the output and the status line name it.
const char* digestName(HashAlgorithm algorithm);

// A value of the INI key or of /H: "MD5", "SHA256" or "SHA-256" in any
// case. False, leaving algorithm as it was, for anything else.
bool digestAlgorithmFromText(const std::string& text, HashAlgorithm& algorithm);

// The digest of one stream, fed chunk by chunk.
class DigestEngine {
 public:
  virtual ~DigestEngine() = default;
  virtual void init() = 0;                                     // a new, empty stream
  virtual void update(const void* data, std::uint32_t length) = 0;
  // The lower-case hex digits of everything fed so far, into out (at least
  // DIGEST_HEX_BUFFER_SIZE bytes); the stream may go on.
  virtual char* hexDigest(char* out) const = 0;
};

std::unique_ptr<DigestEngine> makeDigestEngine(HashAlgorithm algorithm);
