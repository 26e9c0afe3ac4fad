#include "settings/vocabulary.h"

void buildOutputVocabulary(OutputOptions&) {}
