// Placeholder rows: handlers not yet written.
#include "commands.h"

static const char *cmd_usercom(int code, const char *pos);
static const char *cmd_readrc(int code, const char *pos);
static const char *cmd_quit(int code, const char *pos);
static const char *cmd_help(int code, const char *pos);
static const char *cmd_edit(int code, const char *pos);
static const char *cmd_askfile(int code, const char *pos);
static const char *cmd_file(int code, const char *pos);
static const char *cmd_file_list(int code, const char *pos);
static const char *cmd_stat(int code, const char *pos);

const command_entry cmd_usercom_entry = {"usercom", 8, cmd_usercom};
const command_entry cmd_readrc_entry = {"readrc", 9, cmd_readrc};
const command_entry cmd_quit_entry = {"quit", 10, cmd_quit};
const command_entry cmd_help_entry = {"help", 11, cmd_help};
const command_entry cmd_edit_entry = {"edit", 23, cmd_edit};
const command_entry cmd_askfile_entry = {"askfile", 24, cmd_askfile};
const command_entry cmd_file_entry = {"file", 25, cmd_file};
const command_entry cmd_file_list_entry = {"file_list", 26, cmd_file_list};
const command_entry cmd_stat_entry = {"stat", 27, cmd_stat};

static const char *cmd_usercom(int, const char *pos)
{
    return pos;
}

static const char *cmd_readrc(int, const char *pos)
{
    return pos;
}

static const char *cmd_quit(int, const char *pos)
{
    return pos;
}

static const char *cmd_help(int, const char *pos)
{
    return pos;
}

static const char *cmd_edit(int, const char *pos)
{
    return pos;
}

static const char *cmd_askfile(int, const char *pos)
{
    return pos;
}

static const char *cmd_file(int, const char *pos)
{
    return pos;
}

static const char *cmd_file_list(int, const char *pos)
{
    return pos;
}

static const char *cmd_stat(int, const char *pos)
{
    return pos;
}
