// The output line of one entry and the header of tab-separated output.
// Platform-free.
#pragma once

#include <cstddef>
#include <string>

#include "digest/file_entry.h"
#include "settings/output_options.h"

// "URL\tサイズ" with the optional date/time and MD5 columns, then CR LF.
std::string tabHeaderLine(const OutputOptions& options);
