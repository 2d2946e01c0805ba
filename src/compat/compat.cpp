// Placeholder: not yet written.
#include "compat.h"
