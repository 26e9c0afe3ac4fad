#include "hash/hash_algorithm.h"

#include "hash/md5.h"
#include "hash/sha256.h"

namespace {

class Md5Digest final : public DigestEngine {
 public:
  void init() override { context_.md5Init(); }
  void update(const void* data, std::uint32_t length) override { context_.md5Update(data, length); }
  char* hexDigest(char* out) const override { return context_.md5HexDigest(out); }

 private:
  Md5Context context_;
};

class Sha256Digest final : public DigestEngine {
 public:
  void init() override { context_.sha256Init(); }
  void update(const void* data, std::uint32_t length) override {
    context_.sha256Update(data, length);
  }
  char* hexDigest(char* out) const override { return context_.sha256HexDigest(out); }

 private:
  Sha256Context context_;
};

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c; }

bool equalsIgnoringCase(const std::string& text, const char* upper) {
  std::size_t i = 0;
  for (; i < text.size() && upper[i] != '\0'; ++i) {
    if (upperAscii(text[i]) != upper[i]) return false;
  }
  return i == text.size() && upper[i] == '\0';
}

}  // namespace

const char* digestName(HashAlgorithm algorithm) {
  return algorithm == HashAlgorithm::Sha256 ? "SHA-256" : "MD5";
}

bool digestAlgorithmFromText(const std::string& text, HashAlgorithm& algorithm) {
  if (equalsIgnoringCase(text, "MD5")) {
    algorithm = HashAlgorithm::Md5;
    return true;
  }
  if (equalsIgnoringCase(text, "SHA256") || equalsIgnoringCase(text, "SHA-256")) {
    algorithm = HashAlgorithm::Sha256;
    return true;
  }
  return false;
}

std::unique_ptr<DigestEngine> makeDigestEngine(HashAlgorithm algorithm) {
  if (algorithm == HashAlgorithm::Sha256) return std::make_unique<Sha256Digest>();
  return std::make_unique<Md5Digest>();
}
