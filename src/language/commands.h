// The commands of the language: their codes, the shape of a table row and
// every handler.  The rows themselves are in command_rows.h.
#ifndef VORN_COMMANDS_H
#define VORN_COMMANDS_H

#include "language.h"

// The code of each command; a handler that serves several rows tells them
// apart by it.  Two names share a code: condition_toggle and condition_else.
enum command_code {
    CODE_DEFTOG = 0,
    CODE_EVAL = 1,
    CODE_SET = 2,
    CODE_MACRO = 3,
    CODE_ERROR = 4,
    CODE_CONDITION = 5,
    CODE_CONDITION_NOT = 6,
    CODE_CONDITION_TOGGLE = 7,   // also condition_else
    CODE_USERCOM = 8,
    CODE_READRC = 9,
    CODE_QUIT = 10,
    CODE_HELP = 11,
    CODE_FLUSH = 12,
    CODE_REPAINT = 13,
    CODE_FORW_SCROLL = 14,
    CODE_BACK_SCROLL = 15,
    CODE_FORW = 16,
    CODE_BACK = 17,
    CODE_LSCROLL = 18,   // lscroll comes before rscroll
    CODE_RSCROLL = 19,
    CODE_GOLINE = 20,
    CODE_GOPERCENT = 21,
    CODE_GOEND = 22,
    CODE_EDIT = 23,
    CODE_ASKFILE = 24,
    CODE_FILE = 25,
    CODE_FILE_LIST = 26,
    CODE_STAT = 27,
    CODE_MAGICASKSEARCH = 28,
    CODE_SEARCH = 29,
    CODE_RESEARCH = 30,
    CODE_SETMARK = 31,
    CODE_GOMARK = 32,
    CODE_LISTBMARKS = 33,
    CODE_ASKTAG = 34,
    CODE_NEXTTAG = 35,
    CODE_PREVTAG = 36,
    CODE_COLOUR = 37,
    CODE_HIGHLIGHT = 38,
    CODE_UTF8 = 39,
    CODE_FOLLOW = 40,
    CODE_FOLLOW_NAME = 41,
    CODE_FILTER = 42,
    CODE_ASKFILTER = 43,
    CODE_CHOP = 44,
    CODE_MOUSE = 45,
    CODE_NUMBERS = 46,
    CODE_SEARCHFILES = 47,
    CODE_HEADER = 48,
    CODE_DECOMPRESS = 49,
};

// A handler gets its code and the position just behind its name; it returns
// the position behind its arguments, or null when the command failed.
typedef const char *(*command_handler)(int code, const char *pos);
struct command_entry {
    const char *name;
    int code;
    command_handler handler;
};
// The table the interpreter searches, first row to last (cmdtable.cpp).
extern const command_entry *const command_table;
extern const int command_table_size;

// cmd_language.cpp: definitions, conditions and messages
const char *cmd_deftog(int code, const char *pos);
const char *cmd_eval(int code, const char *pos);
const char *cmd_set(int code, const char *pos);
const char *cmd_macro(int code, const char *pos);
const char *cmd_error(int code, const char *pos);
const char *cmd_condition(int code, const char *pos);

// cmd_session.cpp: the user's session: typed commands, scripts, quitting,
// help, editing, files, the prompt style and UTF-8 text
const char *cmd_usercom(int code, const char *pos);
const char *cmd_readrc(int code, const char *pos);
const char *cmd_quit(int code, const char *pos);
const char *cmd_help(int code, const char *pos);
const char *cmd_edit(int code, const char *pos);
const char *cmd_askfile(int code, const char *pos);
const char *cmd_file(int code, const char *pos);
const char *cmd_file_list(int code, const char *pos);
const char *cmd_stat(int code, const char *pos);
const char *cmd_utf8(int code, const char *pos);
const char *cmd_decompress(int code, const char *pos);

// cmd_move.cpp: repainting, scrolling and jumping
const char *cmd_repaint(int code, const char *pos);
const char *cmd_scroll(int code, const char *pos);
const char *chscroll(int code, const char *pos);
const char *cmd_goto(int code, const char *pos);
const char *cmd_chop(int code, const char *pos);
const char *cmd_goend(int code, const char *pos);

// cmd_find.cpp: searching, marks and tags; the sense of the last search
// (0: lines that match, 1: lines that do not) that `research` repeats
extern int search_sense;
void find_commands_reset();          // the search sense 0
const char *cmd_search(int code, const char *pos);
const char *cmd_mark(int code, const char *pos);
const char *cmd_listbmarks(int code, const char *pos);
const char *cmd_searchfiles(int code, const char *pos);
const char *cmd_tag(int code, const char *pos);

// cmd_filter.cpp: the filter, set from an argument or asked for
const char *cmd_filter(int code, const char *pos);
void filter_commands_reset();

// cmd_display.cpp: the look of the display: colours and highlighting
const char *cmd_colour(int code, const char *pos);
const char *cmd_mouse(int code, const char *pos);
const char *cmd_header(int code, const char *pos);

// cmd_follow.cpp: following growing input
const char *cmd_follow(int code, const char *pos);
const char *cmd_follow_name(int code, const char *pos);

// Helper shared by the command files (cmd_session.cpp): a count as the int
// the display and file operations take, clamped to the int range instead
// of cut to its low bits.
int count_to_int(int64_t count);

#endif
