// Names and paths in the program's two forms. The ANSI form (Shift_JIS
// bytes) is what every text shows: URL paths, the sort, column widths,
// status lines, message boxes, the output. The exact form (UTF-16) is what
// reaches the file system, so a name the code page cannot spell is still
// found and opened, and never taken for a look-alike. Converting between
// the two happens here and nowhere else.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "text/stand_in.h"

// The ANSI form of UTF-16 text: each unit the code page cannot spell
// exactly becomes one "?" (an emoji, two units, gives "??"), and no
// character ever becomes another one ("ü" is "?", never "u"; "¥" never
// "\"). For text the code page can spell these are the code page's own
// bytes. Sets *missing when a "?" stands for a missing character.
std::string ansiForm(const wchar_t* text, std::size_t length, bool* missing = nullptr);
inline std::string ansiForm(const std::wstring& text, bool* missing = nullptr) {
  return ansiForm(text.c_str(), text.size(), missing);
}

// The ANSI form of one name from a directory search (at most MAX_PATH
// units), kept in a buffer of its own so that a walk over a million files
// converts each name without touching the heap.
class AnsiName {
 public:
  explicit AnsiName(const wchar_t* name);

  const char* c_str() const { return bytes_; }
  bool missing() const { return missing_; }  // a "?" stands for a missing character

 private:
  char bytes_[2 * MAX_PATH + 1];  // a double-byte code page takes two bytes a unit at most
  bool missing_ = false;
};

// The ANSI form of UTF-8 text (a URL path of the UTF-8 form, its escapes
// decoded): as above, and bytes that are no UTF-8 read as "?" too.
std::string ansiFormOfUtf8(const std::string& utf8);

// The exact form of ANSI text, by the code page's own table.
std::wstring exactForm(const std::string& text);
// The same into exact, whose buffer is reused: a pass over many files
// converts each path without touching the heap once the buffer is large enough.
void assignExactForm(const char* text, std::wstring& exact);

// The path as the file system takes it: the path itself below the classic
// limit; past it, the long form of its full path ("\\?\", or "\\?\UNC\"
// for a share), so a tree of any depth can be listed and read. Lives as
// long as the full expression that makes it, like the path it is given.
class SystemPath {
 public:
  explicit SystemPath(const std::wstring& path);
  SystemPath(const SystemPath&) = delete;
  SystemPath& operator=(const SystemPath&) = delete;

  const wchar_t* c_str() const { return path_->c_str(); }

 private:
  const std::wstring* path_;  // the given path, or longForm_
  std::wstring longForm_;
};

// The platform's full path of an exact path; empty when it cannot be had.
std::wstring fullPathOf(const std::wstring& path);

// Notes the "?"s of an entry's ANSI path that stand for characters the code
// page lacks, as they lie in the output from offset on. The path is the
// tail of its exact path, one character per unit, so each "?" is matched
// with the unit at its place there. A percent-encoded path holds no "?".
void noteStandIns(const std::string& ansiPath, const std::wstring& exactPath, std::size_t offset,
                  StandIns& standIns);

// The output as the code page reads it, with the unit of each stand-in in
// place of its "?". Its length in UTF-16 units; 0 when the text cannot be
// read, as a piece of more than 2 GiB cannot.
std::size_t unicodeLength(const char* text, std::size_t bytes, const StandIns& standIns);
// The same text written to destination, which has room for exactly length
// units (from unicodeLength); false when it cannot be written whole.
bool writeUnicodeForm(const char* text, std::size_t bytes, const StandIns& standIns,
                      wchar_t* destination, std::size_t length);
