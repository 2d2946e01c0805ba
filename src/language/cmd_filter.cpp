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

// The top of a view that shows a line; -1 when it shows none.  The table
// says so (a line on the top row has an entry after it): looking for the
// line after it could walk a long way through hidden lines.
static file_pos shown_top()
{
    file_pos top = screen_pos(SCREEN_TOP);
    if (top == -1 || screen_pos(1) == -1)
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
    // The walk to the first shown line may be long (an endless pipe): the
    // interrupt key abandons it, the filter set and the screen as it was.
    // While a filter was set already, the command loop catches it.
    if (!was_active)
        catch_interrupt(1);
    show_view_from(top);
    bool none_shown = pending_signals == 0 && filter_active() && shown_top() == -1;
    if (pending_signals == 0 && none_shown)
        set_message("No line matches the filter %s", filter_expression());
    if (!was_active)
        catch_interrupt(0);
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
