// Commands of following growing input: `follow` watches the end of the
// current input; `follow_name` (on or off, with the toggle pair
// `_follow_name`: on 0, off 1) says whether a file replaced under its name
// is opened again by that name while following.
//
// A `follow` before the first screen (from an initialization script) asks
// for following from the first screen on, as -F does.
#include "command/command.h"
#include "commands.h"
#include "display/display.h"

const char *cmd_follow(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    if (screen_pos(SCREEN_TOP) == -1) {
        request_follow();
        return pos;
    }
    follow_input();
    return pos;
}

const char *cmd_follow_name(int, const char *pos)
{
    int state = choose_word(&pos, 2, "on", "off");
    if (state < 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    set_follow_by_name(state == 0);
    return pos;
}
