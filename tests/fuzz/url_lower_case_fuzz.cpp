// lowerCaseUrlPath on any bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "text/url_transform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path(reinterpret_cast<const char*>(data), size);
  std::string lowered = path;
  lowerCaseUrlPath(lowered);

  // Same length; A-Z outside double-byte characters become a-z and nothing
  // else changes, so a trail byte that looks like a capital stays.
  FUZZ_CHECK(lowered.size() == path.size());
  const std::vector<bool> trail = sjisTrailBytes(path);
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    const bool lowers = !trail[i] && c >= 'A' && c <= 'Z';
    FUZZ_CHECK(lowered[i] == (lowers ? static_cast<char>(c + ('a' - 'A')) : c));
  }

  // a-z are trail bytes as A-Z are and never lead bytes, so lowering moves
  // no character boundary and a second pass changes nothing.
  std::string again = lowered;
  lowerCaseUrlPath(again);
  FUZZ_CHECK(again == lowered);
  return 0;
}
