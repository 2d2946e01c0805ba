// Placeholder: not yet written.
#include <cstdlib>

#include "language.h"

var_entry *var_list;
int set_variable(const char *, const char *) { return {}; }
int set_number_variable(const char *, int64_t) { return {}; }
const char *lookup_variable(const char *, size_t) { return {}; }
const char *expand_variable(const char **) { return {}; }
void settog(const char *, int, int, ...) {}
int get_number(int64_t *, const char **) { return {}; }
int choose_word(const char **, int, ...) { return {}; }
