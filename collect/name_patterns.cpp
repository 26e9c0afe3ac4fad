#include "collect/name_patterns.h"

std::vector<std::string> splitNamePatterns(const std::string& list) {
  std::vector<std::string> patterns;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) patterns.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return patterns;
}
