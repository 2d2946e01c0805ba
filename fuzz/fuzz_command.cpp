// Fuzz target: run_command_string on arbitrary bytes, then every macro the
// input bound, as if its keys had been typed.
//
// The fuzz process must never exit, block on the keyboard, open arbitrary
// files or start programs, yet the interpreter should meet the same command
// names as in the pager so that the table lookup, the separators and the
// recovery from unknown commands are exercised as they really run.  This
// file therefore defines command_table itself (the linker then leaves the
// pager's table out of the program), with the name and code of every row
// of the pager's table in its order, taken from the rows it is made of
// (command_rows.h).  The
// language's own commands (deftog, eval, set, macro and the conditions)
// run their real handlers; every other row gets a stand-in that parses the
// same kinds of argument as the real command (numbers, strings, words) and
// does nothing else.  So `quit` never
// reaches finish_and_exit, `usercom` and the prompting commands never read
// a key, `error` never waits for one, and `help`, `edit` and `readrc` touch
// no file.  Standard output goes to /dev/null: the interpreter moves the
// cursor and flushes the output buffer before every command.
//
// The language can recurse in breadth as well as in depth: a string that
// evaluates itself twice runs 2^127 commands before the argument stack
// stops each chain.  In the pager the interrupt key ends such a run; here
// every input gets a budget of commands, and a command beyond it fails as
// if it had failed by itself, which unwinds every level at once.
//
// The whole process-wide state (the language's, the terminal's, every
// other file's) is reset before every input, with the reset the unit tests
// use, so that each run is reproducible on its own and memory does not grow
// across runs; after every run the argument-string stack must be empty
// again.  The terminal description is then read again only by an input
// that asks for a capability.
//
// Run: make fuzz, then
//   build-fuzz/fuzz/fuzz_command -dict=fuzz/command.dict CORPUS fuzz/corpus/command
// with CORPUS a scratch directory for what the fuzzer finds.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "command/command.h"
#include "language/command_rows.h"
#include "language/language.h"
#include "state_reset.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

namespace {

// The kinds of argument a stand-in parses, one letter each: n a number,
// s a string, o on/off, f a file direction, d a search direction, v a
// search sense.
const char *argument_kinds(int code)
{
    switch (code) {
    case CODE_ERROR: case CODE_READRC: case CODE_SETMARK: case CODE_GOMARK:
        return "s";
    case CODE_FORW_SCROLL: case CODE_BACK_SCROLL: case CODE_FORW:
    case CODE_BACK: case CODE_LSCROLL: case CODE_RSCROLL: case CODE_GOLINE:
    case CODE_GOPERCENT: case CODE_NEXTTAG: case CODE_PREVTAG: case CODE_HEADER:
        return "n";
    case CODE_FILE:
        return "fn";
    case CODE_STAT: case CODE_COLOUR: case CODE_HIGHLIGHT: case CODE_UTF8:
    case CODE_FOLLOW_NAME: case CODE_CHOP: case CODE_NUMBERS:
    case CODE_SEARCHFILES: case CODE_DECOMPRESS:
        return "o";
    case CODE_MAGICASKSEARCH: case CODE_RESEARCH:
        return "dn";
    case CODE_SEARCH:
        return "dnvs";
    default:
        return "";
    }
}

bool parse_argument(char kind, const char **pos)
{
    int64_t number;
    switch (kind) {
    case 'n':
        return get_number(&number, pos) == 0;
    case 's':
        return next_arg(pos) != nullptr;
    case 'o':
        return choose_word(pos, 2, "on", "off") >= 0;
    case 'f':
        return choose_word(pos, 10, "next", "previous", "forward", "backward",
                           "forwards", "backwards", "next", "prev", "forw",
                           "back") >= 0;
    case 'd':
        return choose_word(pos, 6, "forw", "back", "forward", "backward",
                           "forwards", "backwards") >= 0;
    default:
        return choose_word(pos, 2, "noinvert", "invert") >= 0;
    }
}

const char *parse_only(int code, const char *pos)
{
    for (const char *kind = argument_kinds(code); *kind; ++kind) {
        if (!parse_argument(*kind, &pos))
            return nullptr;
    }
    return pos;
}

// The handler a row stands for: the real one for the language's own
// commands, the parsing stand-in for the others.
command_handler handler_for(int code)
{
    switch (code) {
    case CODE_DEFTOG:
        return cmd_deftog;
    case CODE_EVAL:
        return cmd_eval;
    case CODE_SET:
        return cmd_set;
    case CODE_MACRO:
        return cmd_macro;
    case CODE_CONDITION: case CODE_CONDITION_NOT: case CODE_CONDITION_TOGGLE:
        return cmd_condition;
    default:
        return parse_only;
    }
}

enum { COMMAND_BUDGET = 4096 };
int commands_left;

const char *budgeted(int code, const char *pos)
{
    if (commands_left <= 0)
        return nullptr;
    --commands_left;
    return handler_for(code)(code, pos);
}

// The pager's rows in their order, each with the name and code of the real
// row and the budgeted stand-in as its handler (filled in at start).
const int ROW_COUNT = sizeof command_rows / sizeof command_rows[0];

command_entry rows[ROW_COUNT];

void check_stack_released()
{
    if (arg_stack_mark() != 0)
        abort();
}

// Runs the first few macros the input bound, with and without a count.
void run_bound_macros()
{
    const int bound = macro_count < 8 ? macro_count : 8;
    for (int i = 0; i < bound; ++i) {
        char *keys = strdup(macro_table[i].macro);
        if (!keys)
            return;
        if (keys[0] != '\0')
            runmacro(keys, i, i & 1);
        free(keys);
        check_stack_released();
    }
}

}  // namespace

const command_entry *const command_table = rows;
const int command_table_size = ROW_COUNT;

// The terminal library keeps a few bytes of every description it loads
// that it never frees.  That is the library's, not the language's.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libtinfo.so\n";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        dup2(null_fd, 1);
        close(null_fd);
    }
    setenv("TERM", "xterm", 1);
    for (int i = 0; i < ROW_COUNT; ++i)
        rows[i] = {command_rows[i].name, command_rows[i].code, budgeted};
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *text = static_cast<char *>(malloc(size + 1));
    if (!text)
        return 0;
    memcpy(text, data, size);
    text[size] = '\0';
    reset_all_state();
    commands_left = COMMAND_BUDGET;
    run_command_string(text);
    check_stack_released();
    run_bound_macros();
    free(text);
    reset_all_state();
    return 0;
}
