#include <cstring>
#include <cwchar>
#include <string>

#include "app/job.h"
#include "settings/ini_rules.h"
#include "text/exact_path.h"
#include "text/sjis.h"

namespace {

// The value of one key, or the sentinel when the file, the section or the
// key is missing; never more than the key's buffer holds (127 bytes for
// most keys).
std::string readProfileValue(const IniKey& key, const std::string& iniPath) {
  std::string buffer(key.bufferSize, '\0');
  GetPrivateProfileStringA(key.section, key.name, INI_SENTINEL, &buffer[0],
                           static_cast<DWORD>(buffer.size()), iniPath.c_str());
  // The reader terminates what it copies; the length is still taken within
  // the buffer so that no reader can make it run past the end.
  buffer.back() = '\0';
  buffer.resize(strnlen(buffer.c_str(), buffer.size()));
  return buffer;
}

// The same from the file its exact path names, for a file its ANSI path
// cannot name (a character the code page lacks, or a path past the classic
// limit). The value comes as the ANSI reader would give it: in the code
// page's bytes, cut to the key's length without splitting a double-byte character.
std::string readProfileValue(const IniKey& key, const std::wstring& iniPath) {
  std::wstring buffer(key.bufferSize, L'\0');
  GetPrivateProfileStringW(exactForm(key.section).c_str(), exactForm(key.name).c_str(),
                           exactForm(INI_SENTINEL).c_str(), &buffer[0],
                           static_cast<DWORD>(buffer.size()), SystemPath(iniPath).c_str());
  std::string value = ansiForm(buffer.c_str(), wcsnlen(buffer.c_str(), buffer.size()));
  std::size_t kept = 0;
  while (kept < value.size()) {
    const std::size_t next = kept + (isDoubleByteAt(value.c_str(), value.size(), kept) ? 2 : 1);
    if (next > key.bufferSize - 1) break;
    kept = next;
  }
  value.resize(kept);
  return value;
}

}  // namespace

bool Job::loadIniSettings() {
  setStatus("INI ファイルから設定値を取得中", "");
  // Without even a program path there is no file beside the program to
  // read: the built-in settings stand, and the argument stage reports that
  // no file was named.
  if (arguments.count() == 0) return true;

  // The report names the file by its ANSI path; the file read is the one
  // beside the program as the exact command line names it.
  const std::string iniPath = iniPathFromProgramPath(arguments.token(0));
  const std::wstring exactIniPath = iniPathFromProgramPath(arguments.exactToken(0));
  const bool ansiReaches = exactIniPath.size() < MAX_PATH && exactForm(iniPath) == exactIniPath;
  std::string errors;
  for (const IniKey& key : INI_KEYS) {
    const std::string value =
        ansiReaches ? readProfileValue(key, iniPath) : readProfileValue(key, exactIniPath);
    applyIniValue(options, key, value, errors);
  }
  if (errors.empty()) return true;

  showMessage(iniReportText(iniPath, errors).c_str(), MB_ICONWARNING | MB_OK);
  return false;
}
