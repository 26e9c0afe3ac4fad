#include "text/url_transform.h"

void urlEncode(std::string&) {}
void urlDecode(std::string&) {}
void lowerCaseUrlPath(std::string&) {}
