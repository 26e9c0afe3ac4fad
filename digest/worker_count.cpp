#include "digest/worker_count.h"

#include <algorithm>

SeekPenalty worseSeekPenalty(SeekPenalty a, SeekPenalty b) {
  return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

unsigned digestWorkerCount(unsigned digestThreads, unsigned processors, SeekPenalty penalty) {
  if (penalty == SeekPenalty::Incurred) return 1;
  const unsigned automatic = std::clamp(processors, 1u, MOST_DIGEST_WORKERS);
  return digestThreads == 0 ? automatic : std::min(digestThreads, automatic);
}
