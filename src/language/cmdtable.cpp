// The command table: every command of the language, in the order the
// interpreter searches it.  The rows themselves live with their handlers.
#include "commands.h"

const command_entry *const command_table[] = {
    &cmd_deftog_entry,
    &cmd_eval_entry,
    &cmd_set_entry,
    &cmd_macro_entry,
    &cmd_error_entry,
    &cmd_condition_entry,
    &cmd_condition_not_entry,
    &cmd_condition_toggle_entry,
    &cmd_condition_else_entry,
    &cmd_usercom_entry,
    &cmd_readrc_entry,
    &cmd_quit_entry,
    &cmd_help_entry,
    &cmd_flush_entry,
    &cmd_repaint_entry,
    &cmd_forw_scroll_entry,
    &cmd_back_scroll_entry,
    &cmd_forw_entry,
    &cmd_back_entry,
    &cmd_rscroll_entry,
    &cmd_lscroll_entry,
    &cmd_goline_entry,
    &cmd_gopercent_entry,
    &cmd_goend_entry,
    &cmd_edit_entry,
    &cmd_askfile_entry,
    &cmd_file_entry,
    &cmd_file_list_entry,
    &cmd_stat_entry,
    &cmd_magicasksearch_entry,
    &cmd_search_entry,
    &cmd_research_entry,
    &cmd_setmark_entry,
    &cmd_gomark_entry,
    &cmd_listbmarks_entry,
    &cmd_asktag_entry,
    &cmd_nexttag_entry,
    &cmd_prevtag_entry,
    &cmd_colour_entry,
    &cmd_highlight_entry,
};

const int command_table_size =
    static_cast<int>(sizeof command_table / sizeof command_table[0]);
