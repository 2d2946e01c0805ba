// The one orderly way out of paging mode, and the terminal put back as the
// program found it on the way.
//
// Owns whether the exit has a terminal to restore (set once paging mode
// starts touching it) and whether the lines of the last screen are to be
// written again after the terminal's end sequence.  Both are flags a
// signal arriving during the exit may read, so they are sig_atomic_t.
#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include "command.h"
#include "display/display.h"
#include "terminal/terminal.h"

namespace {

// Set once paging mode starts touching the terminal; until then there is
// nothing for finish_and_exit to restore.
volatile sig_atomic_t terminal_set_up;

// Set when the exit must write the lines of the screen again on the screen
// the terminal's end sequence returns to.
volatile sig_atomic_t paint_screen_after_end;

}  // namespace

void exit_restores_terminal()
{
    terminal_set_up = 1;
}

// The lines go out while the pager's terminal mode (with its newline
// translation) is still in force.  The flag is cleared first, so that an
// interrupt arriving meanwhile, which ends the program through here again,
// does not start over.
static void paint_screen_again()
{
    if (!paint_screen_after_end)
        return;
    paint_screen_after_end = 0;
    paint_rows_again();
    out_flush();
}

void restore_terminal()
{
    if (terminal_set_up) {
        // the screen was left already where the lines were written as cat
        // writes them
        if (terminal_is_set_up()) {
            cursor_lower_left();
            erase_to_eol();
            term_deinit();
            out_flush();
            paint_screen_again();
        }
        out_flush();
        set_tty_mode(0);
        repeat_held_messages();
    } else {
        out_flush();
    }
}

[[noreturn]] void finish_and_exit(int status)
{
    // A terminating signal must not restore the terminal a second time in
    // the middle of this.
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, nullptr);
    restore_terminal();
    // _exit: the interrupt handler ends the program through here, and every
    // byte for the screen went through our own buffer, flushed above.
    _exit(status);
}

// The program ends with the end of its input on the screen.  A terminal
// that keeps what was written keeps that screen; one whose end sequence
// leaves an alternate screen takes it away, and the user would be back at
// the shell without having seen the end of the text.  There the lines are
// written again, with their underline and bold, on the screen the terminal
// returns to, leaving the cursor below them as after cat.
[[noreturn]] void finish_at_end_of_input()
{
    // what the painting of that screen had to say comes first (a fatal
    // failure ends the program there, as a failure)
    report_messages();
    paint_screen_after_end = term_switches_screen();
    finish_and_exit();
}

// The whole input is on the program's first screen and its end ends the
// program: the screen is never used.  The lines are written once, from the
// cursor down, as cat would write them (with their underline and bold),
// and the program ends.  Painting them on the pager's screen first would
// show them twice on a terminal that ignores the switch to an alternate
// screen (the end writes them again).  The switch was sent at start-up,
// before the file was opened (its messages and those of the scripts may
// need the screen): the screen is left before anything is painted on it.
// The erase takes away a message the scripts left on a terminal that
// stayed on its one screen.
[[noreturn]] void finish_with_whole_input()
{
    report_messages();
    term_deinit();
    erase_to_eol();
    paint_whole_input();
    finish_and_exit();
}

