// The command line split into tokens. Token 0 is the program path as the
// command line spells it. The rules are the program's own: backslashes never
// escape, "" inside quotes is a literal quote, and outside quotes a "/" that
// follows text starts a new token, so /D/T/m is three options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The split itself, for the ANSI and for the exact (UTF-16) command line:
// every unit it treats specially is ASCII, so both give the same tokens.
template <typename Char>
std::vector<std::basic_string<Char>> splitCommandLine(const Char* commandLine);

class ArgumentList {
 public:
  // The tokens of an ANSI command line; they have no exact forms.
  explicit ArgumentList(const char* commandLine);
  // Tokens in both forms: exactTokens[i] is the text token i was made from.
  ArgumentList(std::vector<std::string> tokens, std::vector<std::wstring> exactTokens);

  std::uint32_t count() const { return static_cast<std::uint32_t>(tokens_.size()); }
  const std::string& token(std::uint32_t index) const { return tokens_[index]; }
  // Only for a list made with exact forms.
  const std::wstring& exactToken(std::uint32_t index) const { return exactTokens_[index]; }

 private:
  std::vector<std::string> tokens_;
  std::vector<std::wstring> exactTokens_;
};
