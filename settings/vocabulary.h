#pragma once

#include "settings/output_options.h"

// Derives the fixed pieces of every output line from the final settings: the
// closing "/" of URLHead, the unit word with its leading blank, OpenText and
// CloseText; tab-separated output gets whole bytes and none of these.
void buildOutputVocabulary(OutputOptions& options);
