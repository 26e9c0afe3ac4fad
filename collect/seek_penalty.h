// Whether a volume makes a disk head seek between files. Asked with a
// handle that holds no access to the volume, which needs no administrator.
#pragma once

#include <windows.h>

#include "digest/worker_count.h"

// The answer of the volume that holds an opened file or folder: the volume
// it really lies on, whatever junction or mount point led there. Unknown
// for a volume that cannot say (a network share has no volume device).
SeekPenalty seekPenaltyOfVolume(HANDLE onVolume);
