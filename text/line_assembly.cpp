#include "text/line_assembly.h"

std::string tabHeaderLine(const OutputOptions&) { return "URL\tサイズ\r\n"; }
