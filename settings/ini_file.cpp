#include <cstring>
#include <cwchar>
#include <string>

#include "app/job.h"
#include "common/owned_handle.h"
#include "settings/ini_rules.h"
#include "settings/ini_text.h"
#include "text/exact_path.h"

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
  cutToIniBuffer(value, key.bufferSize);
  return value;
}

// The same from the text of a Unicode file, which the program reads itself.
// A character the code page lacks becomes "?", never a look-alike.
std::string readOwnValue(const IniKey& key, const std::u16string& text) {
  std::u16string found;
  if (!findIniValue(text, key.section, key.name, found)) return INI_SENTINEL;
  std::string value = ansiForm(std::wstring(found.begin(), found.end()));
  cutToIniBuffer(value, key.bufferSize);
  return value;
}

// The file the profile reader reads for a path: a bare file name is looked
// up in the Windows folder, any other path is taken as it stands.
std::wstring profileFilePath(const std::wstring& iniPath) {
  if (iniPath.find_first_of(L"\\/:") != std::wstring::npos) return iniPath;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return iniPath;
  return std::wstring(folder, length) + L"\\" + iniPath;
}

// The whole file, read once to learn how it was saved. False when it cannot
// be read: the profile reader then has its say, as for any ANSI file.
bool readFileBytes(const std::wstring& path, std::string& bytes) {
  OwnedHandle file(CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  constexpr DWORD CHUNK = 64 * 1024;
  for (;;) {
    const std::size_t size = bytes.size();
    bytes.resize(size + CHUNK);
    DWORD got = 0;
    if (!ReadFile(file.get(), &bytes[size], CHUNK, &got, nullptr)) return false;
    bytes.resize(size + got);
    if (got == 0) return true;
  }
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
  // A file in the code page (or plain ASCII) stays the profile reader's, as
  // it always was; one saved as UTF-8 or UTF-16 is read by the program, so
  // that it reads the same on every Windows.
  std::u16string unicodeText;
  IniEncoding encoding = IniEncoding::Ansi;
  {
    std::string bytes;
    if (readFileBytes(profileFilePath(exactIniPath), bytes)) encoding = iniEncodingOf(bytes);
    unicodeText = iniTextOf(bytes, encoding);
  }
  std::string errors;
  for (const IniKey& key : INI_KEYS) {
    const std::string value = encoding != IniEncoding::Ansi ? readOwnValue(key, unicodeText)
                              : ansiReaches                 ? readProfileValue(key, iniPath)
                                                            : readProfileValue(key, exactIniPath);
    applyIniValue(options, key, value, errors);
  }
  if (errors.empty()) return true;

  showMessage(iniReportText(iniPath, errors).c_str(), MB_ICONWARNING | MB_OK);
  return false;
}
