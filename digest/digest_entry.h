#pragma once

#include "digest/file_entry.h"

class Job;

// Reads the entry's file through a FileReader, hashes it and stores the
// separator of the chosen output form and the 32 hex digits in digestText.
// Reports the file on status line 2, advances the bar by 1 and then by each
// chunk's bytes, and polls the cancel flag at the start and after each chunk.
void digestEntry(FileEntry& entry, Job& job);
