// The command line split into tokens. Token 0 is the program path as the
// command line spells it. The rules are the program's own: backslashes never
// escape, "" inside quotes is a literal quote, and outside quotes a "/" that
// follows text starts a new token, so /D/T/m is three options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ArgumentList {
 public:
  explicit ArgumentList(const char* commandLine);

  std::uint32_t count() const { return static_cast<std::uint32_t>(tokens_.size()); }
  const std::string& token(std::uint32_t index) const { return tokens_[index]; }

 private:
  std::vector<std::string> tokens_;
};
