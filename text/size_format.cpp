#include "text/size_format.h"

SizeScale makeSizeScale(std::int32_t) { return SizeScale{1, 0, 1.0, 0.5}; }
std::int64_t displayedCount(std::int64_t size, const SizeScale&) { return size; }
void formatNumber(char* destination, bool, std::int64_t, int) { destination[0] = '\0'; }
