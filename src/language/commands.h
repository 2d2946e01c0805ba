// The rows of the command table, each defined by the file of its command.
#ifndef VORN_COMMANDS_H
#define VORN_COMMANDS_H

#include "language.h"

// cmd_language.cpp: definitions, conditions and messages
extern const command_entry cmd_deftog_entry;
extern const command_entry cmd_eval_entry;
extern const command_entry cmd_set_entry;
extern const command_entry cmd_macro_entry;
extern const command_entry cmd_error_entry;
extern const command_entry cmd_condition_entry;
extern const command_entry cmd_condition_not_entry;
extern const command_entry cmd_condition_toggle_entry;
extern const command_entry cmd_condition_else_entry;

// cmd_session.cpp: the user's session: typed commands, scripts, quitting,
// help, editing, files, the prompt style and UTF-8 text
extern const command_entry cmd_usercom_entry;
extern const command_entry cmd_readrc_entry;
extern const command_entry cmd_quit_entry;
extern const command_entry cmd_help_entry;
extern const command_entry cmd_edit_entry;
extern const command_entry cmd_askfile_entry;
extern const command_entry cmd_file_entry;
extern const command_entry cmd_file_list_entry;
extern const command_entry cmd_stat_entry;
extern const command_entry cmd_utf8_entry;

// cmd_move.cpp: repainting, scrolling and jumping
extern const command_entry cmd_flush_entry;
extern const command_entry cmd_repaint_entry;
extern const command_entry cmd_forw_scroll_entry;
extern const command_entry cmd_back_scroll_entry;
extern const command_entry cmd_forw_entry;
extern const command_entry cmd_back_entry;
extern const command_entry cmd_rscroll_entry;
extern const command_entry cmd_lscroll_entry;
extern const command_entry cmd_goline_entry;
extern const command_entry cmd_gopercent_entry;
extern const command_entry cmd_goend_entry;

// cmd_find.cpp: searching, marks and tags
extern const command_entry cmd_magicasksearch_entry;
extern const command_entry cmd_search_entry;
extern const command_entry cmd_research_entry;
extern const command_entry cmd_setmark_entry;
extern const command_entry cmd_gomark_entry;
extern const command_entry cmd_listbmarks_entry;
extern const command_entry cmd_asktag_entry;
extern const command_entry cmd_nexttag_entry;
extern const command_entry cmd_prevtag_entry;

// cmd_display.cpp: the look of the display: colours and highlighting
extern const command_entry cmd_colour_entry;
extern const command_entry cmd_highlight_entry;

// cmd_follow.cpp: following growing input
extern const command_entry cmd_follow_entry;
extern const command_entry cmd_follow_name_entry;

// Helpers shared by the command files (cmd_session.cpp)
// A count as the int the display and file operations take, clamped to the
// int range instead of cut to its low bits.
int count_to_int(int64_t count);
// Fails a command whose work is not part of this program yet: code 15 with
// "NAME: not available"; returns null, the handler's failure.
const char *command_not_available(const char *name);

#endif
