// The bare cost of walking a tree through the Win32 ANSI find API, as a
// yardstick for the program's own walk: tree_walk FOLDER [OUTFILE] searches
// "*" in every folder beneath FOLDER, counts the files and sums their sizes,
// and writes "FILES BYTES" to OUTFILE (or stdout). Nothing else is kept, so
// the time is the enumeration's alone; the sum keeps the sizes in use.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Totals {
  unsigned long long files = 0;
  unsigned long long bytes = 0;
  unsigned long long failures = 0;  // folders that could not be searched
};

void walk(std::string& path, Totals& totals) {
  const std::size_t length = path.size();
  path += "\\*";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  path.resize(length);
  if (search == INVALID_HANDLE_VALUE) {
    ++totals.failures;
    return;
  }
  do {
    const char* name = found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      path += '\\';
      path += name;
      walk(path, totals);
      path.resize(length);
    } else {
      ++totals.files;
      totals.bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tree_walk FOLDER [OUTFILE]\n");
    return 2;
  }
  std::string path = argv[1];
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  Totals totals;
  walk(path, totals);
  FILE* out = argc > 2 ? std::fopen(argv[2], "w") : stdout;
  if (!out) return 3;
  std::fprintf(out, "%llu %llu\n", totals.files, totals.bytes);
  if (out != stdout) std::fclose(out);
  return totals.failures ? 1 : 0;
}
