#include "digest/worker_count.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkerCount, FollowsTheSettingTheProcessorsAndTheDisks) {
  const struct {
    unsigned setting;
    unsigned processors;
    SeekPenalty penalty;
    unsigned workers;
  } cases[] = {
      {0, 2, SeekPenalty::None, 2},       // automatic: one per processor
      {0, 16, SeekPenalty::Unknown, 8},   // no answer counts as none; capped
      {0, 0, SeekPenalty::None, 1},       // a machine that reports nothing
      {1, 16, SeekPenalty::None, 1},      // one file at a time
      {4, 16, SeekPenalty::None, 4},      // at most n
      {4, 2, SeekPenalty::None, 2},       // and never more than automatic
      {100, 64, SeekPenalty::None, 8},
      {0, 16, SeekPenalty::Incurred, 1},  // a rotating disk never seeks between files
      {6, 16, SeekPenalty::Incurred, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(digestWorkerCount(c.setting, c.processors, c.penalty), c.workers)
        << c.setting << " " << c.processors << " " << static_cast<int>(c.penalty);
  }
  EXPECT_EQ(worseSeekPenalty(SeekPenalty::Unknown, SeekPenalty::Incurred), SeekPenalty::Incurred);
  EXPECT_EQ(worseSeekPenalty(SeekPenalty::None, SeekPenalty::Unknown), SeekPenalty::Unknown);
}

}  // namespace
