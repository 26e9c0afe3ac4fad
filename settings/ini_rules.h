// What the INI loader does with the texts the profile reader hands it: where
// the file lies, how a value is cleaned, which values each key accepts and
// how the report reads. Byte rules only; the reading itself is in
// ini_file.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/output_options.h"

// The profile reader's default: a value equal to it counts as absent.
constexpr const char* INI_SENTINEL = "#DEFAULT#DEFAULT#DEFAULT";

// The reader's buffer: at most 127 value bytes and the terminating zero.
constexpr std::size_t INI_VALUE_BUFFER_SIZE = 128;

// The buffer of a key whose value is a list (ExcludeNames): a list of
// names outgrows 127 bytes long before it outgrows this.
constexpr std::size_t INI_LIST_BUFFER_SIZE = 4096;

enum class IniKeyKind { Switch, UrlForm, ByteUnit, DigestAlgorithm, Count, Text };

struct IniKey {
  const char* section;
  const char* name;
  IniKeyKind kind;
  bool OutputOptions::*flag;          // Switch keys
  std::string OutputOptions::*text;   // Text keys
  std::size_t bufferSize;             // of the reader: the value's bytes plus one
};

// The keys in reading order, which is also the order of the report.
constexpr std::size_t INI_KEY_COUNT = 17;
extern const IniKey INI_KEYS[INI_KEY_COUNT];

// The INI file beside the program: the program path cut at the first "."
// after its last backslash (Shift_JIS aware), followed by ".ini". The same
// for the exact (UTF-16) form of the path, which has no trail bytes.
std::string iniPathFromProgramPath(const std::string& programPath);
std::wstring iniPathFromProgramPath(const std::wstring& programPath);

// The value as the reader's buffer of bufferSize bytes holds it: at most
// bufferSize - 1 bytes, and never half of a double-byte character.
void cutToIniBuffer(std::string& value, std::size_t bufferSize);

// Drops leading and trailing blanks, tabs, CR and LF.
std::string trimIniValue(const std::string& value);

// Removes one pair of matching "'" or double quotes around the value.
std::string unquoteIniValue(const std::string& value);

// A count as a key takes it: one to three decimal digits, and nothing else
// (no sign, no blank). False, leaving count as it was, for anything else.
bool countFromText(const std::string& text, std::uint32_t& count);

// Unit index of one unit letter B K M G T P in either case, or -1.
std::int32_t byteUnitFromLetter(char letter);

enum class IniValueResult { Skipped, Applied, Rejected };

// Cleans the value as read (trim, unquote), skips it when empty or equal to
// the sentinel, and otherwise sets the key's field or, for a value the key
// does not accept, appends the error line to errors and leaves the field.
IniValueResult applyIniValue(OutputOptions& options, const IniKey& key, const std::string& rawValue,
                             std::string& errors);

// One report line, beginning with a line feed.
std::string iniErrorLine(const char* section, const char* key, const std::string& value);

// The whole message: header naming the INI path, then the error lines.
std::string iniReportText(const std::string& iniPath, const std::string& errors);
