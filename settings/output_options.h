// The settings record of one run. Field names follow the INI keys, so the
// INI loader, the command line and the output code all speak of the same
// `ShowMD5` or `URLHead`.
#pragma once

#include <cstdint>
#include <string>

#include "hash/hash_algorithm.h"
#include "text/url_transform.h"

// The placeholder head used until the INI file or /U names the real one.
constexpr const char* DEFAULT_URL_HEAD = "http://www.example.com/files/";

struct OutputOptions {
  bool CommeredNumber = true;   // group integer digits of sizes with ","
  bool InsertNewLine = false;   // size part on a line of its own, blank line after each entry
  bool UseWideChar = false;     // full-width brackets and Japanese separators
  bool EnSmallURL = false;      // lower-case A-Z of URL paths after sorting
  bool EncodeURL = true;        // percent-encode URL path components; output is URLs
  UrlForm URLEncoding = UrlForm::ShiftJis;  // the bytes EncodeURL escapes: Shift_JIS or UTF-8
  std::int32_t ByteUnit = 0;    // 0 bytes, 1 K, 2 M, 3 G, 4 T, 5 P
  bool ShowDate = false;        // last-write date
  bool ShowTime = false;        // last-write time behind the date
  bool ShowMD5 = false;         // the digest of every file (DigestAlgorithm)
  bool OutputTabText = false;   // tab-separated with a header line
  HashAlgorithm DigestAlgorithm = HashAlgorithm::Md5;  // the digest ShowMD5 adds
  bool SkipHiddenFiles = false;  // walks and wildcards leave out hidden and system names
  std::uint32_t DigestThreads = 0;  // files digested at once: 0 automatic, n at most n
  std::string URLHead = DEFAULT_URL_HEAD;  // put in front of every URL path
  std::string ByteUnitName;     // unit word; empty: follows from ByteUnit
  std::string ExcludeNames;     // ";"-separated name patterns walks and wildcards leave out

  std::uint64_t TotalSize = 0;          // bytes of all collected files
  std::uint32_t MaxUrlPathLength = 0;   // widest URL path, in bytes
  std::uint32_t MaxSizeTextLength = 0;  // widest size text, in bytes

  std::string OpenText;   // between URL and size (bracketed form)
  std::string CloseText;  // ends an entry (bracketed form)
};
