// Placeholder: not yet written.
#include <cstdlib>

#include "find.h"

int search_pattern(int, const char *, int, int) { return {}; }
