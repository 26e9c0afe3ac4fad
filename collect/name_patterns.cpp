#include "collect/name_patterns.h"

namespace {

template <typename Char>
std::vector<std::basic_string<Char>> split(const std::basic_string<Char>& list) {
  std::vector<std::basic_string<Char>> patterns;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(Char(';'), start);
    if (end == std::basic_string<Char>::npos) end = list.size();
    if (end > start) patterns.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return patterns;
}

}  // namespace

std::vector<std::string> splitNamePatterns(const std::string& list) { return split(list); }

std::vector<std::wstring> splitNamePatterns(const std::wstring& list) { return split(list); }
