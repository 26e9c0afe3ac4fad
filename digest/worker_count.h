// How many files the digest pass reads at once. Pure rules; the platform
// supplies the number of processors and what the volumes say of seeking.
#pragma once

// What the volumes a run reads from say of moving between files.
enum class SeekPenalty {
  None,      // solid-state: several files at once cost nothing extra
  Unknown,   // a network drive, older Windows or no answer: taken as none
  Incurred,  // a rotating disk: reading two files at once makes its head seek
};

// The worse of two answers: a run is as careful as its most seek-bound volume.
SeekPenalty worseSeekPenalty(SeekPenalty a, SeekPenalty b);

// Each worker holds a reader with its thread and buffers; beyond this many,
// more memory buys little on the machines the program runs on.
constexpr unsigned MOST_DIGEST_WORKERS = 8;

// The worker count for the DigestThreads setting (0 automatic, n at most
// n), the machine's logical processors and the volumes' answer: one file
// at a time on a rotating disk, else up to one per processor.
unsigned digestWorkerCount(unsigned digestThreads, unsigned processors, SeekPenalty penalty);
