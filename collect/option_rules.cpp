#include "collect/option_rules.h"

#include "hash/hash_algorithm.h"
#include "settings/ini_rules.h"
#include "text/url_transform.h"

const char* const ARGUMENT_NOT_RECOGNISED = "が認識できません。";
const char* const ARGUMENT_MATCHES_NOTHING = "に該当するファイルが見つかりません。";
const char* const ARGUMENTS_NAMED_NO_FILE = "\n- 有効なファイル名が 1 つも指定されていません。";

namespace {

// The switch set on by the upper-case letter and off by the lower-case one;
// null for any other byte.
bool OutputOptions::*flagOfLetter(char letter) {
  switch (letter) {
    case 'C': case 'c': return &OutputOptions::CommeredNumber;
    case 'L': case 'l': return &OutputOptions::InsertNewLine;
    case 'W': case 'w': return &OutputOptions::UseWideChar;
    case 'S': case 's': return &OutputOptions::EnSmallURL;
    case 'E': case 'e': return &OutputOptions::EncodeURL;
    case 'D': case 'd': return &OutputOptions::ShowDate;
    case 'T': case 't': return &OutputOptions::ShowTime;
    case 'M': case 'm': return &OutputOptions::ShowMD5;
    case 'O': case 'o': return &OutputOptions::OutputTabText;
    case 'I': case 'i': return &OutputOptions::SkipHiddenFiles;
    default: return nullptr;
  }
}

void applyFlagOptions(OutputOptions& options, const std::string& token, std::uint32_t number,
                      std::string& errors) {
  for (std::size_t i = 1; i < token.size(); ++i) {
    const char letter = token[i];
    bool OutputOptions::*flag = flagOfLetter(letter);
    if (flag == nullptr) {
      addArgumentError(errors, number, token, ARGUMENT_NOT_RECOGNISED);
      return;
    }
    options.*flag = letter >= 'A' && letter <= 'Z';
  }
}

void applyValueOption(OutputOptions& options, const std::string& token, std::uint32_t number,
                      std::string& errors) {
  const std::string value = token.substr(3);
  switch (token[1]) {
    case 'B': case 'b':
      // Every byte counts on its own: the last valid letter wins and each
      // other byte is one error line.
      for (const char letter : value) {
        const std::int32_t unit = byteUnitFromLetter(letter);
        if (unit >= 0) {
          options.ByteUnit = unit;
        } else {
          addArgumentError(errors, number, token, ARGUMENT_NOT_RECOGNISED);
        }
      }
      return;
    case 'N': case 'n':
      if (value.empty()) {
        addArgumentError(errors, number, token, ARGUMENT_NOT_RECOGNISED);
      } else {
        options.ByteUnitName = value;
      }
      return;
    case 'U': case 'u':
      options.URLHead = value;
      return;
    case 'E': case 'e':
      // Encodes the paths after it, in the form it names; /E and /e keep
      // the form as it is.
      if (urlFormFromText(value, options.URLEncoding)) {
        options.EncodeURL = true;
      } else {
        addArgumentError(errors, number, token, ARGUMENT_NOT_RECOGNISED);
      }
      return;
    case 'H': case 'h':
      if (!digestAlgorithmFromText(value, options.DigestAlgorithm)) {
        addArgumentError(errors, number, token, ARGUMENT_NOT_RECOGNISED);
      }
      return;
    case 'X': case 'x':
      // Replaces the INI file's list; an empty value clears it.
      options.ExcludeNames = value;
      return;
    default:
      addArgumentError(errors, number, token, ARGUMENT_NOT_RECOGNISED);
      return;
  }
}

}  // namespace

void addArgumentError(std::string& errors, std::uint32_t number, const std::string& token,
                      const char* message) {
  errors += "\n- 第 ";
  errors += std::to_string(number);
  errors += " 引数 「";
  errors += token;
  errors += "」 ";
  errors += message;
}

void applyOptionToken(OutputOptions& options, const std::string& token, std::uint32_t number,
                      std::string& errors) {
  if (token.size() < 2) {
    addArgumentError(errors, number, token, ARGUMENT_NOT_RECOGNISED);
  } else if (token.size() >= 3 && (token[2] == ':' || token[2] == '=')) {
    applyValueOption(options, token, number, errors);
  } else {
    applyFlagOptions(options, token, number, errors);
  }
}

std::string argumentReportText(const std::string& errors) {
  return "引数に、以下のエラーがあります。\n" + errors;
}
