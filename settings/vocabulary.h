// The output's fixed words, derived from the final settings once per run.
#pragma once

#include <cstddef>
#include <string>

#include "settings/output_options.h"

// Derives the fixed pieces of every output line from the final settings: the
// closing "/" of URLHead, the unit word with its leading blank, OpenText and
// CloseText; tab-separated output gets whole bytes and none of these.
void buildOutputVocabulary(OutputOptions& options);

// The texts that name the chosen digest (DigestAlgorithm).

// The longest digestText: "、SHA-256： " (twelve bytes) and 64 digits.
constexpr std::size_t LONGEST_DIGEST_TEXT_LENGTH = 12 + 64;

// Status line 1 of the digest pass.
const char* digestStageText(HashAlgorithm algorithm);

// What stands in front of the hex digits in the chosen output form: a tab
// in the tab form, else ", MD5: " or "、MD5： " (or the same with SHA-256).
std::string digestSeparator(const OutputOptions& options);
