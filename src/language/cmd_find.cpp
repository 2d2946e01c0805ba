// Commands that find things: searches, marks and tags.
//
// Their arguments are parsed in full, as for every command.  The searches
// and the marks are not part of the program yet: with the condition flag
// set they fail with "NAME: not available" rather than pretend to have done
// something.  `search` keeps its one documented side effect, storing the
// sense of the search before the flag is looked at.
#include <cstring>

#include "command/command.h"
#include "commands.h"
#include "find/find.h"
#include "startup/startup.h"

static const char *cmd_search(int code, const char *pos);
static const char *cmd_mark(int code, const char *pos);
static const char *cmd_listbmarks(int code, const char *pos);
static const char *cmd_tag(int code, const char *pos);

const command_entry cmd_magicasksearch_entry = {"magicasksearch", CODE_MAGICASKSEARCH, cmd_search};
const command_entry cmd_search_entry = {"search", CODE_SEARCH, cmd_search};
const command_entry cmd_research_entry = {"research", CODE_RESEARCH, cmd_search};
const command_entry cmd_setmark_entry = {"setmark", CODE_SETMARK, cmd_mark};
const command_entry cmd_gomark_entry = {"gomark", CODE_GOMARK, cmd_mark};
const command_entry cmd_listbmarks_entry = {"listbmarks", CODE_LISTBMARKS, cmd_listbmarks};
const command_entry cmd_asktag_entry = {"asktag", CODE_ASKTAG, cmd_tag};
const command_entry cmd_nexttag_entry = {"nexttag", CODE_NEXTTAG, cmd_tag};
const command_entry cmd_prevtag_entry = {"prevtag", CODE_PREVTAG, cmd_tag};

// The longest tag name asktag reads is one less.
enum { TAG_NAME_SIZE = 100 };

// The sense word of `search`.  It is stored at once, whatever the condition
// flag, so that a later `research` uses it.  A rejected word fails the
// command and keeps the sense that was in force: a failed command must not
// leave a sense that is neither of the two.
static int parse_search_sense(const char **pos)
{
    int sense = choose_word(pos, 2, "noinvert", "invert");
    if (sense < 0)
        return -1;
    search_sense = sense;
    return 0;
}

static const char *cmd_search(int code, const char *pos)
{
    if (choose_word(&pos, 6, "forw", "back", "forward", "backward",
                    "forwards", "backwards") < 0)
        return nullptr;
    int64_t count;
    if (get_number(&count, &pos) != 0)
        return nullptr;
    if (code == CODE_SEARCH) {
        if (parse_search_sense(&pos) != 0 || next_arg(&pos) == nullptr)
            return nullptr;
    }
    if (!exec_flag)
        return pos;
    if (code == CODE_MAGICASKSEARCH)
        return command_not_available("magicasksearch");
    return command_not_available(code == CODE_SEARCH ? "search" : "research");
}

static const char *cmd_mark(int code, const char *pos)
{
    const char *mark = next_arg(&pos);
    if (mark == nullptr)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (strlen(mark) != 1) {
        set_error(ERR_COMMAND, "bad mark character");
        return nullptr;
    }
    return command_not_available(code == CODE_SETMARK ? "setmark" : "gomark");
}

static const char *cmd_listbmarks(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    return command_not_available("listbmarks");
}

// asktag, nexttag, prevtag: find the tag or step to it, then show its
// file at its place.  Without a current tag afterwards the command fails;
// the tag functions have shown why.
static const char *cmd_tag(int code, const char *pos)
{
    int64_t count = 0;
    if (code != CODE_ASKTAG && get_number(&count, &pos) != 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (code == CODE_ASKTAG) {
        char name[TAG_NAME_SIZE];
        if (read_line("Tag: ", name, sizeof name) != 0 || name[0] == '\0')
            return pos;
        find_tag(name);
    } else if (code == CODE_NEXTTAG) {
        next_tag(count);
    } else {
        prev_tag(count);
    }
    if (tag_file == nullptr)
        return nullptr;
    if (open_file(tag_file, 1))
        go_to_tag();
    return pos;
}
