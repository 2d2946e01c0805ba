// The commands of the filter: `filter EXPRESSION` (an empty one clears it)
// and `askfilter`, which asks for the expression on the bottom line.
//
// Setting or clearing a filter shows the view again at once: the first shown
// line at or after the line that was on top.  Clearing brings back the
// whole text with the top line of the filtered view on top; when the
// filtered view showed no line at all, with the line that was on top before
// the filter was set.  From an initialization script, before the first
// screen, the filter simply holds for it.
//
// Owned here: the top line of the view before the filter was set.
#include "command/command.h"
#include "commands.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"

// A typed expression holds at most 99 characters.
enum { TYPED_FILTER_SIZE = 100 };

static file_pos top_before_filter = -1;

// The top of a view that shows a line; -1 when it shows none.
static file_pos shown_top()
{
    file_pos top = screen_pos(SCREEN_TOP);
    if (top == -1 || next_display_line(top) == -1)
        return -1;
    return top;
}

static void apply_filter(const char *expression)
{
    bool was_active = filter_active();
    file_pos top = shown_top();
    if (!was_active)
        top_before_filter = top;
    if (!set_filter(expression))
        return;
    if (screen_pos(SCREEN_TOP) == -1)
        return;     // the first screen is still to come
    if (top == -1)
        top = top_before_filter != -1 ? top_before_filter : 0;
    show_view_from(top);
    if (pending_signals != 0)
        return;
    if (filter_active() && shown_top() == -1)
        set_message("No line matches the filter %s", filter_expression());
}

const char *cmd_filter(int code, const char *pos)
{
    const char *expression = "";
    if (code == CODE_FILTER && (expression = next_arg(&pos)) == nullptr)
        return nullptr;
    if (!exec_flag)
        return pos;
    char typed[TYPED_FILTER_SIZE];
    if (code == CODE_ASKFILTER) {
        if (read_line("Filter: &", typed, sizeof typed) != 0)
            return pos;
        expression = typed;
    }
    apply_filter(expression);
    return pos;
}

void filter_commands_reset()
{
    top_before_filter = -1;
}
