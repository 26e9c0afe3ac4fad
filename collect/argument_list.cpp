#include "collect/argument_list.h"

#include <utility>

namespace {
template <typename Char>
bool isBlank(Char c) {
  return c == ' ' || c == '\t';
}
}  // namespace

// Every unit treated specially here lies below 0x40, so it can never be the
// trail byte of a Shift_JIS character and no lead-byte tracking is needed.
template <typename Char>
std::vector<std::basic_string<Char>> splitCommandLine(const Char* commandLine) {
  std::vector<std::basic_string<Char>> tokens;
  static const Char NOTHING[1] = {0};
  const Char* p = commandLine ? commandLine : NOTHING;
  for (;;) {
    while (isBlank(*p)) ++p;
    if (*p == 0) break;

    std::basic_string<Char> text;
    bool hasText = false;
    bool inQuotes = false;
    bool afterClosingQuote = false;
    for (;; ++p) {
      const Char c = *p;
      if (c == '"') {
        if (afterClosingQuote) {
          text += c;
          inQuotes = true;
          afterClosingQuote = false;
          hasText = true;
        } else if (inQuotes) {
          inQuotes = false;
          afterClosingQuote = true;
        } else {
          inQuotes = true;
        }
        continue;
      }
      afterClosingQuote = false;
      if (c == 0) break;
      if (!inQuotes && isBlank(c)) break;
      if (!inQuotes && c == '/' && hasText) break;
      text += c;
      hasText = true;
    }
    tokens.push_back(std::move(text));
  }
  return tokens;
}

template std::vector<std::string> splitCommandLine<char>(const char*);
template std::vector<std::wstring> splitCommandLine<wchar_t>(const wchar_t*);

ArgumentList::ArgumentList(const char* commandLine) : tokens_(splitCommandLine(commandLine)) {}

ArgumentList::ArgumentList(std::vector<std::string> tokens, std::vector<std::wstring> exactTokens)
    : tokens_(std::move(tokens)), exactTokens_(std::move(exactTokens)) {}
