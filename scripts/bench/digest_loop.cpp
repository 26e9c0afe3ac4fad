// The bare cost of digesting files one at a time on this platform, as a
// yardstick for the program's /M: digest_loop [-sha256] [-threads N] PATH [OUTFILE]
// walks PATH (a folder, searched through "*" in every folder beneath it, or
// one file) and, in one thread, opens each file, reads it in 128 KiB chunks,
// hashes it with the program's MD5 code (or its SHA-256 code, on the
// fastest engine) and closes it. It writes "FILES BYTES DIGEST" to OUTFILE
// (or stdout), DIGEST being the last file's, so the hashing is kept. Paths
// go through the wide interface, as the program's do. With -threads N it
// lists the files first, then N threads take them from a shared counter
// and each digests its own (the last file's digest is then any thread's).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hash/md5.h"
#include "hash/sha256.h"

namespace {

constexpr DWORD CHUNK = 131072;

struct Totals {
  unsigned long long files = 0;
  unsigned long long bytes = 0;
  unsigned long long failures = 0;  // folders that could not be searched, files not read
  bool sha256 = false;  // which digest
  char digest[SHA256_HEX_DIGEST_SIZE] = {};
};

void digestFile(const std::wstring& path, unsigned char* chunk, Totals& totals) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ++totals.failures;
    return;
  }
  Md5Context md5;
  Sha256Context sha256;
  DWORD length = 0;
  while (ReadFile(file, chunk, CHUNK, &length, nullptr) && length != 0) {
    if (totals.sha256) {
      sha256.sha256Update(chunk, length);
    } else {
      md5.md5Update(chunk, length);
    }
    totals.bytes += length;
  }
  CloseHandle(file);
  if (totals.sha256) {
    sha256.sha256HexDigest(totals.digest);
  } else {
    md5.md5HexDigest(totals.digest);
  }
  ++totals.files;
}

// Files to digest later, when threads share them; null: digest at once.
std::vector<std::wstring>* listed = nullptr;

void walk(std::wstring& path, unsigned char* chunk, Totals& totals) {
  const std::size_t length = path.size();
  path += L"\\*";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(path.c_str(), &found);
  path.resize(length);
  if (search == INVALID_HANDLE_VALUE) {
    ++totals.failures;
    return;
  }
  do {
    const wchar_t* name = found.cFileName;
    if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
    path += L'\\';
    path += name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      walk(path, chunk, totals);
    } else if (listed != nullptr) {
      listed->push_back(path);
    } else {
      digestFile(path, chunk, totals);
    }
    path.resize(length);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Totals totals;
  if (argc > 1 && std::wcscmp(argv[1], L"-sha256") == 0) {
    totals.sha256 = true;
    --argc;
    ++argv;
  }
  unsigned threads = 0;
  if (argc > 2 && std::wcscmp(argv[1], L"-threads") == 0) {
    threads = static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10));
    argc -= 2;
    argv += 2;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: digest_loop [-sha256] [-threads N] PATH [OUTFILE]\n");
    return 2;
  }
  std::wstring path = argv[1];
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  static unsigned char chunk[CHUNK];
  const DWORD attributes = GetFileAttributesW(path.c_str());
  std::vector<std::wstring> files;
  if (threads > 0) listed = &files;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    walk(path, chunk, totals);
  } else if (listed != nullptr) {
    files.push_back(path);
  } else {
    digestFile(path, chunk, totals);
  }
  if (threads > 0) {
    std::atomic<std::size_t> next{0};
    std::vector<Totals> each(threads, totals);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        const std::unique_ptr<unsigned char[]> own(new unsigned char[CHUNK]);
        for (std::size_t i = next++; i < files.size(); i = next++) digestFile(files[i], own.get(), each[t]);
      });
    }
    for (std::thread& worker : workers) worker.join();
    for (const Totals& one : each) {
      totals.files += one.files;
      totals.bytes += one.bytes;
      totals.failures += one.failures;
      if (one.digest[0] != 0) std::memcpy(totals.digest, one.digest, sizeof totals.digest);
    }
  }
  FILE* out = argc > 2 ? _wfopen(argv[2], L"w") : stdout;
  if (!out) return 3;
  std::fprintf(out, "%llu %llu %s\n", totals.files, totals.bytes, totals.digest);
  if (out != stdout) std::fclose(out);
  return totals.failures ? 1 : 0;
}
