// Placeholder: not yet written.
#include <cstdlib>

#include "startup.h"

int long_prompt;
int show_prompt() { return {}; }
void set_prompt_style(int) {}
