// Commands that move the view: repainting, scrolling by lines and pages,
// horizontal scrolling and the view files open with, and jumps to a line, a percentage or the end.
//
// The handlers are thin: they parse their count and hand it to the display.
// Horizontal scrolling keeps the display's invariant that `horiz_off` is 0
// while lines wrap (`_curhscroll` and the `_wraplines` toggle show the
// state as it is whenever they are looked up).
#include <climits>
#include <cstdint>

#include "command/command.h"
#include "commands.h"
#include "display/display.h"
#include "file/file.h"

// lscroll: back towards column 0, and from there to wrapped lines.  The
// count is bounded first so that the subtraction cannot overflow; a result
// beyond the int range stops at its top, as a right scroll does.
static void scroll_left(int64_t count)
{
    if (horiz_off <= 0) {
        set_horizontal_view(horiz_off, 1);
        return;
    }
    if (count > INT_MAX)
        count = INT_MAX;
    else if (count < -static_cast<int64_t>(INT_MAX))
        count = -static_cast<int64_t>(INT_MAX);
    int64_t offset = horiz_off - count;
    set_horizontal_view(offset < 0 ? 0 : offset > INT_MAX ? INT_MAX : static_cast<int>(offset),
                        wrap_lines);
}

// rscroll without wrapping: the offset grows in 32-bit arithmetic, and a
// sum that wraps below 0 stays at the top.  The count is bounded to the int
// range first: cut to its low 32 bits, a huge step right could turn into a
// step left.
static void scroll_right(int64_t count)
{
    uint32_t sum = static_cast<uint32_t>(horiz_off) +
                   static_cast<uint32_t>(count_to_int(count));
    int32_t offset = static_cast<int32_t>(sum);
    set_horizontal_view(offset < 0 ? INT32_MAX : offset, wrap_lines);
}

const char *cmd_repaint(int code, const char *pos)
{
    if (!exec_flag)
        return pos;
    if (code == CODE_FLUSH && !pipe_mode) {
        cache_init(0);      // read the file anew
        linenum_clear();
    }
    repaint_screen();
    return pos;
}

const char *cmd_scroll(int code, const char *pos)
{
    int64_t count;
    if (get_number(&count, &pos) != 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    int lines = count_to_int(count);
    int paging = code == CODE_FORW || code == CODE_BACK;
    if (code == CODE_FORW_SCROLL || code == CODE_FORW) {
        if (!scroll_forward(lines, paging))
            next_file(1);
    } else
        scroll_backward(lines, paging);
    return pos;
}

const char *chscroll(int code, const char *pos)
{
    int64_t count;
    if (get_number(&count, &pos) != 0)
        return nullptr;
    if (!exec_flag || count == 0)
        return pos;
    if (code == CODE_LSCROLL) {
        scroll_left(count);
        repaint_screen();
    } else if (wrap_lines == 1) {
        // The first rscroll only stops the wrapping.
        VORN_ASSERT(horiz_off == 0);
        set_horizontal_view(0, 0);
        repaint_unwrapped();
    } else {
        scroll_right(count);
        repaint_screen();
    }
    return pos;
}

// chop on|off: whether files open with long lines cut at the right edge
// (-S).  The view on the screen follows at once, as the first right scroll
// and the left scroll past column 0 would change it; a view already cut
// and scrolled right stays where it is.
const char *cmd_chop(int, const char *pos)
{
    int state = choose_word(&pos, 2, "on", "off");
    if (state < 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    set_start_chopped(state == 0);
    bool shown = screen_pos(SCREEN_TOP) != -1;
    if (state == 0 && wrap_lines == 1) {
        set_horizontal_view(0, 0);
        if (shown)
            repaint_unwrapped();
    } else if (state == 1 && wrap_lines == 0) {
        set_horizontal_view(0, 1);
        if (shown)
            repaint_screen();
    }
    return pos;
}

const char *cmd_goto(int code, const char *pos)
{
    int64_t target;
    if (get_number(&target, &pos) != 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (code == CODE_GOLINE) {
        jump_line(count_to_int(target));
        return pos;
    }
    jump_percent(target > 100 ? 100 : count_to_int(target));
    return pos;
}

const char *cmd_goend(int, const char *pos)
{
    if (exec_flag)
        jump_end();
    return pos;
}
