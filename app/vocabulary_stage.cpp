#include "app/job.h"
#include "settings/vocabulary.h"

void Job::buildOutputVocabulary() { ::buildOutputVocabulary(options); }
