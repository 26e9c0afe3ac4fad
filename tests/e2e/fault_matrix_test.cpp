// Faults from outside the program, one row each: files locked, deleted or
// removed under it, hostile names and paths, folder links, huge files, a
// broken INI file, a command line at its limit, texts longer than their
// buffers. Every row checks the exit code and the message texts, and that
// nothing was lost: a failed run leaves the clipboard as it found it, and a
// successful one lists every file it can reach exactly once, with its size.
//
// Folder links and paths past the ANSI limit cannot be made through Wine's
// Windows interface (CreateSymbolicLinkA does nothing under Wine 8, and its
// RemoveDirectoryA on a link removes the link's target), so the rows make
// and remove them with a shell script, which Wine starts as a Unix program.
#include <gtest/gtest.h>
#include <windows.h>

#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const char* const HEAD = "http://www.example.com/files/";
const char* const WALK_STAGE = "コマンドラインから設定値を取得中";
// Tab lines, plain numbers, URL paths as found: names can be compared as
// bytes and sizes as digits.
const char* const LISTING = "/O /c /e ";

std::string openFailure(const std::string& path) {
  return "ファイル \"" + path + "\" のオープンに失敗しました。";
}

bool isLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string md5Of(const std::string& bytes) {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  BYTE digest[16] = {};
  DWORD length = sizeof digest;
  if (CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    if (CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
      CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                    static_cast<DWORD>(bytes.size()), 0);
      CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0);
      CryptDestroyHash(hash);
    }
    CryptReleaseContext(provider, 0);
  }
  static const char HEX[] = "0123456789abcdef";
  std::string text;
  for (BYTE byte : digest) text += std::string{HEX[byte >> 4], HEX[byte & 15]};
  return text;
}

std::string utf8Of(const std::string& ansi) {
  const int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                       nullptr, 0);
  std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &utf16[0], wide);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, nullptr, 0, nullptr,
                                        nullptr);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), wide, &text[0], bytes, nullptr, nullptr);
  return text;
}

std::size_t charactersOf(const std::string& ansi) {
  return static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, ansi.data(),
                                                      static_cast<int>(ansi.size()), nullptr, 0));
}

// Runs a shell script (ANSI text; names in it reach the shell in UTF-8)
// in the folder and returns once it has ended. Wine starts a Unix program
// detached, with no process handle to wait on: the script's last act, an
// atomic rename of its exit status into place, is the event.
bool runShell(const e2e::Sandbox& box, const std::string& script) {
  const std::string done = box.path("fm-shell.done");
  if (!box.writeFile("fm-shell.sh", utf8Of("( set -e\n" + script +
                                           "\n) >fm-shell.log 2>&1\necho $? >fm-shell.tmp\n"
                                           "mv fm-shell.tmp fm-shell.done\n"))) {
    return false;
  }
  // No standard handles: Wine would hand over this process's own.
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION started{};
  std::string line = "/bin/sh fm-shell.sh";
  if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                      box.folder().c_str(), &startup, &started)) {
    return false;
  }
  // For a Unix program Wine gives no process handle and leaves garbage in
  // the thread handle's place (seen: 1, a heap address): closing that closed
  // one of this process's own handles, once its window station's.
  if (started.hProcess != nullptr) {
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
  }
  for (int polls = 0; polls < 6000; ++polls) {
    const HANDLE file = CreateFileA(done.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char status[8] = {};
      DWORD read = 0;
      ReadFile(file, status, sizeof status - 1, &read, nullptr);
      CloseHandle(file);
      DeleteFileA(done.c_str());
      return status[0] == '0';
    }
    Sleep(10);
  }
  return false;
}

// Removes, when the row ends, what a shell script made: links and trees
// the sandbox's own clean-up cannot take.
struct ShellMade {
  ShellMade(const e2e::Sandbox& sandbox, std::string names)
      : box(sandbox), paths(std::move(names)) {}
  ~ShellMade() { EXPECT_TRUE(runShell(box, "rm -rf " + paths)); }
  const e2e::Sandbox& box;
  std::string paths;
};

// Another program's handle on a file while the object lives.
struct HeldFile {
  explicit HeldFile(const std::string& path)
      : handle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~HeldFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  HANDLE handle;
};

// The longest path the ANSI interface takes: past it a name is refused
// for its length, not looked for.
std::size_t ansiPathLimit(const std::string& folder) {
  std::string path = folder + "\\";
  for (;;) {
    path += 'x';
    GetFileAttributesA(path.c_str());
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return path.size() - 1;
  }
}

struct Listed {
  std::string url;
  std::string size;
  std::string digest;
  bool operator<(const Listed& other) const {
    return url != other.url ? url < other.url : size < other.size;
  }
  bool operator==(const Listed& other) const {
    return url == other.url && size == other.size && digest == other.digest;
  }
};

std::ostream& operator<<(std::ostream& out, const Listed& listed) {
  return out << "{" << utf8Of(listed.url) << " " << listed.size << " " << listed.digest << "}";
}

// A file and its line: its size, and its digest when the run takes them.
Listed entry(const std::string& url, const std::string& bytes, bool digest = true) {
  return Listed{url, std::to_string(bytes.size()), digest ? md5Of(bytes) : std::string()};
}

struct Case {
  std::string arguments;
  std::wstring wideCommandLine;  // when set, the whole command line, launched as Send To does
  e2e::LaunchOptions options;
  std::int32_t exitCode = 0;
  std::vector<std::string> messages;
  // A successful run's tab listing, in any order; or, when expectedText is
  // set, the exact clipboard.
  std::string head = HEAD;
  std::vector<Listed> listed;
  std::string expectedText;
  std::vector<std::shared_ptr<void>> keep;  // alive for the run, released before the sandbox
};

// The entries of a tab listing; a line that does not parse is kept whole
// as a URL so that the comparison shows it.
std::vector<Listed> parseListing(const std::string& text, const std::string& head) {
  std::vector<Listed> result;
  std::size_t at = text.find("\r\n");
  while (at != std::string::npos && at + 2 < text.size()) {
    const std::size_t start = at + 2;
    at = text.find("\r\n", start);
    std::string line = text.substr(start, at == std::string::npos ? std::string::npos : at - start);
    Listed entry;
    if (line.compare(0, head.size(), head) == 0) line.erase(0, head.size());
    const std::size_t tab = line.find('\t');
    entry.url = line.substr(0, tab);
    if (tab != std::string::npos) {
      const std::size_t second = line.find('\t', tab + 1);
      entry.size = line.substr(tab + 1, second == std::string::npos ? second : second - tab - 1);
      if (second != std::string::npos) entry.digest = line.substr(second + 1);
    }
    result.push_back(entry);
  }
  std::sort(result.begin(), result.end());
  return result;
}

// ---------------------------------------------------------------------------
// Rows.

void lockedDuringDigest(const e2e::Sandbox& box, Case& c) {
  ASSERT_TRUE(box.writeFile("first.txt", "first"));
  ASSERT_TRUE(box.writeFile("late.txt", "late"));
  ASSERT_TRUE(box.writeFile("ok.txt", "fine"));
  auto first = std::make_shared<HeldFile>(box.path("first.txt"));
  auto late = std::make_shared<std::shared_ptr<HeldFile>>();
  ASSERT_NE(first->handle, INVALID_HANDLE_VALUE);
  // The digest pass waits in the first file's box: the next file is locked then.
  c.options.beforeAnswer = [&box, late](const e2e::MessageBoxSeen&) {
    if (!*late) *late = std::make_shared<HeldFile>(box.path("late.txt"));
  };
  c.keep = {first, late};
  c.arguments = std::string(LISTING) + "/M " + e2e::quoted(box.path("first.txt")) + " " +
                e2e::quoted(box.path("late.txt")) + " " + e2e::quoted(box.path("ok.txt"));
  c.messages = {openFailure(box.path("first.txt")), openFailure(box.path("late.txt"))};
  c.listed = {entry("first.txt", "first", false), entry("late.txt", "late", false),
              entry("ok.txt", "fine")};
}

void deletedBeforeDigest(const e2e::Sandbox& box, Case& c) {
  ASSERT_TRUE(box.writeFile("held.txt", "held"));
  ASSERT_TRUE(box.writeFile("gone.txt", "soon gone"));
  ASSERT_TRUE(box.writeFile("ok.txt", "fine"));
  auto held = std::make_shared<HeldFile>(box.path("held.txt"));
  ASSERT_NE(held->handle, INVALID_HANDLE_VALUE);
  c.keep = {held};
  const std::string gone = box.path("gone.txt");
  c.options.beforeAnswer = [gone](const e2e::MessageBoxSeen&) { DeleteFileA(gone.c_str()); };
  c.arguments = std::string(LISTING) + "/M " + e2e::quoted(box.path("held.txt")) + " " +
                e2e::quoted(gone) + " " + e2e::quoted(box.path("ok.txt"));
  c.messages = {openFailure(box.path("held.txt")), openFailure(gone)};
  // Collected while it was there: listed with the size it had.
  c.listed = {entry("held.txt", "held", false), entry("gone.txt", "soon gone", false),
              entry("ok.txt", "fine")};
}

// One reader serves the whole digest pass: a few hundred files of sizes
// around the chunk size, three of them locked at different places in the
// order (the first file, one midway, the last). Each locked file gets its
// box, in the order the files are taken, and no digits; no chunk, end or
// failure of one file reaches another.
void manyFilesThreeLocked(const e2e::Sandbox& box, Case& c) {
  const std::size_t SIZES[] = {0, 1, 131071, 131072, 131073, 300007, 4096, 65536};
  std::map<std::string, std::string> files;  // name, bytes
  for (std::size_t i = 0; i < 300; ++i) {
    std::string bytes(SIZES[i % 8], '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k) {
      bytes[k] = static_cast<char>(k * 31 + (k >> 8) + i);
    }
    const std::string name = "f" + std::to_string(i) + ".bin";
    ASSERT_TRUE(box.writeFile("many\\" + name, bytes));
    files[name] = bytes;
  }
  // The walk takes the files in the folder's own order.
  std::vector<std::string> order;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(box.path("many\\*").c_str(), &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    if (found.cFileName[0] != '.') order.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  ASSERT_EQ(order.size(), files.size());
  const std::set<std::string> locked = {order.front(), order[order.size() / 2], order.back()};
  for (const std::string& name : order) {
    if (locked.count(name) == 0) continue;
    c.keep.push_back(std::make_shared<HeldFile>(box.path("many\\" + name)));
    c.messages.push_back(openFailure(box.path("many\\" + name)));
  }
  c.arguments = std::string(LISTING) + "/M " + e2e::quoted(box.path("many"));
  for (const auto& file : files) {
    c.listed.push_back(entry("many/" + file.first, file.second, locked.count(file.first) == 0));
  }
}

// A tree whose walk outlasts any test: every level of "chain" holds two
// links to the next one, so the walk meets 2^levels folders. None leads
// back up, so every one of them is walked. Made in folder `top` (one or
// more components, "/" between them).
void makeEndlessWalk(const e2e::Sandbox& box, Case& c, const std::string& top) {
  std::string up = "../../";
  for (char byte : top) up += byte == '/' ? "../" : "";
  const std::string script =
      "mkdir -p '" + top + "/chain'\nfor k in $(seq 1 40); do mkdir L$k; done\n"
      "for k in $(seq 1 39); do ln -s ../L$((k+1)) L$k/a; ln -s ../L$((k+1)) L$k/b; done\n"
      "ln -s " + up + "L1 '" + top + "/chain/a'\nln -s " + up + "L1 '" + top + "/chain/b'";
  ASSERT_TRUE(runShell(box, script));
  c.keep.push_back(std::make_shared<ShellMade>(box, "L* '" + top.substr(0, top.find('/')) + "'"));
}

// Once the window is up, the walk is somewhere in the chain; the chain is
// taken away under it, and the walk must come out and finish the rest.
void removeChainWhenShown(const e2e::Sandbox& box, Case& c, const std::string& top) {
  c.options.whenShown = [&box, top](e2e::RunControl&) {
    EXPECT_TRUE(runShell(box, "rm '" + top + "/chain/a' '" + top + "/chain/b'\nrmdir '" + top +
                                  "/chain'"));
  };
  c.options.timeoutMs = 60000;
}

void folderRemovedDuringWalk(const e2e::Sandbox& box, Case& c) {
  ASSERT_TRUE(box.writeFile("walked\\keep.txt", "keep"));
  ASSERT_TRUE(box.writeFile("walked\\later\\later.txt", "later"));
  ASSERT_NO_FATAL_FAILURE(makeEndlessWalk(box, c, "walked"));
  removeChainWhenShown(box, c, "walked");
  c.arguments = std::string(LISTING) + e2e::quoted(box.path("walked"));
  c.listed = {entry("walked/keep.txt", "keep", false),
              entry("walked/later/later.txt", "later", false)};
}

// Every single byte and double-byte pair the platform's ANSI names take,
// as found by making a file with it: a pair for every lead byte, with a
// 0x5C and a 0x7C trail wherever the code page has one, and a pair for
// every trail byte.
std::vector<std::string> nameUnits(const e2e::Sandbox& box) {
  std::vector<std::string> candidates;
  for (int b = 0x20; b <= 0xFF; ++b) {
    if (!isLeadByte(static_cast<unsigned char>(b))) candidates.push_back(std::string(1, char(b)));
  }
  std::vector<std::string> pairs;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string pair{char(lead), char(trail)};
      wchar_t wide[2];
      char back[4];
      BOOL defaulted = FALSE;
      if (isLeadByte(static_cast<unsigned char>(lead)) && trail != 0x7F &&
          MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pair.data(), 2, wide, 2) == 1 &&
          WideCharToMultiByte(CP_ACP, 0, wide, 1, back, sizeof back, nullptr, &defaulted) == 2 &&
          !defaulted && pair == std::string(back, 2)) {
        pairs.push_back(pair);
      }
    }
  }
  std::vector<bool> leadSeen(256);
  std::vector<bool> trailSeen(256);
  for (const std::string& pair : pairs) {
    const auto lead = static_cast<unsigned char>(pair[0]);
    const auto trail = static_cast<unsigned char>(pair[1]);
    if (trail == 0x5C || trail == 0x7C || !leadSeen[lead] || !trailSeen[trail]) {
      candidates.push_back(pair);
    }
    leadSeen[lead] = trailSeen[trail] = true;
  }
  std::vector<std::string> units;
  for (const std::string& unit : candidates) {
    const std::string probe = box.path("u" + unit + "~");
    if (!box.writeFile("u" + unit + "~", "")) continue;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(probe.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      if (std::string(found.cFileName) == "u" + unit + "~") units.push_back(unit);
      FindClose(search);
    }
    DeleteFileA(probe.c_str());
  }
  return units;
}

void everyNameByte(const e2e::Sandbox& box, Case& c) {
  const std::vector<std::string> units = nameUnits(box);
  ASSERT_GT(units.size(), 300u);
  std::vector<std::string> names = {".dot", " blank", "..two", ". both", "\x83\x5C", "\x83\x7C"};
  std::string name;
  for (std::size_t i = 0; i < units.size(); ++i) {
    name += units[i];
    if (name.size() >= 40 || i + 1 == units.size()) {
      // A unique start keeps names apart however case is folded; the
      // platform drops a blank or dot at the end.
      names.push_back(std::to_string(names.size()) + "_" + name + "~");
      name.clear();
    }
  }
  for (const std::string& one : names) {
    ASSERT_TRUE(box.writeFile("names\\" + one, one)) << one;
    c.listed.push_back(entry("names/" + one, one));
  }
  // Folders named by pairs with 0x5C and 0x7C trail bytes.
  ASSERT_TRUE(box.writeFile("names\\\x95\x5C\\\x83\x5C\x83\x7C.txt", "in 5C"));
  ASSERT_TRUE(box.writeFile("names\\\x83\x7C\x83\x7C\\\x95\x5C", "in 7C"));
  c.listed.push_back(entry("names/\x95\x5C/\x83\x5C\x83\x7C.txt", "in 5C"));
  c.listed.push_back(entry("names/\x83\x7C\x83\x7C/\x95\x5C", "in 7C"));
  c.arguments = std::string(LISTING) + "/M " + e2e::quoted(box.path("names"));
}

// Level k of the tree is lim\d\d...\d with k components; every level holds
// a file f. The level whose folder is two bytes short of the limit holds
// files whose paths are one short of the limit, at it and one past it; the
// levels past it are reached through their long form. Every file is
// listed and digested.
void pathsAtTheLimit(const e2e::Sandbox& box, Case& c) {
  const std::size_t limit = ansiPathLimit(box.folder());
  std::string top = "lim";
  const std::size_t base = box.folder().size() + 1;
  if ((limit - 2 - base - top.size()) % 2 != 0) top += "x";
  const std::size_t atLimit = (limit - 2 - base - top.size()) / 2;
  std::string script;
  std::string relative = top;
  for (std::size_t k = 0; k <= atLimit + 4; ++k, relative += "/d") {
    script +=
        "mkdir -p " + relative + "\nprintf %s " + std::to_string(k) + " >" + relative + "/f\n";
    c.listed.push_back(entry(relative + "/f", std::to_string(k)));
    if (k + 1 == atLimit) {
      // Paths one short of the limit, at it and one past it.
      for (const char* name : {"gg", "ggg", "gggg"}) {
        script += "printf %s " + std::string(name) + " >" + relative + "/" + name + "\n";
        c.listed.push_back(entry(relative + "/" + name, name));
      }
      std::string over = box.path(relative + "/gggg");
      ASSERT_EQ(over.size(), limit + 1);
    }
  }
  ASSERT_TRUE(runShell(box, script));
  c.keep.push_back(std::make_shared<ShellMade>(box, top));
  c.arguments = std::string(LISTING) + "/M " + e2e::quoted(box.path(top));
}

// 30 folders deep, past 500 characters, names with 0x5C trail bytes among
// them: every level's file is listed and digested.
void treePastFiveHundredCharacters(const e2e::Sandbox& box, Case& c) {
  std::string script;
  std::string relative = "deep";
  for (int k = 1; k <= 30; ++k) {
    relative += "/level" + std::to_string(100 + k) + "-深い階層の表示ソ";
    script += "mkdir -p '" + relative + "'\nprintf %s " + std::to_string(k) + " >'" + relative +
              "/f.txt'\n";
    c.listed.push_back(entry(relative + "/f.txt", std::to_string(k)));
  }
  ASSERT_GT(charactersOf(box.path(relative)), 500u);
  ASSERT_TRUE(runShell(box, script));
  c.keep.push_back(std::make_shared<ShellMade>(box, "deep"));
  c.arguments = std::string(LISTING) + "/M " + e2e::quoted(box.path("deep"));
}

// Makes a file, and the folders on its way, by its UTF-16 path relative
// to the box: names the code page cannot spell.
bool writeExact(const e2e::Sandbox& box, const std::wstring& relative, const std::string& bytes) {
  const std::wstring folder = e2e::widened(box.folder());
  const std::wstring path = folder + L"\\" + relative;
  for (std::size_t at = path.find(L'\\', folder.size() + 1); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                              &written, nullptr) &&
                                    written == bytes.size());
  CloseHandle(file);
  return ok;
}

struct ExactFile {
  const wchar_t* path;  // relative to the box
  const char* bytes;
  const char* listed;   // its URL path: a "?" for each unit the code page lacks
};

// Makes the files, each listed with its size and digest, in the box's
// folders tops, which the sandbox's own clean-up cannot name.
void makeExactFiles(const e2e::Sandbox& box, Case& c, const std::vector<ExactFile>& files,
                    const std::string& tops) {
  c.keep.push_back(std::make_shared<ShellMade>(box, tops));
  for (const ExactFile& file : files) {
    ASSERT_TRUE(writeExact(box, file.path, file.bytes)) << file.listed;
    c.listed.push_back(entry(file.listed, file.bytes));
  }
}

// No look-alike stands in for a missing character: "..¥a¥b.txt" is not
// "..\\a\\b.txt", a file outside the folder, and "ü.txt" is not u.txt. Every
// file is found, sized and digested under its own name, a folder read
// with a "?" is walked, and files whose names read alike are each listed
// with their own size and digest.
void namesTheCodePageLacks(const e2e::Sandbox& box, Case& c) {
  ASSERT_TRUE(box.writeFile("a\\b.txt", "SECRET"));
  // (A "?" before "?/" is written "\?": "??/" would be a trigraph.)
  const std::vector<ExactFile> files = {{L"sub\\..¥a¥b.txt", "x", "sub/..?a?b.txt"},
                                        {L"sub\\ü.txt", "1234", "sub/?.txt"},
                                        {L"sub\\u.txt", "22", "sub/u.txt"},
                                        {L"sub\\한국.txt", "hello", "sub/??.txt"},
                                        {L"sub\\😀.txt", "smiles", "sub/??.txt"},
                                        {L"d\\简体\\f.txt", "5", "d/?体/f.txt"},
                                        {L"d\\x\\h.txt", "1", "d/x/h.txt"},
                                        {L"pair\\북한\\한.txt", "one", "pair/?\?/?.txt"},
                                        {L"pair\\북한\\북.txt", "three", "pair/?\?/?.txt"}};
  ASSERT_NO_FATAL_FAILURE(makeExactFiles(box, c, files, "sub d pair"));
  c.arguments = std::string(LISTING) + "/M " + e2e::quoted(box.path("sub")) + " " +
                e2e::quoted(box.path("d")) + " " + e2e::quoted(box.path("pair"));
}

// Explorer's Send To passes UTF-16 paths: a folder and a file named with
// characters the code page lacks are found from them.
void exactPathsOnTheCommandLine(const e2e::Sandbox& box, Case& c) {
  const std::vector<ExactFile> files = {{L"sent\\한국\\a.txt", "in", "?\?/a.txt"},
                                        {L"sent\\ü¥.txt", "top", "??.txt"}};
  ASSERT_NO_FATAL_FAILURE(makeExactFiles(box, c, files, "sent"));
  const std::wstring sent = e2e::widened(box.path("sent"));
  c.wideCommandLine = L"\"" + e2e::widened(box.programPath()) + L"\" " + e2e::widened(LISTING) +
                      L"/M \"" + sent + L"\\한국\" \"" + sent + L"\\ü¥.txt\"";
}

// The program in a folder whose name the code page lacks reads the INI
// file beside it: without it the run would give no tab listing and no
// digests.
void iniFileBesideAnExactProgramPath(const e2e::Sandbox& box, Case& c) {
  const std::vector<ExactFile> files = {{L"tool\\한국\\ü.txt", "umlaut", "?.txt"}};
  ASSERT_NO_FATAL_FAILURE(makeExactFiles(box, c, files, "tool"));
  const std::wstring ini = L"tool\\한국\\list.ini";
  ASSERT_TRUE(writeExact(box, ini, "[Options]\r\nOutputTabText=1\r\nCommeredNumber=0\r\n"
                                   "EncodeURL=0\r\nShowMD5=1\r\n"));
  const std::wstring folder = e2e::widened(box.path("tool")) + L"\\한국";
  const std::wstring program = folder + L"\\list.exe";
  ASSERT_TRUE(CopyFileW(e2e::widened(box.programPath()).c_str(), program.c_str(), TRUE));
  c.wideCommandLine = L"\"" + folder + L"\\list.exe\" \"" + folder + L"\\ü.txt\"";
}

// A folder holding two links to itself: the walk must not go through them.
void makeSelfLinks(const e2e::Sandbox& box, Case& c) {
  ASSERT_TRUE(runShell(box, "mkdir loop\nprintf %s only >loop/only.txt\nln -s . loop/a\n"
                            "ln -s . loop/b"));
  c.keep.push_back(std::make_shared<ShellMade>(box, "loop"));
  c.options.timeoutMs = 30000;
}

void selfLinksInAFolderArgument(const e2e::Sandbox& box, Case& c) {
  ASSERT_NO_FATAL_FAILURE(makeSelfLinks(box, c));
  c.arguments = std::string(LISTING) + e2e::quoted(box.path("loop"));
  c.listed = {entry("loop/only.txt", "only", false)};
}

void selfLinksUnderAPattern(const e2e::Sandbox& box, Case& c) {
  ASSERT_NO_FATAL_FAILURE(makeSelfLinks(box, c));
  c.arguments = std::string(LISTING) + e2e::quoted(box.path("loop\\*"));
  c.listed = {entry("only.txt", "only", false)};
}

void linkToAFolderAbove(const e2e::Sandbox& box, Case& c) {
  ASSERT_TRUE(runShell(box, "mkdir -p up/sub\nprintf %s top >up/top.txt\n"
                            "printf %s sub >up/sub/sub.txt\nln -s .. up/sub/back"));
  c.keep.push_back(std::make_shared<ShellMade>(box, "up"));
  c.arguments = std::string(LISTING) + e2e::quoted(box.path("up"));
  c.listed = {entry("up/top.txt", "top", false), entry("up/sub/sub.txt", "sub", false)};
}

// No loop: the same folder under two names is listed under both.
void linkToASiblingFolder(const e2e::Sandbox& box, Case& c) {
  ASSERT_TRUE(runShell(box, "mkdir -p two/real\nprintf %s x >two/real/x.txt\nln -s real two/link"));
  c.keep.push_back(std::make_shared<ShellMade>(box, "two"));
  c.arguments = std::string(LISTING) + e2e::quoted(box.path("two"));
  c.listed = {entry("two/real/x.txt", "x", false), entry("two/link/x.txt", "x", false)};
}

// 8,065,409,358 bytes: no unit's hundredths lie near a half.
void sparseFileIn(const e2e::Sandbox& box, Case& c, const char* unit, const char* shown) {
  ASSERT_TRUE(box.writeFileOfSize("big.bin", 8065409358ull));
  c.arguments = std::string("/B:") + unit + " " + e2e::quoted(box.path("big.bin"));
  c.expectedText = std::string(HEAD) + "big.bin (" + shown + ")\r\n";
}

// a.txt, dated, and an INI file read before it.
void iniRow(const e2e::Sandbox& box, Case& c, const std::string& ini) {
  const FILETIME written = e2e::localFileTime(2021, 2, 3, 4, 5, 6);
  ASSERT_TRUE(box.writeFile("a.txt", "abc", &written));
  ASSERT_TRUE(box.writeIni(ini));
  c.arguments = e2e::quoted(box.path("a.txt"));
}

// Every byte value, NULs, bare CRs and LFs, brackets and "=" among them;
// the settings after it still count.
void iniOfBinaryGarbage(const e2e::Sandbox& box, Case& c) {
  std::string garbage = "G";
  std::uint32_t state = 12345;
  for (int i = 0; i < 8192; ++i) {
    state = state * 1103515245u + 12345u;
    garbage += static_cast<char>(state >> 24);
  }
  ASSERT_NO_FATAL_FAILURE(iniRow(box, c, garbage + "\r\n[Options]\r\nShowDate=1\r\n"));
  c.expectedText = std::string(HEAD) + "a.txt (3 bytes, 2021/02/03)\r\n";
}

// Lines of 100,000 bytes, and values cut to the reader's 127 bytes; a cut
// never splits a double-byte character.
void iniOfLongLines(const e2e::Sandbox& box, Case& c) {
  std::string head;
  for (int i = 0; head.size() < 300; ++i) head += std::to_string(i % 10);
  std::string unit;
  for (int i = 0; i < 100; ++i) unit += "あ";
  const std::string ini = ";" + std::string(100000, 'c') + "\r\n[" + std::string(5000, 's') +
                          "]\r\n" + std::string(100000, 'k') + "=v\r\n[Options]\r\nShowDate=1\r\n" +
                          "[Strings]\r\nURLHead=" + head + "\r\nByteUnitName=" + unit + "\r\n";
  ASSERT_NO_FATAL_FAILURE(iniRow(box, c, ini));
  c.expectedText = head.substr(0, 127) + "/a.txt (3 " + unit.substr(0, 126) + ", 2021/02/03)\r\n";
}

void iniValueOverItsBuffer(const e2e::Sandbox& box, Case& c) {
  ASSERT_NO_FATAL_FAILURE(
      iniRow(box, c, "[Options]\r\nShowMD5=1" + std::string(200, 'x') + "\r\n"));
  c.exitCode = -12;
  c.messages = {"設定ファイル \"" + box.iniPath() +
                "\" に、以下のエラーがあります。\n\n[Options] セクションに設定されたキー "
                "ShowMD5 の値 \"1" + std::string(126, 'x') + "\" が認識できません。"};
}

// As many arguments as fit into 32,767 characters; double-byte names make
// the ANSI command line far longer in bytes.
void commandLineAtItsLimit(const e2e::Sandbox& box, Case& c) {
  c.arguments = LISTING;
  std::size_t characters = box.commandLine(c.arguments).size();
  for (int i = 0;; ++i) {
    const std::string name = std::to_string(i) + " 長い名前の表示用ファイル一覧.txt";
    const std::string argument = " " + e2e::quoted(box.path("cl\\" + name));
    if (characters + charactersOf(argument) > 32766) break;
    characters += charactersOf(argument);
    ASSERT_TRUE(box.writeFile("cl\\" + name, std::to_string(i * 7)));
    c.arguments += argument;
    c.listed.push_back(entry(name, std::to_string(i * 7), false));
  }
  ASSERT_GT(c.listed.size(), 400u);
  ASSERT_GT(box.commandLine(c.arguments).size(), 32767u);
}

// While the window is up, status line 2 shows the walk's folders, with
// double-byte names (their trail bytes 0x5C): every path shown holds over
// 360 bytes, more than line 1's buffer. An option of 1,000 bytes, more than
// line 2's buffer, passed through line 2 on the way and is applied whole.
void statusTextsLongerThanBuffers(const e2e::Sandbox& box, Case& c) {
  std::string name;
  while (name.size() < 160) name += "表示ソ";  // 240 bytes in UTF-8, within a Unix name
  const std::string top = name + "\\" + name;
  ASSERT_TRUE(box.writeFile(top + "\\keep.txt", "keep"));
  std::string shellTop = top;
  shellTop[name.size()] = '/';
  ASSERT_NO_FATAL_FAILURE(makeEndlessWalk(box, c, shellTop));
  removeChainWhenShown(box, c, shellTop);
  c.head.clear();
  while (c.head.size() < 1000) c.head += "長いURL/";
  // Quoted: outside quotes each "/" would start an option.
  c.arguments =
      std::string(LISTING) + e2e::quoted("/U:" + c.head) + " " + e2e::quoted(box.path(top));
  c.listed = {entry(shellTop.substr(name.size() + 1) + "/keep.txt", "keep", false)};

  const std::string chain = box.path(top + "\\chain");
  ASSERT_GT(chain.size(), 360u);
  c.options.endWhen = [chain](const e2e::WindowState& state) {
    // Line 2 is cleared as the next stage begins, maybe before line 1 shows it.
    if (!state.visible || state.line1 != WALK_STAGE || state.line2.empty()) return false;
    // Only a whole chain path, from the first byte to the last, will do.
    const std::string& shown = state.line2;
    bool whole = shown.compare(0, chain.size(), chain) == 0;
    for (std::size_t i = chain.size(); whole && i < shown.size(); i += 2) {
      whole = shown[i] == '\\' && (shown[i + 1] == 'a' || shown[i + 1] == 'b');
    }
    EXPECT_TRUE(whole) << utf8Of(shown);
    return !whole;
  };
}

// ---------------------------------------------------------------------------

struct Row {
  const char* name;
  void (*make)(const e2e::Sandbox&, Case&);
};

const Row ROWS[] = {
    {"FileLockedForWritingDuringTheDigest", lockedDuringDigest},
    {"FileDeletedBetweenWalkAndDigest", deletedBeforeDigest},
    {"ManyFilesThreeLockedInOneDigestPass", manyFilesThreeLocked},
    {"FolderRemovedDuringTheWalk", folderRemovedDuringWalk},
    {"EveryByteOfAnAnsiName", everyNameByte},
    {"PathsAtTheLimitAndATreeBeyondIt", pathsAtTheLimit},
    {"TreePastFiveHundredCharacters", treePastFiveHundredCharacters},
    {"NamesTheCodePageLacks", namesTheCodePageLacks},
    {"ExactPathsOnTheCommandLine", exactPathsOnTheCommandLine},
    {"IniFileBesideAnExactProgramPath", iniFileBesideAnExactProgramPath},
    {"TwoSelfLinksInAFolderArgument", selfLinksInAFolderArgument},
    {"TwoSelfLinksUnderAPattern", selfLinksUnderAPattern},
    {"LinkToAFolderAbove", linkToAFolderAbove},
    {"LinkToASiblingFolderIsWalked", linkToASiblingFolder},
    {"SparseFileOver4GiBInBytes",
     [](const e2e::Sandbox& b, Case& c) { sparseFileIn(b, c, "B", "8,065,409,358 bytes"); }},
    {"SparseFileOver4GiBInK",
     [](const e2e::Sandbox& b, Case& c) { sparseFileIn(b, c, "K", "7,876,376.33 KB"); }},
    {"SparseFileOver4GiBInM",
     [](const e2e::Sandbox& b, Case& c) { sparseFileIn(b, c, "M", "7,691.77 MB"); }},
    {"SparseFileOver4GiBInG",
     [](const e2e::Sandbox& b, Case& c) { sparseFileIn(b, c, "G", "7.51 GB"); }},
    {"SparseFileOver4GiBInT",
     [](const e2e::Sandbox& b, Case& c) { sparseFileIn(b, c, "T", "0.01 TB"); }},
    {"SparseFileOver4GiBInP",
     [](const e2e::Sandbox& b, Case& c) { sparseFileIn(b, c, "P", "0.01 PB"); }},
    {"IniOfBinaryGarbage", iniOfBinaryGarbage},
    {"IniOfLongLinesAndLongValues", iniOfLongLines},
    {"IniValueOverItsBuffer", iniValueOverItsBuffer},
    {"CommandLineAtItsLimit", commandLineAtItsLimit},
    {"StatusTextsLongerThanTheirBuffers", statusTextsLongerThanBuffers},
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class FaultMatrix : public ::testing::TestWithParam<Row> {
 protected:
  e2e::Sandbox box_;
};

TEST_P(FaultMatrix, NothingIsLost) {
  ASSERT_TRUE(box_.ok());
  Case c;
  GetParam().make(box_, c);
  if (HasFatalFailure() || IsSkipped()) return;

  const e2e::Outcome out = c.wideCommandLine.empty() ? box_.run(c.arguments, c.options)
                                                     : e2e::launchWide(c.wideCommandLine, c.options);
  ASSERT_TRUE(out.started) << out.summary();
  ASSERT_FALSE(out.timedOut) << out.summary();
  ASSERT_FALSE(out.endedByTest) << out.summary();
  EXPECT_EQ(out.exitCode, c.exitCode) << out.summary();
  std::vector<std::string> texts;
  for (const e2e::MessageBoxSeen& box : out.messages) texts.push_back(box.text);
  EXPECT_EQ(texts, c.messages) << out.summary();
  if (c.options.whenShown) {
    // The window came up during the walk: the event the row relies on.
    EXPECT_TRUE(out.window.shown && out.window.whenShown.line1 == WALK_STAGE) << out.summary();
  }

  if (c.exitCode != 0) {
    EXPECT_TRUE(out.sentinelKept) << out.summary();
  } else if (!c.expectedText.empty()) {
    EXPECT_EQ(out.clipboard, c.expectedText) << out.summary();
  } else {
    std::sort(c.listed.begin(), c.listed.end());
    EXPECT_EQ(parseListing(out.clipboard, c.head), c.listed) << out.summary();
  }
}

INSTANTIATE_TEST_SUITE_P(, FaultMatrix, ::testing::ValuesIn(ROWS),
                         [](const ::testing::TestParamInfo<Row>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
