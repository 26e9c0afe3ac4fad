// File-system questions of the directory walk (Job::collectPath).
#pragma once

#include <string>

// True when the path's attributes can be read and name a folder.
bool isExistingDirectory(const std::string& path);
