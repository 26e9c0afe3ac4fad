// An INI file as an editor may have saved it. The system's profile reader
// takes a file as the ANSI code page, or as UTF-16 after a byte-order mark.
// Notepad saves new files as UTF-8, with or without a mark: their Japanese
// values would arrive as mojibake, and a mark would hide the section on the
// first line. So the loader reads a Unicode file itself, by the profile
// reader's rules, and leaves every other file to the profile reader. Text
// rules only; the file and the code page are in ini_file.cpp.
#pragma once

#include <cstddef>
#include <string>

enum class IniEncoding {
  Ansi,   // the code page's bytes, plain ASCII among them: the profile reader's
  Utf8,   // a UTF-8 mark, or valid UTF-8 that holds multi-byte sequences
  Utf16,  // a UTF-16 LE mark
};

// How the file whose bytes these are was saved.
IniEncoding iniEncodingOf(const std::string& bytes);

// The text of a UTF-8 or UTF-16 file, its mark dropped. A byte that is no
// part of valid UTF-8 (a file with a mark may hold one) becomes U+FFFD; a
// last odd byte of UTF-16 is dropped. Empty for an ANSI file.
std::u16string iniTextOf(const std::string& bytes, IniEncoding encoding);

// The value of key in the first section named section, as the profile
// reader hands it over: lines end at CR or LF; blanks and tabs around
// section names, keys and values are dropped; names match in either case
// of A-Z; a line that begins with ";" is a comment; the first of repeated
// keys counts; one pair of matching "'" or double quotes around the value
// is removed; the value ends at a zero unit. False when the section or the
// key is not there.
bool findIniValue(const std::u16string& text, const char* section, const char* key,
                  std::u16string& value);
