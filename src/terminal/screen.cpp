// The terminal: its modes, its description and every control sequence the
// display uses.
//
// Owns the saved terminal settings, the screen geometry, the terminal flags
// and attribute widths, the selected control sequences and the attribute
// state.  Invariants:
// - after read_termcap no sequence pointer is null: each points into
//   capability_area or at a constant literal;
// - capability_area is filled from its start by each read_termcap and never
//   written past its end: a string that does not fit is treated as absent
//   (its fallback applies) rather than cut, since half an escape sequence
//   would garble the screen;
// - nothing here writes to the terminal directly; every byte goes through
//   the output buffer (out_char_sink as the tputs sink), except the bytes
//   of the way back, which tputs puts into fixed buffers for restore.cpp.
//
// ncurses cannot take a description from a caller's buffer, so the
// fallback description "dumb:co#80:hc:" is answered by cap_num, cap_flag
// and cap_str themselves while using_fallback is set.
#include <signal.h>
#include <sys/ioctl.h>
#include <termcap.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "terminal.h"

// From <curses.h>, which cannot be included here: it declares a clear() of
// its own.  Switching the environment off keeps ncurses from replacing the
// description's li and co by LINES, COLUMNS, the window size or 24x80.
extern "C" void use_env(bool);

int screen_height = -1;
int screen_width;
int auto_margins;
int newline_glitch;
int retains_below;
int standout_width, standout_end_width;
int underline_width, underline_end_width;
int bold_width, bold_end_width;
int attr_state;
int tty_erase_char, tty_kill_char, tty_werase_char;

namespace {

enum { CAPABILITY_AREA_SIZE = 1024, QUERY_AREA_SIZE = 1024,
       DESCRIPTION_BUFFER_SIZE = 2048 };

struct termios saved_tty_settings;
// Restoring needs something to restore.  Read by a signal handler too.
volatile sig_atomic_t tty_settings_saved;
// Between term_init and term_deinit: the pager's screen is up.
volatile sig_atomic_t screen_set_up;
// The terminal is asked for wheel reports while the screen is up.
int mouse_wheel;
// The lower left is the start of the line below a text shorter than the
// screen, where painting left the cursor, not the bottom row.
volatile sig_atomic_t lower_left_is_below_text;

char capability_area[CAPABILITY_AREA_SIZE];
size_t capability_used;   // bytes of capability_area in use
char query_area[QUERY_AREA_SIZE];
bool using_fallback;      // no description: behave as "dumb:co#80:hc:"
bool description_loaded;  // the library holds the description of TERM

// The selected sequences (never null once initialised).
const char *seq_ti = "", *seq_te = "", *seq_ks = "", *seq_ke = "";
const char *seq_ce = "", *seq_cl = "\n\n", *seq_so = "", *seq_se = "";
const char *seq_us = "", *seq_ue = "", *seq_md = "", *seq_me = "";
const char *seq_ho = "|\b^", *seq_ll = "\r", *seq_al = "", *seq_bc = "\b";

const char HOME_FALLBACK[] = "|\b^";
const char LOWER_LEFT_FALLBACK[] = "\r";

// The sequences before any description is read: safe to send, since each
// is empty or plain text.
void default_sequences()
{
    seq_ti = seq_te = seq_ks = seq_ke = "";
    seq_ce = seq_so = seq_se = seq_us = seq_ue = seq_md = seq_me = "";
    seq_al = "";
    seq_cl = "\n\n";
    seq_ho = HOME_FALLBACK;
    seq_ll = LOWER_LEFT_FALLBACK;
    seq_bc = "\b";
}

// Loads the description of TERM (or "unknown"); on failure the fallback.
void load_description()
{
    const char *type = getenv("TERM");
    if (type == nullptr)
        type = "unknown";
    char description[DESCRIPTION_BUFFER_SIZE];
    use_env(false);
    using_fallback = tgetent(description, type) <= 0;
    description_loaded = true;
}

int cap_num(const char *id)
{
    if (using_fallback)
        return strcmp(id, "co") == 0 ? 80 : -1;
    return tgetnum(id);
}

int cap_flag(const char *id)
{
    if (using_fallback)
        return strcmp(id, "hc") == 0;
    return tgetflag(id) > 0;
}

// The library's own copy of a string capability, or null when absent.
const char *cap_str(const char *id)
{
    if (using_fallback)
        return nullptr;
    return tgetstr(id, nullptr);
}

bool is_empty(const char *text)
{
    return text == nullptr || *text == '\0';
}

// Copies text behind what capability_area holds; null when it does not fit.
const char *keep(const char *text)
{
    size_t size = strlen(text) + 1;
    if (size > sizeof capability_area - capability_used)
        return nullptr;
    char *kept = capability_area + capability_used;
    memcpy(kept, text, size);
    capability_used += size;
    return kept;
}

const char *read_string(const char *id)
{
    const char *text = cap_str(id);
    return text == nullptr ? nullptr : keep(text);
}

// Rows (or columns) of the window on descriptor 2, or 0 when unknown.
void window_size(int *rows, int *cols)
{
    struct winsize size {};
    *rows = *cols = 0;
    if (ioctl(2, TIOCGWINSZ, &size) == 0) {
        *rows = size.ws_row;
        *cols = size.ws_col;
    }
}

// Reads the size; returns whether the terminal counts as hard copy.
bool read_size()
{
    int rows, cols;
    window_size(&rows, &cols);
    screen_height = rows > 0 ? rows : cap_num("li");
    bool hard_copy = screen_height < 0 || cap_flag("hc");
    if (hard_copy)
        screen_height = 24;
    window_size(&rows, &cols);
    screen_width = cols > 0 ? cols : cap_num("co");
    if (screen_width < 0)
        screen_width = 80;
    return hard_copy;
}

void read_flags_and_widths()
{
    auto_margins = cap_flag("am");
    newline_glitch = cap_flag("xn");
    retains_below = cap_flag("db");
    int glitch = cap_num("sg");
    if (glitch < 0)
        glitch = 0;
    standout_width = standout_end_width = glitch;
    underline_width = underline_end_width = glitch;
    bold_width = bold_end_width = glitch;
}

// A sequence that stays as read: absent becomes empty.
const char *optional_string(const char *id)
{
    const char *text = read_string(id);
    return text == nullptr ? "" : text;
}

// A sequence a hard-copy terminal must not use: absent or empty (or hard
// copy) gives the replacement.
const char *screen_string(const char *id, bool hard_copy,
                          const char *replacement)
{
    const char *text = read_string(id);
    return hard_copy || is_empty(text) ? replacement : text;
}

// A cursor-motion position kept in the area; null when cm is empty or the
// result does not fit.
const char *motion_to(const char *cm, int col, int row)
{
    if (is_empty(cm))
        return nullptr;
    const char *motion = tgoto(cm, col, row);
    return motion == nullptr ? nullptr : keep(motion);
}

void read_attribute_strings(bool hard_copy)
{
    const char *text = read_string("so");
    seq_so = hard_copy || text == nullptr ? "" : text;
    text = read_string("se");
    seq_se = hard_copy || text == nullptr ? "" : text;
    text = read_string("us");
    seq_us = hard_copy || text == nullptr ? seq_so : text;
    text = read_string("ue");
    seq_ue = hard_copy || text == nullptr ? seq_se : text;
    text = read_string("md");
    if (hard_copy || text == nullptr) {
        seq_md = seq_so;
        seq_me = seq_se;
    } else {
        seq_md = text;
        text = read_string("me");
        seq_me = text == nullptr ? "" : text;
    }
}

void read_motion_strings(bool hard_copy, const char *cm)
{
    const char *text = read_string("ho");
    if (hard_copy || is_empty(text)) {
        text = motion_to(cm, 0, 0);
        seq_ho = text == nullptr ? HOME_FALLBACK : text;
    } else {
        seq_ho = text;
    }
    text = read_string("ll");
    if (hard_copy || is_empty(text)) {
        text = motion_to(cm, 0, screen_height - 1);
        seq_ll = text == nullptr ? LOWER_LEFT_FALLBACK : text;
    } else {
        seq_ll = text;
    }
    text = read_string("al");
    if (is_empty(text))
        text = read_string("sr");
    if (hard_copy || is_empty(text)) {
        seq_al = "";
    } else {
        seq_al = text;
    }
}

void read_strings(bool hard_copy)
{
    capability_used = 0;
    const char *pad = cap_str("pc");
    if (pad != nullptr)
        PC = pad[0];
    seq_ti = optional_string("ti");
    seq_te = optional_string("te");
    seq_ks = optional_string("ks");
    seq_ke = optional_string("ke");
    seq_ce = screen_string("ce", hard_copy, "");
    seq_cl = screen_string("cl", hard_copy, "\n\n");
    const char *cm = screen_string("cm", hard_copy, "");
    read_attribute_strings(hard_copy);
    read_motion_strings(hard_copy, cm);
    if (cap_flag("bs")) {
        seq_bc = "\b";
    } else {
        const char *text = read_string("bc");
        seq_bc = is_empty(text) ? "\b" : text;
    }
}

void send(const char *sequence, int affected_lines)
{
    tputs(sequence, affected_lines, out_char_sink);
}

// Where tputs writes while the sequences of the way back are prepared (its
// sink takes nothing but the character).
term_bytes *capture_target;
bool capture_overflowed;

int capture_sink(int c)
{
    if (capture_target->length < sizeof capture_target->bytes)
        capture_target->bytes[capture_target->length++] = static_cast<char>(c);
    else
        capture_overflowed = true;
    return c;
}

// Appends a sequence as tputs sends it, whole or not at all: half a
// sequence would garble what follows.
void capture(term_bytes *target, const char *sequence, int affected_lines)
{
    size_t before = target->length;
    capture_target = target;
    capture_overflowed = false;
    tputs(sequence, affected_lines, capture_sink);
    if (capture_overflowed)
        target->length = before;
}

void attributes_off()
{
    if (attr_state & ATTR_STANDOUT)
        standout_off();
    if (attr_state & ATTR_UNDERLINE)
        underline_off();
    if (attr_state & ATTR_BOLD)
        bold_off();
    if (attr_state & ATTR_STYLE)
        style_off();
}

}  // namespace

// Also the restore of a signal handler (on = 0): tcsetattr alone.  The
// settings are saved with every signal blocked, so that a handler never
// applies half of them.
//
// Entering again (after a stop, or after a child had the terminal) takes
// the settings found then as the ones to give back, so that an stty typed
// meanwhile is kept -- but only canonical ones.  A terminal found without
// line editing is in a program's own mode, not the user's: ours, when the
// job was continued before the stop was served, or the mode a child (a
// nested pager, an editor) left behind, or one a shell restored with a
// job's state taken while such a child had the terminal.  Taking that would
// leave the terminal raw when the pager ends, so the settings saved before
// are kept; the very first entry has nothing better and takes what it
// finds.
void set_tty_mode(int on)
{
    struct termios working;
    if (on) {
        // Without the current settings there is nothing sound to apply.
        if (tcgetattr(2, &working) != 0)
            return;
        if (tty_settings_saved && !(working.c_lflag & ICANON))
            working = saved_tty_settings;
        sigset_t all, previous;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &previous);
        saved_tty_settings = working;
        tty_settings_saved = 1;
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        tty_erase_char = working.c_cc[VERASE];
        tty_kill_char = working.c_cc[VKILL];
        tty_werase_char = working.c_cc[VWERASE];
        working.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE |
                                                  ECHOK | ECHONL);
        working.c_oflag |= OPOST | ONLCR;
        working.c_cc[VMIN] = 1;
        working.c_cc[VTIME] = 0;
    } else {
        // Leaving a mode never entered: an all-zero record would wreck the
        // terminal, so there is nothing to do.
        if (!tty_settings_saved)
            return;
        working = saved_tty_settings;
    }
    tcsetattr(2, TCSADRAIN, &working);
}

void screen_reset()
{
    screen_height = -1;
    screen_width = 0;
    auto_margins = newline_glitch = retains_below = 0;
    standout_width = standout_end_width = 0;
    underline_width = underline_end_width = 0;
    bold_width = bold_end_width = 0;
    attr_state = 0;
    tty_erase_char = tty_kill_char = tty_werase_char = 0;
    saved_tty_settings = {};
    tty_settings_saved = 0;
    screen_set_up = 0;
    mouse_wheel = 0;
    lower_left_is_below_text = 0;
    memset(capability_area, 0, sizeof capability_area);
    capability_used = 0;
    query_area[0] = '\0';
    using_fallback = false;
    description_loaded = false;
    default_sequences();
    style_reset();
}

void read_termcap()
{
    load_description();
    bool hard_copy = read_size();
    read_flags_and_widths();
    read_strings(hard_copy);
    read_style_capabilities(hard_copy);
    prepare_terminal_restore();
}

const char *term_kept_string(const char *id)
{
    const char *text = read_string(id);
    return is_empty(text) ? nullptr : text;
}

int term_number(const char *id)
{
    return cap_num(id);
}

int term_flag(const char *id)
{
    return cap_flag(id);
}

void term_send(const char *sequence)
{
    send(sequence, 1);
}

// The result area holds at most QUERY_AREA_SIZE - 1 bytes of a string
// capability; a longer one is cut there (it is text for the command
// language, not a sequence sent to the terminal).
//
// The description read at start-up (or at the last window change) answers:
// loading it again for every reference would cost a file read each time,
// and the library keeps a few bytes of every load for good.
const char *termcap_value(const char *name)
{
    if (!description_loaded)
        load_description();
    if (name == nullptr)
        name = "";
    const char *text = cap_str(name);
    if (!is_empty(text)) {
        snprintf(query_area, sizeof query_area, "%s", text);
        return query_area;
    }
    int number = cap_num(name);
    snprintf(query_area, sizeof query_area, "%d",
             number == -1 ? cap_flag(name) : number);
    return query_area;
}

int term_switches_screen()
{
    return seq_ti[0] != '\0';
}

// Mouse reporting is no capability of the description: these are the
// private modes that terminals which report the mouse share (button events,
// then the SGR form of the reports; a terminal without that form keeps the
// older one).  Sent only while the user asks for the wheel, since reporting
// takes the terminal's own selection away.
const char MOUSE_ON[] = "\033[?1000h\033[?1006h";
const char MOUSE_OFF[] = "\033[?1006l\033[?1000l";

void term_init()
{
    send(seq_ti, screen_height);
    send(seq_ks, 1);
    if (mouse_wheel)
        send(MOUSE_ON, 1);
    screen_set_up = 1;
}

void term_deinit()
{
    screen_set_up = 0;
    if (mouse_wheel)
        send(MOUSE_OFF, 1);
    send(seq_te, screen_height);
    send(seq_ke, 1);
}

void set_mouse_wheel(int on)
{
    on = on != 0;
    if (on == mouse_wheel)
        return;
    mouse_wheel = on;
    if (screen_set_up)
        send(on ? MOUSE_ON : MOUSE_OFF, 1);
    // a signal handler's way back must switch reporting off too (before the
    // description is read there is no way back yet: read_termcap makes it)
    if (screen_height != -1)
        prepare_terminal_restore();
}

int mouse_wheel_on()
{
    return mouse_wheel;
}

bool terminal_is_set_up()
{
    return screen_set_up != 0;
}

// What cursor_lower_left, erase_to_eol with every attribute on and
// term_deinit send, in that order.
void term_restore_sequences(term_bytes *lower_left, term_bytes *rest)
{
    lower_left->length = rest->length = 0;
    capture(lower_left, seq_ll, 1);
    capture(rest, seq_se, 1);
    capture(rest, seq_ue, 1);
    capture(rest, seq_me, 1);
    capture(rest, seq_ce, 1);
    if (mouse_wheel)
        capture(rest, MOUSE_OFF, 1);
    capture(rest, seq_te, screen_height);
    capture(rest, seq_ke, 1);
}

void set_lower_left_below_text(bool on)
{
    lower_left_is_below_text = on;
}

bool lower_left_below_text()
{
    return lower_left_is_below_text != 0;
}

void cursor_home()
{
    send(seq_ho, 1);
}

void cursor_lower_left()
{
    if (lower_left_is_below_text) {
        out_char('\r');
        out_flush();
    } else {
        send(seq_ll, 1);
    }
}

bool term_scrolls_back()
{
    return seq_al[0] != '\0';
}

bool term_repaints_rows()
{
    return seq_ho != HOME_FALLBACK && seq_ll != LOWER_LEFT_FALLBACK && seq_ce[0] != '\0';
}

void insert_line_top()
{
    send(seq_al, screen_height);
}

void ring_bell()
{
    out_char('\a');
}

void clear()
{
    attributes_off();
    send(seq_cl, screen_height);
}

void erase_to_eol()
{
    attributes_off();
    send(seq_ce, 1);
}

void note_attribute(int attribute, bool on)
{
    if (on)
        attr_state |= attribute;
    else
        attr_state &= ~attribute;
}

void standout_on()
{
    send(seq_so, 1);
    attr_state |= ATTR_STANDOUT;
}

void standout_off()
{
    send(seq_se, 1);
    attr_state &= ~ATTR_STANDOUT;
}

void underline_on()
{
    send(seq_us, 1);
    attr_state |= ATTR_UNDERLINE;
}

void underline_off()
{
    send(seq_ue, 1);
    attr_state &= ~ATTR_UNDERLINE;
}

void bold_on()
{
    send(seq_md, 1);
    attr_state |= ATTR_BOLD;
}

void bold_off()
{
    send(seq_me, 1);
    attr_state &= ~ATTR_BOLD;
}

void cursor_backspace()
{
    send(seq_bc, 1);
}

void erase_previous_char()
{
    send(seq_bc, 1);
    out_char(' ');
    send(seq_bc, 1);
}
