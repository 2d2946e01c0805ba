// Placeholder: not yet written.
#include <cstdlib>

#include "language.h"

const char builtin_script[] = "";
