// The macro table: matching typed keys, the number a run sees, binding and
// rebinding, and the results of runmacro.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "language_test_util.h"

namespace {

class Macros : public ::testing::Test {
protected:
    void SetUp() override { reset_language_state(); }
    void TearDown() override { reset_language_state(); }

    static void bind(const char *keys, const char *command, int64_t number)
    {
        ASSERT_EQ(setmacro(keys, command), 0);
        ASSERT_EQ(set_macro_number(keys, number), 0);
    }
};

TEST_F(Macros, NoMacroAtAll)
{
    EXPECT_EQ(runmacro("x", 0, 0), MACRO_UNBOUND);
    EXPECT_EQ(error_code, ERR_NO_MACRO);
    EXPECT_EQ(error_text, nullptr);
}

TEST_F(Macros, TypedKeysAgainstTheTable)
{
    bind(":q", "set ran colon-q", 0);
    bind("gg", "set ran gg", 0);
    bind("z", "set ran z", 0);
    ASSERT_EQ(setmacro("g", "set ran g"), 0);   // begins gg: never runs
    struct keys_case {
        const char *keys;
        int result;
        int code;
        const char *ran;
    };
    const std::vector<keys_case> cases = {
        {":", MACRO_PREFIX, ERR_NONE, "none"},
        {":q", MACRO_RAN, ERR_NONE, "colon-q"},
        {":x", MACRO_UNBOUND, ERR_NO_MACRO, "none"},
        {":qq", MACRO_UNBOUND, ERR_NO_MACRO, "none"},
        {"g", MACRO_AMBIGUOUS, ERR_AMBIGUOUS_MACRO, "none"},
        {"gg", MACRO_RAN, ERR_NONE, "gg"},
        {"z", MACRO_RAN, ERR_NONE, "z"},
        {"Z", MACRO_UNBOUND, ERR_NO_MACRO, "none"},
    };
    for (const keys_case &c : cases) {
        SCOPED_TRACE(c.keys);
        ASSERT_EQ(run_command_string("set ran none"), 0);
        clear_error();
        EXPECT_EQ(runmacro(c.keys, 0, 0), c.result);
        EXPECT_EQ(error_code, c.code);
        EXPECT_EQ(error_text, nullptr);
        EXPECT_EQ(variable_value("ran"), c.ran);
    }
}

TEST_F(Macros, FindMacroAndItsNumber)
{
    bind("gg", "x", 0);
    bind("a", "y", 0);
    EXPECT_EQ(find_macro("a"), &macro_table[1]);
    EXPECT_EQ(find_macro("b"), nullptr);
    EXPECT_EQ(error_code, ERR_NONE);
    EXPECT_EQ(find_macro("g"), nullptr);
    EXPECT_EQ(error_code, ERR_AMBIGUOUS_MACRO);
    clear_error();
    EXPECT_EQ(set_macro_number("b", 3), -1);
    EXPECT_EQ(set_macro_number("a", -3), 0);
    EXPECT_EQ(macro_table[1].number, -3);
}

TEST_F(Macros, TypedCountIsForOneRunOnly)
{
    bind("j", "set seen ${number}", 1);
    struct run_case {
        int64_t number;
        int have_number;
        const char *seen;
    };
    for (run_case c : {run_case{0, 0, "1"}, run_case{5, 1, "5"},
                       run_case{77, 0, "1"}, run_case{0, 1, "0"}}) {
        SCOPED_TRACE(c.seen);
        EXPECT_EQ(runmacro("j", c.number, c.have_number), MACRO_RAN);
        EXPECT_EQ(variable_value("seen"), c.seen);
        EXPECT_EQ(variable_value("number"), c.seen);
    }
    EXPECT_EQ(macro_table[0].number, 1);
}

TEST_F(Macros, RebindingKeepsOneEntry)
{
    ASSERT_EQ(run_command_string("macro 1 k 'set v first'"), 0);
    ASSERT_EQ(run_command_string("macro 9 k 'set v second'"), 0);
    ASSERT_EQ(macro_count, 1);
    EXPECT_EQ(std::string(macro_table[0].command), "set v second");
    EXPECT_EQ(macro_table[0].number, 9);
    // setmacro alone keeps the number an existing entry had.
    ASSERT_EQ(setmacro("k", "set v third"), 0);
    EXPECT_EQ(macro_table[0].number, 9);
    EXPECT_EQ(runmacro("k", 0, 0), MACRO_RAN);
    EXPECT_EQ(variable_value("v"), "third");
}

TEST_F(Macros, FailingCommandStringFailsTheMacro)
{
    bind("u", "set a 1; nosuch; set b 2", 0);
    set_error(ERR_BAD_VARIABLE, "stale");
    EXPECT_EQ(runmacro("u", 0, 0), MACRO_FAILED);
    EXPECT_EQ(error_code, ERR_BOGUS_COMMAND);
    EXPECT_EQ(pending_text(), "invalid command: ``nosuch; set b 2''");
    EXPECT_EQ(variable_value("a"), "1");
    EXPECT_EQ(variable_value("b"), "<unset>");
    EXPECT_EQ(arg_stack_mark(), 0);

    // A succeeding run clears what was pending before it.
    bind("w", "set c 3", 0);
    set_error(ERR_BAD_VARIABLE, "stale");
    EXPECT_EQ(runmacro("w", 0, 0), MACRO_RAN);
    EXPECT_EQ(error_code, ERR_NONE);
    EXPECT_EQ(error_text, nullptr);
}

// The running command string rebinds its own keys: the rest of the run
// must still come from the text as it was when the run began.
TEST_F(Macros, MacroThatRebindsItselfFinishesItsOldText)
{
    bind("r",
         "macro 0 r 'set z changed; set z changed-again'; "
         "set z original; set tail reached",
         0);
    EXPECT_EQ(runmacro("r", 0, 0), MACRO_RAN);
    EXPECT_EQ(variable_value("z"), "original");
    EXPECT_EQ(variable_value("tail"), "reached");
    EXPECT_EQ(runmacro("r", 0, 0), MACRO_RAN);
    EXPECT_EQ(variable_value("z"), "changed-again");
    EXPECT_EQ(arg_stack_mark(), 0);
}

TEST_F(Macros, NullArgumentsAreAFatalAssertion)
{
    EXPECT_DEATH(setmacro(nullptr, "x"), "setmacro.*macro && command");
    EXPECT_DEATH(setmacro("x", nullptr), "setmacro.*macro && command");
}

}  // namespace
