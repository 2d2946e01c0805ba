// The search, mark and tag commands through the interpreter: every argument
// is parsed whatever the condition flag, the sense of `search` is stored
// before the flag is looked at, the mark commands succeed whatever the
// marks report (they show their own messages), the work that is not there
// yet fails honestly instead of passing for done, and a tag command without
// a current tag fails.  (What the searches do is shown in search_test.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "command/command.h"
#include "find/find.h"
#include "language/commands.h"
#include "language/language.h"
#include "language_test_util.h"
#include "startup/startup.h"
#include "terminal_fixture.h"

namespace {

struct find_case {
    const char *command;
    int flag;               // exec_flag while it runs
    int sense_before;
    int result;             // of run_command_string
    int sense_after;
    int code;               // pending error afterwards
    const char *text;       // its text ("" = none)
};

TEST(FindCommands, ArgumentsSenseAndAvailability)
{
    const find_case cases[] = {
        {"search forw 1 invert abc", 0, 0, 0, 1, ERR_NONE, ""},
        {"search back 2 noinvert abc", 0, 1, 0, 0, ERR_NONE, ""},
        {"search 3 1 3 abc", 0, 0, 0, 1, ERR_NONE, ""},
        {"search forw 1 maybe abc", 1, 1, -1, 1, ERR_BAD_WORD, ""},
        {"search forw 1 maybe abc", 0, 0, -1, 0, ERR_BAD_WORD, ""},
        {"search sideways 1 invert abc", 0, 0, -1, 0, ERR_BAD_WORD, ""},
        {"search forw x invert abc", 0, 0, -1, 0, ERR_ARITHMETIC, nullptr},
        {"research back 1", 0, 1, 0, 1, ERR_NONE, ""},
        {"research forw ${nosuch}", 0, 0, -1, 0, ERR_BAD_VARIABLE, "variable ``nosuch'' not set"},
        {"magicasksearch forward 1", 0, 0, 0, 0, ERR_NONE, ""},
        {"setmark ab", 1, 0, -1, 0, ERR_COMMAND, "bad mark character"},
        {"setmark ab", 0, 0, 0, 0, ERR_NONE, ""},
        {"gomark ''", 1, 0, -1, 0, ERR_COMMAND, "bad mark character"},
        {"setmark A", 1, 0, 0, 0, ERR_NONE, ""},
        {"gomark '1'", 1, 0, 0, 0, ERR_NONE, ""},
        {"gomark z", 1, 0, 0, 0, ERR_NONE, ""},
        {"listbmarks", 0, 0, 0, 0, ERR_NONE, ""},
        {"asktag", 0, 0, 0, 0, ERR_NONE, ""},
        {"prevtag 2", 0, 0, 0, 0, ERR_NONE, ""},
        // no current tag: the tag functions show their message themselves
        {"prevtag 2", 1, 0, -1, 0, ERR_NONE, ""},
        {"nexttag", 0, 0, -1, 0, ERR_ARITHMETIC, nullptr},
        {"help", 0, 0, 0, 0, ERR_NONE, ""},
        {"edit", 0, 0, 0, 0, ERR_NONE, ""},
    };
    for (const find_case &c : cases) {
        SCOPED_TRACE(std::string(c.command) + " with flag " + std::to_string(c.flag));
        reset_language_state();
        reset_tags();
        search_sense = c.sense_before;
        exec_flag = c.flag;
        int result = 0;
        capture_output([&] { result = run_command_string(c.command); });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(search_sense, c.sense_after);
        EXPECT_EQ(error_code, c.code);
        if (c.text != nullptr) {
            EXPECT_EQ(pending_text(), c.text);
        }
        EXPECT_EQ(exec_flag, c.flag);
    }
    reset_language_state();
}

}  // namespace
