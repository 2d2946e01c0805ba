// The way back from a signal: a handler gives the terminal back as the
// program found it, with async-signal-safe calls only (write, tcsetattr).
//
// Owns the prepared bytes of the way back and the text held for after it.
// The bytes are made by tputs in the main flow, after every read of the
// description, into the slot not in use; the slot in use switches only once
// the other is complete, so a handler never writes half-prepared bytes.
// The held text grows behind its length and is never rewritten in place.
#include <signal.h>

#include <cstring>

#include "terminal.h"

namespace {

term_bytes lower_left[2], rest[2];
volatile sig_atomic_t ready_slot = -1;   // -1: nothing prepared

char held_text[4096];
volatile sig_atomic_t held_length;

}  // namespace

void prepare_terminal_restore()
{
    int slot = ready_slot == 0 ? 1 : 0;
    term_restore_sequences(&lower_left[slot], &rest[slot]);
    ready_slot = slot;
}

void restore_terminal_from_signal()
{
    int slot = ready_slot;
    if (terminal_is_set_up() && slot >= 0) {
        if (lower_left_below_text())
            write_fully(1, "\r", 1);
        else
            write_fully(1, lower_left[slot].bytes, lower_left[slot].length);
        write_fully(1, rest[slot].bytes, rest[slot].length);
    }
    set_tty_mode(0);
    write_held_text();
}

void hold_after_restore(const char *line)
{
    size_t used = static_cast<size_t>(held_length);
    size_t length = strlen(line);
    if (length + 1 > sizeof held_text - used)
        return;
    memcpy(held_text + used, line, length);
    held_text[used + length] = '\n';
    held_length = static_cast<sig_atomic_t>(used + length + 1);
}

void release_held_text()
{
    held_length = 0;
}

void write_held_text()
{
    write_fully(2, held_text, static_cast<size_t>(held_length));
}
