#include "settings/ini_rules.h"

#include "hash/hash_algorithm.h"
#include "text/sjis.h"
#include "text/url_transform.h"

namespace {

const char* const SECTION_OPTIONS = "Options";
const char* const SECTION_STRINGS = "Strings";

bool isIniBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

const IniKey INI_KEYS[INI_KEY_COUNT] = {
    {SECTION_OPTIONS, "CommeredNumber", IniKeyKind::Switch, &OutputOptions::CommeredNumber, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "InsertNewLine", IniKeyKind::Switch, &OutputOptions::InsertNewLine, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "UseWideChar", IniKeyKind::Switch, &OutputOptions::UseWideChar, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "EnSmallURL", IniKeyKind::Switch, &OutputOptions::EnSmallURL, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "EncodeURL", IniKeyKind::Switch, &OutputOptions::EncodeURL, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "URLEncoding", IniKeyKind::UrlForm, nullptr, nullptr, INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "ByteUnit", IniKeyKind::ByteUnit, nullptr, nullptr, INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "ShowDate", IniKeyKind::Switch, &OutputOptions::ShowDate, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "ShowTime", IniKeyKind::Switch, &OutputOptions::ShowTime, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "ShowMD5", IniKeyKind::Switch, &OutputOptions::ShowMD5, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "OutputTabText", IniKeyKind::Switch, &OutputOptions::OutputTabText, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "DigestAlgorithm", IniKeyKind::DigestAlgorithm, nullptr, nullptr,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "SkipHiddenFiles", IniKeyKind::Switch, &OutputOptions::SkipHiddenFiles,
     nullptr, INI_VALUE_BUFFER_SIZE},
    {SECTION_OPTIONS, "DigestThreads", IniKeyKind::Count, nullptr, nullptr, INI_VALUE_BUFFER_SIZE},
    {SECTION_STRINGS, "URLHead", IniKeyKind::Text, nullptr, &OutputOptions::URLHead,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_STRINGS, "ByteUnitName", IniKeyKind::Text, nullptr, &OutputOptions::ByteUnitName,
     INI_VALUE_BUFFER_SIZE},
    {SECTION_STRINGS, "ExcludeNames", IniKeyKind::Text, nullptr, &OutputOptions::ExcludeNames,
     INI_LIST_BUFFER_SIZE},
};

std::string iniPathFromProgramPath(const std::string& programPath) {
  const std::size_t backslash = findLastBackslash(programPath.c_str(), programPath.size());
  const std::size_t searchFrom = backslash == NO_POSITION ? 0 : backslash;
  // A trail byte is never 0x2E, so a plain byte search after the folder part
  // cannot stop inside a double-byte character.
  const std::size_t dot = programPath.find('.', searchFrom);
  std::string iniPath = programPath.substr(0, dot);
  iniPath += ".ini";
  return iniPath;
}

std::wstring iniPathFromProgramPath(const std::wstring& programPath) {
  const std::size_t backslash = programPath.rfind(L'\\');
  const std::size_t dot = programPath.find(L'.', backslash == std::wstring::npos ? 0 : backslash);
  return programPath.substr(0, dot) + L".ini";
}

void cutToIniBuffer(std::string& value, std::size_t bufferSize) {
  std::size_t kept = 0;
  while (kept < value.size()) {
    const std::size_t next = kept + (isDoubleByteAt(value.c_str(), value.size(), kept) ? 2 : 1);
    if (next > bufferSize - 1) break;
    kept = next;
  }
  value.resize(kept);
}

std::string trimIniValue(const std::string& value) {
  std::size_t first = 0;
  std::size_t end = value.size();
  while (first < end && isIniBlank(value[first])) ++first;
  while (end > first && isIniBlank(value[end - 1])) --end;
  return value.substr(first, end - first);
}

std::string unquoteIniValue(const std::string& value) {
  if (value.size() >= 2) {
    const char first = value.front();
    if ((first == '\'' || first == '"') && value.back() == first) {
      return value.substr(1, value.size() - 2);
    }
  }
  return value;
}

bool countFromText(const std::string& text, std::uint32_t& count) {
  if (text.empty() || text.size() > 3) return false;
  std::uint32_t value = 0;
  for (const char digit : text) {
    if (digit < '0' || digit > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(digit - '0');
  }
  count = value;
  return true;
}

std::int32_t byteUnitFromLetter(char letter) {
  static const char UNIT_LETTERS[] = "BKMGTP";
  for (std::int32_t unit = 0; unit < 6; ++unit) {
    const char upper = UNIT_LETTERS[unit];
    if (letter == upper || letter == upper + ('a' - 'A')) return unit;
  }
  return -1;
}

IniValueResult applyIniValue(OutputOptions& options, const IniKey& key, const std::string& rawValue,
                             std::string& errors) {
  const std::string value = unquoteIniValue(trimIniValue(rawValue));
  if (value.empty() || value == INI_SENTINEL) return IniValueResult::Skipped;

  switch (key.kind) {
    case IniKeyKind::Switch:
      if (value == "1" || value == "0") {
        options.*key.flag = value == "1";
        return IniValueResult::Applied;
      }
      break;
    case IniKeyKind::UrlForm:
      if (urlFormFromText(value, options.URLEncoding)) return IniValueResult::Applied;
      break;
    case IniKeyKind::ByteUnit:
      if (value.size() == 1) {
        const std::int32_t unit = byteUnitFromLetter(value[0]);
        if (unit >= 0) {
          options.ByteUnit = unit;
          return IniValueResult::Applied;
        }
      }
      break;
    case IniKeyKind::DigestAlgorithm:
      if (digestAlgorithmFromText(value, options.DigestAlgorithm)) return IniValueResult::Applied;
      break;
    case IniKeyKind::Count:
      if (countFromText(value, options.DigestThreads)) return IniValueResult::Applied;
      break;
    case IniKeyKind::Text:
      options.*key.text = value;
      return IniValueResult::Applied;
  }
  errors += iniErrorLine(key.section, key.name, value);
  return IniValueResult::Rejected;
}

std::string iniErrorLine(const char* section, const char* key, const std::string& value) {
  std::string line = "\n[";
  line += section;
  line += "] セクションに設定されたキー ";
  line += key;
  line += " の値 \"";
  line += value;
  line += "\" が認識できません。";
  return line;
}

std::string iniReportText(const std::string& iniPath, const std::string& errors) {
  std::string text = "設定ファイル \"";
  text += iniPath;
  text += "\" に、以下のエラーがあります。\n";
  text += errors;
  return text;
}
