// Whether the volumes that hold some paths make a disk head seek between
// files. Asked of each volume once, with a handle that holds no access to
// it, which needs no administrator.
#pragma once

#include <string>
#include <vector>

#include "digest/digest_workers.h"

// The worst answer of the volumes that hold the paths (exact forms, as the
// command line gave them; relative ones are taken from the working folder).
SeekPenalty seekPenaltyOfVolumes(const std::vector<std::wstring>& paths);
