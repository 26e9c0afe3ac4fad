#include <cstring>
#include <string>

#include "app/job.h"
#include "settings/ini_rules.h"

namespace {

// The value of one key, or the sentinel when the file, the section or the
// key is missing; never more than the buffer's 127 bytes.
std::string readProfileValue(const IniKey& key, const std::string& iniPath) {
  char buffer[INI_VALUE_BUFFER_SIZE] = {};
  GetPrivateProfileStringA(key.section, key.name, INI_SENTINEL, buffer,
                           static_cast<DWORD>(sizeof buffer), iniPath.c_str());
  // The reader terminates what it copies; the length is still taken within
  // the buffer so that no reader can make it run past the end.
  buffer[sizeof buffer - 1] = '\0';
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

}  // namespace

bool Job::loadIniSettings() {
  setStatus("INI ファイルから設定値を取得中", "");
  // Without even a program path there is no file beside the program to
  // read: the built-in settings stand, and the argument stage reports that
  // no file was named.
  if (arguments.count() == 0) return true;

  const std::string iniPath = iniPathFromProgramPath(arguments.token(0));
  std::string errors;
  for (const IniKey& key : INI_KEYS) {
    applyIniValue(options, key, readProfileValue(key, iniPath), errors);
  }
  if (errors.empty()) return true;

  showMessage(iniReportText(iniPath, errors).c_str(), MB_ICONWARNING | MB_OK);
  return false;
}
