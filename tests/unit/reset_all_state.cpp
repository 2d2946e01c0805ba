// reset_all_state: every file that owns process-wide state resets its own.
// Shared by the unit tests (before each test) and the fuzz targets (before
// each input), so it needs nothing of the test framework.
#include "state_reset.h"

#include "command/command.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"
#include "language/language.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

void reset_all_state()
{
    options_reset();
    filelist_reset();
    messages_reset();
    prompt_reset();
    command_reset();
    follow_reset();
    macro_reset();
    interpreter_reset();
    variables_reset();
    cache_reset();
    decompress_reset();
    line_reset();
    line_scan_reset();
    linenum_clear();
    pos_reset();
    scroll_reset();
    paint_reset();
    sgr_reset();
    out_discard();
    screen_reset();
    signals_reset();
    mouse_reset();
    search_reset();
    filter_reset();
    highlight_reset();
    reset_tags();
    reset_shell_state();
    init_marks();
    charset_reset();
}
