// Placeholder: not yet written.
#include <cstdlib>

#include "terminal.h"

int keyboard_fd;
int read_interruptible(int, void *, int) { return {}; }
int get_key() { return {}; }
void install_signals(int) {}
void handle_pending_signals() {}
void winch(int) {}
volatile sig_atomic_t pending_signals;
