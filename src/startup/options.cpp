// Placeholder: not yet written.
#include <cstdlib>

#include "startup.h"

int scan_options(int, char **) { return {}; }
[[noreturn]] void print_usage_and_exit() { abort(); }
void copy_to_stdout() {}
void copy_mode() {}
void paging_mode() {}
[[noreturn]] void finish_and_exit() { abort(); }
int vorn_main(int, char **) { return {}; }
const char *first_pattern;
int opt_clear, opt_stay_at_end, opt_ignore_case, opt_squeeze, opt_tag, opt_no_overstrike;
int show_line_numbers = 1;
int tab_width = 8;
void vorn_assert_fail(const char *, const char *, int, const char *) { abort(); }
