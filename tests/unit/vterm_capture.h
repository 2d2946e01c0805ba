// An emulated terminal for in-process display tests: what the code under
// test writes to descriptor 1 (through the output buffer) is captured and
// fed into libvterm, so that tests look at cells, attributes and the cursor
// rather than at escape sequences.
//
// The test terminals are the descriptions in tests/data/terminfo;
// `use_test_terminal` makes one of them the pager's terminal by reading its
// description exactly as start-up does.
#ifndef VORN_VTERM_CAPTURE_H
#define VORN_VTERM_CAPTURE_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct VTerm;
struct VTermScreen;

struct emulated_screen {
    VTerm *vt = nullptr;
    VTermScreen *screen = nullptr;
    int rows = 0, cols = 0;
    bool utf8 = false;                      // decodes UTF-8, rows in UTF-8
    std::vector<std::string> scrolled_off;  // rows that left at the top

    // autowrap off emulates a terminal without automatic margins
    emulated_screen(int rows, int cols, bool autowrap = true, bool utf8 = false);
    ~emulated_screen();
    emulated_screen(const emulated_screen &) = delete;
    emulated_screen &operator=(const emulated_screen &) = delete;
};

// Bytes as the terminal driver passes them on: every newline becomes a
// carriage return and a newline, as with the pager's output settings.
void emu_feed(emulated_screen &emu, const std::string &bytes);

// Runs `action` with descriptor 1 captured, flushes the output buffer and
// feeds everything written into the emulator.
void emu_run(emulated_screen &emu, const std::function<void()> &action);

std::string emu_row(emulated_screen &emu, int row);     // right-trimmed
std::string emu_screen(emulated_screen &emu);           // rows, numbered
struct emu_attrs {
    bool bold, underline, reverse;
};
emu_attrs emu_attr(emulated_screen &emu, int row, int col);
std::pair<int, int> emu_cursor(emulated_screen &emu);  // row, column

// TERM becomes `name` (a terminal of tests/data/terminfo, or a system one)
// and its description is read; the size is the description's.
void use_test_terminal(const char *name);

#endif
