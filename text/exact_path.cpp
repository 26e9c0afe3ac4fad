#include "text/exact_path.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

namespace {

const char MISSING_CHARACTER[] = "?";

bool isAscii(const wchar_t* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] >= 0x80) return false;
  }
  return true;
}

// Converts into a buffer of size bytes; 0 when it does not fit (or the code
// page takes no default character, as UTF-8 does not).
int convertInto(const wchar_t* text, int length, char* buffer, int size, bool* missing) {
  BOOL defaulted = FALSE;
  const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, buffer, size,
                                          MISSING_CHARACTER, &defaulted);
  if (written > 0 && missing != nullptr) *missing = *missing || defaulted != FALSE;
  return written;
}

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// "C:\..." or "\\server\share\...": not resolved against a working directory.
bool isAbsolute(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && isSeparator(path[2])) return true;
  return path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
}

// True when the platform would change the path on the way to the file: a
// "/", an empty, "." or ".." component. A path the walk built from found
// names has none, and it is taken whole, names that end in a dot or a blank
// included, which the platform's full-path rules would cut.
bool needsNormalising(const std::wstring& path) {
  if (path.find(L'/') != std::wstring::npos) return true;
  const std::size_t rootEnd = path[1] == L':' ? 3 : 2;
  std::size_t start = rootEnd;
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring_view component(path.data() + start, end - start);
    if ((component.empty() && end != path.size()) || component == L"." || component == L"..") {
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

std::string ansiForm(const wchar_t* text, std::size_t length, bool* missing) {
  if (missing != nullptr) *missing = false;
  // Every code page spells ASCII as itself; most names are nothing else.
  if (isAscii(text, length)) return std::string(text, text + length);

  const int units = static_cast<int>(length);
  std::string ansi(2 * length, '\0');
  int written = convertInto(text, units, &ansi[0], static_cast<int>(ansi.size()), missing);
  if (written == 0) {
    // A code page of more than two bytes a character: no default character
    // and no best fit to guard against, and the size asked for first.
    written = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    ansi.assign(static_cast<std::size_t>(written), '\0');
    if (written > 0) WideCharToMultiByte(CP_ACP, 0, text, units, &ansi[0], written, nullptr, nullptr);
  }
  ansi.resize(static_cast<std::size_t>(written));
  return ansi;
}

std::string ansiFormOfUtf8(const std::string& utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return std::string();
  const int bytes = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(units), L'\0');
  if (units > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, &text[0], units);
  return ansiForm(text);
}

AnsiName::AnsiName(const wchar_t* name) {
  const std::size_t length = wcsnlen(name, MAX_PATH);
  if (isAscii(name, length)) {
    for (std::size_t i = 0; i < length; ++i) bytes_[i] = static_cast<char>(name[i]);
    bytes_[length] = '\0';
    return;
  }
  const int written = convertInto(name, static_cast<int>(length), bytes_,
                                  static_cast<int>(sizeof bytes_ - 1), &missing_);
  if (written > 0) {
    bytes_[written] = '\0';
    return;
  }
  // Only a code page of more than two bytes a character gets here: the name
  // shows as "?"s, and its exact form still reaches the file.
  for (std::size_t i = 0; i < length; ++i) bytes_[i] = MISSING_CHARACTER[0];
  bytes_[length] = '\0';
  missing_ = true;
}

std::wstring exactForm(const std::string& text) {
  std::wstring exact;
  assignExactForm(text.c_str(), exact);
  return exact;
}

void assignExactForm(const char* text, std::wstring& exact) {
  const int bytes = static_cast<int>(std::strlen(text));
  const int units = bytes == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
  exact.resize(static_cast<std::size_t>(units));
  if (units > 0) MultiByteToWideChar(CP_ACP, 0, text, bytes, &exact[0], units);
}

std::wstring fullPathOf(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::wstring();
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return std::wstring();
  full.resize(length);
  return full;
}

SystemPath::SystemPath(const std::wstring& path) : path_(&path) {
  if (startsWith(path, L"\\\\?\\") || startsWith(path, L"\\\\.\\")) return;
  const bool absolute = isAbsolute(path);
  if (absolute && path.size() < MAX_PATH) return;

  // A relative path is over the limit when its full path is.
  const std::wstring full = absolute && !needsNormalising(path) ? path : fullPathOf(path);
  if (full.size() < MAX_PATH || !isAbsolute(full)) return;
  if (startsWith(full, L"\\\\")) {
    longForm_ = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    longForm_ = L"\\\\?\\" + full;
  }
  path_ = &longForm_;
}

void noteStandIns(const std::string& ansiPath, const std::wstring& exactPath, std::size_t offset,
                  StandIns& standIns) {
  std::size_t mark = ansiPath.find('?');
  if (mark == std::string::npos) return;
  // The code page reads each character as one unit, and a "?" as "?".
  const std::wstring read = exactForm(ansiPath);
  if (read.size() > exactPath.size()) return;
  const std::size_t tail = exactPath.size() - read.size();
  for (std::size_t i = 0; i < read.size() && mark != std::string::npos; ++i) {
    if (read[i] != L'?') continue;
    const wchar_t unit = exactPath[tail + i];
    if (unit != L'?') standIns.push_back({offset + mark, static_cast<char16_t>(unit)});
    mark = ansiPath.find('?', mark + 1);
  }
}

namespace {

// "?" is a character of its own in every code page, never the second byte
// of a pair, so the output is read piece by piece between its stand-ins.
// Adds the UTF-16 length of the code page's reading of text[from, to) to
// length, writing it to destination (room units) unless that is null.
bool readPiece(const char* text, std::size_t from, std::size_t to, wchar_t* destination,
               std::size_t room, std::size_t& length) {
  if (to <= from) return true;
  if (to - from > INT_MAX) return false;
  const int read = MultiByteToWideChar(CP_ACP, 0, text + from, static_cast<int>(to - from),
                                       destination, static_cast<int>(std::min<std::size_t>(room, INT_MAX)));
  length += static_cast<std::size_t>(read);
  return read > 0;
}

}  // namespace

std::size_t unicodeLength(const char* text, std::size_t bytes, const StandIns& standIns) {
  std::size_t length = 0;
  std::size_t from = 0;
  for (const StandIn& standIn : standIns) {
    if (!readPiece(text, from, standIn.offset, nullptr, 0, length)) return 0;
    ++length;
    from = standIn.offset + 1;
  }
  return readPiece(text, from, bytes, nullptr, 0, length) ? length : 0;
}

bool writeUnicodeForm(const char* text, std::size_t bytes, const StandIns& standIns,
                      wchar_t* destination, std::size_t length) {
  std::size_t written = 0;
  std::size_t from = 0;
  for (const StandIn& standIn : standIns) {
    if (!readPiece(text, from, standIn.offset, destination + written, length - written, written) ||
        written >= length) {
      return false;
    }
    destination[written++] = static_cast<wchar_t>(standIn.unit);
    from = standIn.offset + 1;
  }
  return readPiece(text, from, bytes, destination + written, length - written, written) &&
         written == length;
}
