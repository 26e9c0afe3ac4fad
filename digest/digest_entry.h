#pragma once

#include <cstdint>

#include "digest/file_entry.h"

class Job;

// Bytes read and hashed at a time: large, so the file system can read ahead.
constexpr std::uint32_t DIGEST_CHUNK_SIZE = 0x20000;

// Reads the entry's file through a FileReader, hashes it and stores the
// separator of the chosen output form and the 32 hex digits in digestText.
// Reports the file on status line 2, advances the bar by 1 and then by each
// chunk's bytes, and polls the cancel flag at the start and after each chunk.
// A file that could not be read to its end gets no digits: digestText is
// "\t" in the tab form (the column stays) and empty in the bracketed forms.
void digestEntry(FileEntry& entry, Job& job);
