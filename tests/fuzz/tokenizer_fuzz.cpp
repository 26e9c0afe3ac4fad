// The command-line tokenizer on any bytes, and on arguments quoted the way a
// shell quotes them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "collect/argument_list.h"
#include "fuzz_check.h"

namespace {

using Tokens = std::vector<std::string>;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

Tokens tokensOf(const std::string& commandLine) {
  const ArgumentList list(commandLine.c_str());
  Tokens tokens;
  for (std::uint32_t i = 0; i < list.count(); ++i) tokens.push_back(list.token(i));
  return tokens;
}

std::string withoutQuotesAndBlanks(const std::string& text) {
  std::string rest;
  for (const char c : text) {
    if (c != '"' && !isBlank(c)) rest += c;
  }
  return rest;
}

std::size_t countOf(const std::string& text, char wanted) {
  std::size_t count = 0;
  for (const char c : text) count += c == wanted;
  return count;
}

// A command line with no quote: blanks and tabs separate words, and every
// "/" after a word's first byte starts a new token.
Tokens unquotedTokens(const std::string& line) {
  Tokens tokens;
  std::string word;
  for (const char c : line) {
    if (isBlank(c) || (c == '/' && !word.empty())) {
      if (!word.empty()) tokens.push_back(word);
      word.clear();
    }
    if (!isBlank(c)) word += c;
  }
  if (!word.empty()) tokens.push_back(word);
  return tokens;
}

void checkAnyLine(const std::string& line) {
  const Tokens tokens = tokensOf(line);
  std::string joined;
  for (const std::string& token : tokens) joined += token;
  // Only quotes and the blanks between tokens are dropped; every other byte
  // stays, in its order, so a "/" never vanishes either.
  FUZZ_CHECK(withoutQuotesAndBlanks(joined) == withoutQuotesAndBlanks(line));
  FUZZ_CHECK(countOf(joined, ' ') <= countOf(line, ' '));
  FUZZ_CHECK(countOf(joined, '\t') <= countOf(line, '\t'));
  // A literal quote costs two quotes after an opening one.
  const std::size_t quotes = countOf(line, '"');
  FUZZ_CHECK(quotes == 0 ? countOf(joined, '"') == 0 : 2 * countOf(joined, '"') < quotes);
  if (quotes == 0) FUZZ_CHECK(tokens == unquotedTokens(line));
}

// Arguments written as a caller quotes them: a plain word bare, anything
// else in quotes with each quote doubled, an option glued to the token
// before it. The tokenizer must give exactly those arguments back: blanks
// and "/" inside quotes never split, and an empty argument keeps its place.
void checkQuotedArguments(const Tokens& wanted) {
  std::string line;
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    const std::string& argument = wanted[i];
    bool bare = !argument.empty() && argument.find('/', 1) == std::string::npos;
    for (const char c : argument) bare = bare && !isBlank(c) && c != '"';
    if (i > 0) {
      const bool glued = bare && argument[0] == '/' && !wanted[i - 1].empty();
      if (!glued) line += i % 2 ? " " : "\t ";
    }
    if (bare) {
      line += argument;
      continue;
    }
    line += '"';
    for (const char c : argument) {
      line += c;
      if (c == '"') line += '"';
    }
    line += '"';
  }
  FUZZ_CHECK(tokensOf(line) == wanted);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A command line ends at a zero byte, so zero bytes part the input: each
  // piece is one line, and all of them together are one argument list.
  Tokens pieces(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      pieces.emplace_back();
    } else {
      pieces.back() += static_cast<char>(data[i]);
    }
  }
  for (const std::string& piece : pieces) checkAnyLine(piece);
  checkQuotedArguments(pieces);
  return 0;
}
