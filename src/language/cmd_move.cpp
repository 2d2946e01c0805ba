// Placeholder rows: handlers not yet written.
#include "commands.h"

static const char *cmd_repaint(int code, const char *pos);
static const char *cmd_scroll(int code, const char *pos);
static const char *chscroll(int code, const char *pos);
static const char *cmd_goto(int code, const char *pos);
static const char *cmd_goend(int code, const char *pos);

const command_entry cmd_flush_entry = {"flush", 12, cmd_repaint};
const command_entry cmd_repaint_entry = {"repaint", 13, cmd_repaint};
const command_entry cmd_forw_scroll_entry = {"forw_scroll", 14, cmd_scroll};
const command_entry cmd_back_scroll_entry = {"back_scroll", 15, cmd_scroll};
const command_entry cmd_forw_entry = {"forw", 16, cmd_scroll};
const command_entry cmd_back_entry = {"back", 17, cmd_scroll};
const command_entry cmd_rscroll_entry = {"rscroll", 19, chscroll};
const command_entry cmd_lscroll_entry = {"lscroll", 18, chscroll};
const command_entry cmd_goline_entry = {"goline", 20, cmd_goto};
const command_entry cmd_gopercent_entry = {"gopercent", 21, cmd_goto};
const command_entry cmd_goend_entry = {"goend", 22, cmd_goend};

static const char *cmd_repaint(int, const char *pos)
{
    return pos;
}

static const char *cmd_scroll(int, const char *pos)
{
    return pos;
}

static const char *chscroll(int, const char *pos)
{
    return pos;
}

static const char *cmd_goto(int, const char *pos)
{
    return pos;
}

static const char *cmd_goend(int, const char *pos)
{
    return pos;
}
