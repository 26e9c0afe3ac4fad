#include "collect/argument_list.h"

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

// Every byte treated specially here lies below 0x40, so it can never be the
// trail byte of a Shift_JIS character and no lead-byte tracking is needed.
ArgumentList::ArgumentList(const char* commandLine) {
  const char* p = commandLine ? commandLine : "";
  for (;;) {
    while (isBlank(*p)) ++p;
    if (*p == '\0') break;

    std::string text;
    bool hasText = false;
    bool inQuotes = false;
    bool afterClosingQuote = false;
    for (;; ++p) {
      const char c = *p;
      if (c == '"') {
        if (afterClosingQuote) {
          text += '"';
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
      if (c == '\0') break;
      if (!inQuotes && isBlank(c)) break;
      if (!inQuotes && c == '/' && hasText) break;
      text += c;
      hasText = true;
    }
    tokens_.push_back(std::move(text));
  }
}
