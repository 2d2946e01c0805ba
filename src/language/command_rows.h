// The rows of the command table: the name, the code and the handler of
// every command, in the order the interpreter searches them.  This is the
// one list of the commands: adding a command is a row here and its handler
// (declared in commands.h, defined in the cmd_*.cpp file of its kind).
//
// The list is a header of its own so that two tables can be made of it:
// the one the interpreter searches (cmdtable.cpp), and the fuzz target's,
// which keeps every name and code and puts stand-ins in the handlers'
// place.  Each includer gets its own copy of this small constant array.
#ifndef VORN_COMMAND_ROWS_H
#define VORN_COMMAND_ROWS_H

#include "commands.h"

static const command_entry command_rows[] = {
    {"deftog", CODE_DEFTOG, cmd_deftog},
    {"eval", CODE_EVAL, cmd_eval},
    {"set", CODE_SET, cmd_set},
    {"macro", CODE_MACRO, cmd_macro},
    {"error", CODE_ERROR, cmd_error},
    {"condition", CODE_CONDITION, cmd_condition},
    {"condition_!", CODE_CONDITION_NOT, cmd_condition},
    {"condition_toggle", CODE_CONDITION_TOGGLE, cmd_condition},
    {"condition_else", CODE_CONDITION_TOGGLE, cmd_condition},
    {"usercom", CODE_USERCOM, cmd_usercom},
    {"readrc", CODE_READRC, cmd_readrc},
    {"quit", CODE_QUIT, cmd_quit},
    {"help", CODE_HELP, cmd_help},
    {"flush", CODE_FLUSH, cmd_repaint},
    {"repaint", CODE_REPAINT, cmd_repaint},
    {"forw_scroll", CODE_FORW_SCROLL, cmd_scroll},
    {"back_scroll", CODE_BACK_SCROLL, cmd_scroll},
    {"forw", CODE_FORW, cmd_scroll},
    {"back", CODE_BACK, cmd_scroll},
    {"rscroll", CODE_RSCROLL, chscroll},
    {"lscroll", CODE_LSCROLL, chscroll},
    {"goline", CODE_GOLINE, cmd_goto},
    {"gopercent", CODE_GOPERCENT, cmd_goto},
    {"goend", CODE_GOEND, cmd_goend},
    {"edit", CODE_EDIT, cmd_edit},
    {"askfile", CODE_ASKFILE, cmd_askfile},
    {"file", CODE_FILE, cmd_file},
    {"file_list", CODE_FILE_LIST, cmd_file_list},
    {"stat", CODE_STAT, cmd_stat},
    {"utf8", CODE_UTF8, cmd_utf8},
    {"magicasksearch", CODE_MAGICASKSEARCH, cmd_search},
    {"search", CODE_SEARCH, cmd_search},
    {"research", CODE_RESEARCH, cmd_search},
    {"setmark", CODE_SETMARK, cmd_mark},
    {"gomark", CODE_GOMARK, cmd_mark},
    {"listbmarks", CODE_LISTBMARKS, cmd_listbmarks},
    {"asktag", CODE_ASKTAG, cmd_tag},
    {"nexttag", CODE_NEXTTAG, cmd_tag},
    {"prevtag", CODE_PREVTAG, cmd_tag},
    {"colour", CODE_COLOUR, cmd_colour},
    {"highlight", CODE_HIGHLIGHT, cmd_colour},
    {"follow", CODE_FOLLOW, cmd_follow},
    {"follow_name", CODE_FOLLOW_NAME, cmd_follow_name},
    {"filter", CODE_FILTER, cmd_filter},
    {"askfilter", CODE_ASKFILTER, cmd_filter},
    {"chop", CODE_CHOP, cmd_chop},
    {"mouse", CODE_MOUSE, cmd_mouse},
    {"numbers", CODE_NUMBERS, cmd_colour},
    {"searchfiles", CODE_SEARCHFILES, cmd_searchfiles},
    {"header", CODE_HEADER, cmd_header},
    {"decompress", CODE_DECOMPRESS, cmd_decompress},
};

#endif
