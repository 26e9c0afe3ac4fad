// Order of the output: URL paths as collected, byte by byte, unsigned, no
// case folding and no locale; a path that is a prefix of another comes first.
#pragma once

#include <vector>

#include "collect/file_entry.h"

bool entryLess(const FileEntry& a, const FileEntry& b);

// In place and not stable: entries with equal paths end up in either order.
// Each entry is moved at most once.
void sortEntries(std::vector<FileEntry>& entries);
