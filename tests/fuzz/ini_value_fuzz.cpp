// The INI rules on any value bytes, shorter and longer than the profile
// reader's 127, and on any program path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "settings/ini_rules.h"

namespace {

bool sameOptions(const OutputOptions& a, const OutputOptions& b) {
  return a.CommeredNumber == b.CommeredNumber && a.InsertNewLine == b.InsertNewLine &&
         a.UseWideChar == b.UseWideChar && a.EnSmallURL == b.EnSmallURL &&
         a.EncodeURL == b.EncodeURL && a.ByteUnit == b.ByteUnit && a.ShowDate == b.ShowDate &&
         a.ShowTime == b.ShowTime && a.ShowMD5 == b.ShowMD5 &&
         a.OutputTabText == b.OutputTabText && a.URLHead == b.URLHead &&
         a.ByteUnitName == b.ByteUnitName && a.TotalSize == b.TotalSize &&
         a.MaxUrlPathLength == b.MaxUrlPathLength &&
         a.MaxSizeTextLength == b.MaxSizeTextLength && a.OpenText == b.OpenText &&
         a.CloseText == b.CloseText && a.DigestAlgorithm == b.DigestAlgorithm &&
         a.SkipHiddenFiles == b.SkipHiddenFiles && a.ExcludeNames == b.ExcludeNames &&
         a.DigestThreads == b.DigestThreads && a.URLEncoding == b.URLEncoding;
}

// The value as the loader means it: outer blanks, tabs, CR and LF gone,
// then one pair of matching quotes.
std::string cleaned(const std::string& raw) {
  const char* const blanks = " \t\r\n";
  const std::size_t first = raw.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  std::string value = raw.substr(first, raw.find_last_not_of(blanks) + 1 - first);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// 1 for MD5, 2 for SHA-256 in any of its spellings and cases, else 0.
int digestNamed(std::string value) {
  for (char& c : value) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (value == "MD5") return 1;
  return value == "SHA256" || value == "SHA-256" ? 2 : 0;
}

// 1 for the Shift_JIS form, 2 for UTF-8 in either spelling, any case, else 0.
int urlFormNamed(std::string value) {
  for (char& c : value) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return value == "SJIS" ? 1 : value == "UTF8" || value == "UTF-8" ? 2 : 0;
}

// Each key either skips the value, takes it into its own field alone, or
// rejects it with one report line naming it and leaves every field as it was.
void checkValue(const std::string& raw) {
  const std::string value = cleaned(raw);
  const bool absent = value.empty() || value == INI_SENTINEL;
  const std::string units = "BKMGTPbkmgtp";
  for (const IniKey& key : INI_KEYS) {
    // Not the defaults, so that a field set to its default shows too.
    OutputOptions before;
    before.CommeredNumber = !before.CommeredNumber;
    before.EncodeURL = !before.EncodeURL;
    before.ByteUnit = 7;
    before.URLHead = "head";
    before.ByteUnitName = "unit";
    before.DigestAlgorithm = HashAlgorithm::Sha256;
    before.DigestThreads = 1000;
    before.URLEncoding = UrlForm::Utf8;
    OutputOptions options = before;
    std::string errors = "earlier";
    const IniValueResult result = applyIniValue(options, key, raw, errors);

    OutputOptions expected = before;
    IniValueResult expectedResult = IniValueResult::Applied;
    if (absent) {
      expectedResult = IniValueResult::Skipped;
    } else if (key.kind == IniKeyKind::Switch && (value == "0" || value == "1")) {
      expected.*key.flag = value == "1";
    } else if (key.kind == IniKeyKind::ByteUnit && value.size() == 1 &&
               units.find(value[0]) != std::string::npos) {
      expected.ByteUnit = static_cast<std::int32_t>(units.find(value[0]) % 6);
    } else if (key.kind == IniKeyKind::DigestAlgorithm && digestNamed(value) != 0) {
      expected.DigestAlgorithm = digestNamed(value) == 1 ? HashAlgorithm::Md5 : HashAlgorithm::Sha256;
    } else if (key.kind == IniKeyKind::UrlForm && urlFormNamed(value) != 0) {
      expected.URLEncoding = urlFormNamed(value) == 1 ? UrlForm::ShiftJis : UrlForm::Utf8;
    } else if (key.kind == IniKeyKind::Count && !value.empty() && value.size() <= 3 &&
               value.find_first_not_of("0123456789") == std::string::npos) {
      expected.DigestThreads = static_cast<std::uint32_t>(std::stoul(value));
    } else if (key.kind == IniKeyKind::Text) {
      expected.*key.text = value;
    } else {
      expectedResult = IniValueResult::Rejected;
    }
    FUZZ_CHECK(result == expectedResult);
    FUZZ_CHECK(sameOptions(options, expected));
    const std::string reported = result == IniValueResult::Rejected
                                     ? iniErrorLine(key.section, key.name, value)
                                     : std::string();
    FUZZ_CHECK(errors == "earlier" + reported);
    if (!reported.empty()) FUZZ_CHECK(reported.find(value) != std::string::npos);
  }
}

// The INI file beside the program: the path up to the first "." after its
// last real backslash (a trail byte 0x5C is none), followed by ".ini".
void checkIniPath(const std::string& programPath) {
  const std::string iniPath = iniPathFromProgramPath(programPath);
  const std::vector<bool> trail = sjisTrailBytes(programPath);
  std::size_t folderEnd = 0;
  for (std::size_t i = 0; i < programPath.size(); ++i) {
    if (programPath[i] == '\\' && !trail[i]) folderEnd = i;
  }
  const std::size_t dot = programPath.find('.', folderEnd);
  FUZZ_CHECK(iniPath == programPath.substr(0, dot) + ".ini");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  checkValue(raw);
  // What the profile reader hands over of a longer value.
  if (raw.size() >= INI_VALUE_BUFFER_SIZE) checkValue(raw.substr(0, INI_VALUE_BUFFER_SIZE - 1));
  // A program path is a command-line token and so ends at a zero byte.
  checkIniPath(raw.substr(0, raw.find('\0')));
  return 0;
}
