// Commands of the display's look: the text's own colour sequences, the
// highlighting of search matches and the line-number column, each with an
// on/off word and a toggle pair that shows its state (`_colour`,
// `_highlight`, `_numbers`: on 0, off 1), as `stat` and `_statprompt` do
// for the prompt; and the mouse wheel, which the terminal reports only when
// asked (`_mouse`); and the header lines kept on top, a number (`_header`).
//
// A change shows at once on a screen that is already painted; from an
// initialization script, before the first screen, it simply holds for it.
#include "commands.h"
#include "display/display.h"
#include "find/find.h"
#include "terminal/terminal.h"

static void repaint_if_shown()
{
    if (screen_pos(SCREEN_TOP) != -1)
        repaint_screen();
}

// Every command: the word, then the setting and the screen.
const char *cmd_colour(int code, const char *pos)
{
    int state = choose_word(&pos, 2, "on", "off");
    if (state < 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (code == CODE_COLOUR) {
        set_show_colour(state == 0);
    } else if (code == CODE_NUMBERS) {
        set_number_column(state == 0);
    } else {
        set_highlight(state == 0);
    }
    repaint_if_shown();
    return pos;
}

// mouse on|off: whether the terminal reports the mouse wheel (-M), with
// the toggle pair `_mouse`.  Off by default: while it reports, the
// terminal's own selection of text is taken away.
const char *cmd_mouse(int, const char *pos)
{
    int state = choose_word(&pos, 2, "on", "off");
    if (state < 0)
        return nullptr;
    if (exec_flag)
        set_mouse_wheel(state == 0);
    return pos;
}

// header N: the first N text lines of the file stay on the top rows while
// the rest scrolls beneath them (-H); 0 takes the header away.
const char *cmd_header(int, const char *pos)
{
    int64_t count;
    if (get_number(&count, &pos) != 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    set_header_lines(count_to_int(count));
    repaint_if_shown();
    return pos;
}
