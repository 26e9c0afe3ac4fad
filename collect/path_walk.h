// File-system questions of the directory walk (Job::collectPath).
#pragma once

#include <string>

// True when the path's attributes can be read and name a folder; the ANSI
// form is asked about through its exact form.
bool isExistingDirectory(const std::wstring& exactPath);
bool isExistingDirectory(const std::string& path);
