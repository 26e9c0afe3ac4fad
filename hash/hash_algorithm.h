// Which digest /M adds (the DigestAlgorithm setting), the texts that name
// it, and one interface over both, so the digest pass picks its algorithm
// once and then feeds whichever it got.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct OutputOptions;

enum class HashAlgorithm : std::uint8_t { Md5, Sha256 };

// Room for the longest hex text of any algorithm and its terminating zero.
constexpr std::uint32_t DIGEST_HEX_BUFFER_SIZE = 65;

// The longest digestText: "、SHA-256： " (twelve bytes) and 64 digits.
constexpr std::size_t LONGEST_DIGEST_TEXT_LENGTH = 12 + 64;

// "MD5" or "SHA-256", as the output and the status line name it.
const char* digestName(HashAlgorithm algorithm);

// Status line 1 of the digest pass.
const char* digestStageText(HashAlgorithm algorithm);

// What stands in front of the hex digits in the chosen output form: a tab
// in the tab form, else ", MD5: " or "、MD5： " (or the same with SHA-256).
std::string digestSeparator(const OutputOptions& options);

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
