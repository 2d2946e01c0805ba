// Placeholder rows: handlers not yet written.
#include "commands.h"

static const char *cmd_search(int code, const char *pos);
static const char *cmd_mark(int code, const char *pos);
static const char *cmd_listbmarks(int code, const char *pos);
static const char *cmd_tag(int code, const char *pos);

const command_entry cmd_magicasksearch_entry = {"magicasksearch", 28, cmd_search};
const command_entry cmd_search_entry = {"search", 29, cmd_search};
const command_entry cmd_research_entry = {"research", 30, cmd_search};
const command_entry cmd_setmark_entry = {"setmark", 31, cmd_mark};
const command_entry cmd_gomark_entry = {"gomark", 32, cmd_mark};
const command_entry cmd_listbmarks_entry = {"listbmarks", 33, cmd_listbmarks};
const command_entry cmd_asktag_entry = {"asktag", 34, cmd_tag};
const command_entry cmd_nexttag_entry = {"nexttag", 35, cmd_tag};
const command_entry cmd_prevtag_entry = {"prevtag", 36, cmd_tag};

static const char *cmd_search(int, const char *pos)
{
    return pos;
}

static const char *cmd_mark(int, const char *pos)
{
    return pos;
}

static const char *cmd_listbmarks(int, const char *pos)
{
    return pos;
}

static const char *cmd_tag(int, const char *pos)
{
    return pos;
}
