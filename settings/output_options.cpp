#include "settings/output_options.h"
