#include <string>

#include "app/job.h"
#include "collect/option_rules.h"

bool Job::applyCommandLine() {
  setStatus("コマンドラインから設定値を取得中", "");

  // What the walk leaves out holds for the whole run, wherever /I, /i or /X:
  // stands: the options' last values, from a look at them alone first. The
  // names of /X: are taken as typed: the ANSI token holds a "?" for each
  // character the code page lacks, which would match any character.
  OutputOptions last = options;
  std::string ignored;
  bool excludeNamesTyped = false;
  std::wstring typedExcludeNames;
  for (std::uint32_t number = 1; number < arguments.count(); ++number) {
    const std::string& token = arguments.token(number);
    if (token.empty() || token[0] != '/') continue;
    applyOptionToken(last, token, number, ignored);
    if (token.size() >= 3 && (token[1] == 'X' || token[1] == 'x') &&
        (token[2] == ':' || token[2] == '=')) {
      excludeNamesTyped = true;
      typedExcludeNames = arguments.exactToken(number).substr(3);
    }
  }
  walkFilter = excludeNamesTyped ? WalkFilter(last, typedExcludeNames) : WalkFilter(last);
  // The volumes' seeking matters only to a digest pass that may read
  // several files at once.
  volumeFindings.askSeekPenalty = last.ShowMD5 && last.DigestThreads != 1;

  // One pass in command-line order: an option changes what the paths after
  // it see (EncodeURL), and every problem adds a line instead of stopping.
  std::string errors;
  for (std::uint32_t number = 1; number < arguments.count(); ++number) {
    const std::string& token = arguments.token(number);
    if (token.empty()) continue;  // keeps its number, nothing else
    setStatusLine2(token.c_str());
    if (token[0] == '/') {
      applyOptionToken(options, token, number, errors);
    } else if (collectPath(token, arguments.exactToken(number), std::string(), true) == 0) {
      addArgumentError(errors, number, token, ARGUMENT_MATCHES_NOTHING);
    }
  }
  if (entries.empty()) errors += ARGUMENTS_NAMED_NO_FILE;
  if (errors.empty()) return true;

  showMessage(argumentReportText(errors).c_str(), MB_ICONWARNING | MB_OK);
  return false;
}
