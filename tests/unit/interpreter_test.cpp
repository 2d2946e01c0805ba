// The interpreter and the language's own commands: separators, the table
// lookup, unknown commands and the recovery of the condition flag, the
// condition commands, set, eval, deftog, macro and error.
#include <gtest/gtest.h>

#include <pthread.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "display/display.h"
#include "language_test_util.h"
#include "command/command.h"
#include "startup/startup.h"

namespace {

class Interpreter : public ::testing::Test {
protected:
    void SetUp() override { reset_language_state(); }
    void TearDown() override { reset_language_state(); }
};

TEST_F(Interpreter, SeparatorsAndCommandNames)
{
    struct run_case {
        const char *input;
        int result;
        const char *seen;   // value of "seen" afterwards
        const char *text;   // pending error text afterwards
    };
    const std::vector<run_case> cases = {
        {"", 0, "<unset>", ""},
        {" ;\n\t;; \n", 0, "<unset>", ""},
        {"set seen 1", 0, "1", ""},
        {";;set seen 1;", 0, "1", ""},
        {"set seen a;set seen b", 0, "b", ""},
        {"set seen a;\nset seen b", 0, "b", ""},
        {"set seen a\nset seen b", -1, "a\nset", "invalid command: ``seen b''"},
        {"set seen a b;set x y", -1, "a", "invalid command: ``b;set x y''"},
        {"set\tseen 1", -1, "<unset>", "invalid command: ``set\tseen 1''"},
        {"setx seen 1", -1, "<unset>", "invalid command: ``setx seen 1''"},
        {"SET seen 1", -1, "<unset>", "invalid command: ``SET seen 1''"},
        {"foo; set seen 1", -1, "<unset>", "invalid command: ``foo; set seen 1''"},
        {"set seen 1; foo; set seen 2", -1, "1", "invalid command: ``foo; set seen 2''"},
        {"set seen '1;2' ;", 0, "1;2", ""},
    };
    for (const run_case &c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.input);
        reset_language_state();
        EXPECT_EQ(run_command_string(c.input), c.result);
        EXPECT_EQ(variable_value("seen"), c.seen);
        EXPECT_EQ(pending_text(), c.text);
        EXPECT_EQ(error_code, c.result == 0 ? ERR_NONE : ERR_BOGUS_COMMAND);
        EXPECT_EQ(arg_stack_mark(), 0);
    }
}

TEST_F(Interpreter, UnknownCommandSetsTheConditionFlagAgain)
{
    exec_flag = 0;
    EXPECT_EQ(run_command_string("nosuch arg"), -1);
    EXPECT_EQ(exec_flag, 1);
    EXPECT_EQ(error_code, ERR_BOGUS_COMMAND);
    EXPECT_EQ(pending_text(), "invalid command: ``nosuch arg''");
}

TEST_F(Interpreter, UnknownCommandWithTheStackFullStillRecovers)
{
    for (int i = 0; i < MAX_COMMAND_CONTEXTS; ++i) {
        const char *pos = "w";
        ASSERT_NE(next_arg(&pos), nullptr);
    }
    exec_flag = 0;
    EXPECT_EQ(run_command_string("nosuch"), -1);
    EXPECT_EQ(exec_flag, 1);
    EXPECT_EQ(error_code, ERR_BOGUS_COMMAND);
    EXPECT_EQ(pending_text(), "invalid command: ``nosuch''");
    // A known command cannot take its argument either.
    EXPECT_EQ(run_command_string("set a b"), -1);
    EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
    EXPECT_EQ(arg_stack_mark(), MAX_COMMAND_CONTEXTS);
}

TEST_F(Interpreter, ConditionCommands)
{
    struct condition_case {
        const char *input;
        int flag_before;
        int result;
        int flag_after;
    };
    const std::vector<condition_case> cases = {
        {"condition on", 0, 0, 1},
        {"condition off", 1, 0, 0},
        {"condition TRUE", 0, 0, 1},
        {"condition False", 1, 0, 0},
        {"condition 2", 1, 0, 0},
        {"condition 3", 0, 0, 1},
        {"condition 5", 0, 0, 1},
        {"condition (${n} == 4)", 0, 0, 1},
        {"condition maybe", 1, -1, 1},
        {"condition maybe", 0, -1, 0},
        {"condition ${nosuch}", 0, -1, 0},
        {"condition_! on", 1, 0, 0},
        {"condition_! false", 0, 0, 1},
        {"condition_! maybe", 1, -1, 1},
        {"condition_toggle", 1, 0, 0},
        {"condition_toggle", 0, 0, 1},
        {"condition_else", 1, 0, 0},
        {"condition_else;condition_else", 1, 0, 1},
    };
    for (const condition_case &c : cases) {
        SCOPED_TRACE(c.input);
        reset_language_state();
        ASSERT_EQ(set_variable("n", "4"), 0);
        exec_flag = c.flag_before;
        EXPECT_EQ(run_command_string(c.input), c.result);
        EXPECT_EQ(exec_flag, c.flag_after);
    }
    reset_language_state();
    EXPECT_EQ(run_command_string("condition maybe"), -1);
    EXPECT_EQ(error_code, ERR_BAD_WORD);
    EXPECT_EQ(error_text, nullptr);
}

TEST_F(Interpreter, ConditionalStrings)
{
    struct branch_case {
        const char *input;
        int result;
        const char *x;
        int flag_after;
    };
    const std::vector<branch_case> cases = {
        {"condition 2; set x 1", 0, "<unset>", 0},
        {"condition 3; set x 1", 0, "1", 1},
        {"condition off; set x 1; condition_! off; set x 2; condition true",
         0, "2", 1},
        {"condition on; set x 1; condition_toggle; set x 2; condition true",
         0, "1", 1},
        {"eval 'condition false'; set x 1", 0, "<unset>", 0},
        {"condition off; eval 'set x 1'; set x 2", 0, "<unset>", 0},
        {"eval 'set x 1; nosuch; set x 2'; set x 3", 0, "3", 1},
        {"condition off; set _x 1; set x", 0, "<unset>", 0},
        {"set x", 0, "", 1},
        {"set x;set y z", -1, "set", 1},   // the value is the word "set"
    };
    for (const branch_case &c : cases) {
        SCOPED_TRACE(c.input);
        reset_language_state();
        EXPECT_EQ(run_command_string(c.input), c.result);
        EXPECT_EQ(variable_value("x"), c.x);
        EXPECT_EQ(variable_value("_x"), "<unset>");
        EXPECT_EQ(exec_flag, c.flag_after);
    }
}

TEST_F(Interpreter, BadArgumentFailsEvenInABranchNotTaken)
{
    exec_flag = 0;
    EXPECT_EQ(run_command_string("set x ${nosuch}; condition on; set y 1"), -1);
    EXPECT_EQ(error_code, ERR_BAD_VARIABLE);
    EXPECT_EQ(pending_text(), "variable ``nosuch'' not set");
    EXPECT_EQ(exec_flag, 0);
    EXPECT_EQ(variable_value("y"), "<unset>");
    EXPECT_EQ(run_command_string("set y 1; condition on"), 0);
    EXPECT_EQ(variable_value("y"), "<unset>");
    EXPECT_EQ(exec_flag, 1);
}

TEST_F(Interpreter, SetRefusesReservedNames)
{
    EXPECT_EQ(run_command_string("set _x 1; set y 2"), -1);
    EXPECT_EQ(error_code, ERR_BAD_VARIABLE);
    EXPECT_EQ(pending_text(), "variables beginning with '_' are reserved");
    EXPECT_EQ(variable_value("_x"), "<unset>");
    EXPECT_EQ(variable_value("y"), "<unset>");

    clear_error();
    EXPECT_EQ(run_command_string("set 'a{b' 1"), -1);
    EXPECT_EQ(error_code, ERR_BAD_VARIABLE);
    EXPECT_EQ(pending_text(), "bad character ``{'' in variable ``a{b''");
}

TEST_F(Interpreter, EvalRunsTheExpandedTextWithoutRescanningIt)
{
    ASSERT_EQ(run_command_string("set sub 'set a ${b}'; set b 1"), 0);
    EXPECT_EQ(run_command_string("set b 2; eval ${sub}"), 0);
    EXPECT_EQ(variable_value("a"), "2");
    EXPECT_EQ(run_command_string("eval 'set c $'"), 0);   // failure ignored
    EXPECT_EQ(error_code, ERR_BAD_VARIABLE);
    EXPECT_EQ(variable_value("c"), "<unset>");
    EXPECT_EQ(arg_stack_mark(), 0);
}

// A variable whose value evaluates itself stops at the argument-stack
// limit with the code-7 error; the native stack must hold every level.
TEST_F(Interpreter, RunawayRecursionEndsWithTheContextLimit)
{
    ASSERT_EQ(run_command_string("set r 'eval ${r}'"), 0);
    EXPECT_EQ(run_command_string("eval ${r}; set after 1"), 0);
    EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
    EXPECT_EQ(pending_text(), "compile-time limit exceeded: command contexts");
    EXPECT_EQ(variable_value("after"), "1");
    EXPECT_EQ(arg_stack_mark(), 0);
}

// A value that doubles itself at every level stops at the argument limit
// long before the recursion would.
TEST_F(Interpreter, SelfDoublingValueStopsAtTheArgumentLimit)
{
    ASSERT_EQ(run_command_string("set a x; set r 'set a ${a}${a}; eval ${r}'"),
              0);
    EXPECT_EQ(run_command_string("eval ${r}; set after 1"), 0);
    EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
    EXPECT_EQ(error_text, nullptr);
    EXPECT_EQ(variable_value("a").size(), size_t{MAX_ARGUMENT_LENGTH});
    EXPECT_EQ(variable_value("after"), "1");
    EXPECT_EQ(arg_stack_mark(), 0);
}

// The deepest the language can nest: a recursion that fills the argument
// stack, and at each level on the way back a group nested as deep as the
// arithmetic allows (its value 2 clears the flag, which shows it ran).  It
// runs on a thread whose stack is a quarter of a megabyte, a small fraction
// of the usual limit, and must fit there, sanitizers included.
void *run_deepest_nesting(void *recursion)
{
    int set_status = run_command_string(static_cast<const char *>(recursion));
    int run_status = run_command_string("eval ${r}");
    bool sound = set_status == 0 && run_status == 0 && error_code == ERR_COMPILE_LIMIT &&
                 exec_flag == 0 && arg_stack_mark() == 0;
    return sound ? recursion : nullptr;
}

TEST_F(Interpreter, DeepestNestingFitsInASmallStack)
{
    std::string groups(static_cast<size_t>(MAX_COMMAND_CONTEXTS), '(');
    groups += "2" + std::string(static_cast<size_t>(MAX_COMMAND_CONTEXTS), ')');
    std::string recursion = "set r 'eval ${r}; condition " + groups + "'";
    EXPECT_EXIT(
        {
            pthread_attr_t attributes;
            pthread_attr_init(&attributes);
            pthread_attr_setstacksize(&attributes, 256 * 1024);
            pthread_t thread;
            void *outcome = nullptr;
            if (pthread_create(&thread, &attributes, run_deepest_nesting,
                               recursion.data()) == 0)
                pthread_join(thread, &outcome);
            _exit(outcome ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// deftog keeps the memory of the last search; what shows a setting (the
// prompt style, the horizontal view) is computed, so deftog neither
// creates nor resets it: after a long prompt was chosen, the prompt-style
// toggle still says so.
TEST_F(Interpreter, DeftogResetsTheLastSearchAndLeavesSettingsShown)
{
    ASSERT_EQ(run_command_string("deftog"), 0);
    const std::vector<std::pair<const char *, const char *>> expected = {
        {"_ls_direction_s", "forw"}, {"_ls_direction_n", "0"},
        {"_ls_sense_s", "noinvert"}, {"_ls_sense_n", "0"},
        {"_ls_regexp", ""},          {"_statprompt_n", "0"},
        {"_curhscroll", "12"},       {"_wraplines_s", "off"},
    };
    settog("_ls_direction", 1, 2, "forw", "back");
    settog("_ls_sense", 1, 2, "noinvert", "invert");
    ASSERT_EQ(set_variable("_ls_regexp", "abc"), 0);
    set_prompt_style(0);
    wrap_lines = 0;
    horiz_off = 12;
    ASSERT_EQ(run_command_string("deftog"), 0);
    for (const auto &[name, value] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(variable_value(name), value);
    }
    // The variables are created in this order: prefix lookups rely on it.
    EXPECT_EQ(std::string(var_list->name), "_ls_direction_s");

    settog("_ls_sense", 1, 2, "noinvert", "invert");
    exec_flag = 0;
    ASSERT_EQ(run_command_string("deftog"), 0);
    EXPECT_EQ(variable_value("_ls_sense_n"), "1");
    set_prompt_style(1);
    horiz_off = 0;
    wrap_lines = 1;
}

TEST_F(Interpreter, MacroCommandBindsKeysWithADefaultNumber)
{
    ASSERT_EQ(run_command_string("macro (2 + 3) x 'set seen ${number}'"), 0);
    ASSERT_EQ(macro_count, 1);
    EXPECT_EQ(std::string(macro_table[0].macro), "x");
    EXPECT_EQ(std::string(macro_table[0].command), "set seen ${number}");
    EXPECT_EQ(macro_table[0].number, 5);

    // Parsed but not bound while the flag is clear.
    EXPECT_EQ(run_command_string("condition off; macro 1 y 'set a b'"), 0);
    EXPECT_EQ(macro_count, 1);
    exec_flag = 1;

    // Keys that begin a longer binding: stored, but the number fails.
    ASSERT_EQ(run_command_string("macro 3 gg 'set a b'"), 0);
    EXPECT_EQ(run_command_string("macro 4 g 'set c d'; set after 1"), -1);
    EXPECT_EQ(error_code, ERR_AMBIGUOUS_MACRO);
    EXPECT_EQ(variable_value("after"), "<unset>");
    ASSERT_EQ(macro_count, 3);
    EXPECT_EQ(std::string(macro_table[2].macro), "g");
    EXPECT_EQ(macro_table[2].number, 0);

    clear_error();
    EXPECT_EQ(run_command_string("macro x y z"), -1);
    EXPECT_EQ(error_code, ERR_ARITHMETIC);
}

// Lines that wrap are never shifted: an offset found with wrapping on is a
// programming error, caught by the horizontal-scroll handler by its name.
TEST_F(Interpreter, RightScrollChecksThatWrappedLinesAreNotShifted)
{
    EXPECT_DEATH(
        {
            wrap_lines = 1;
            horiz_off = 5;
            run_command_string("rscroll 1");
        },
        "chscroll.*horiz_off == 0");
}

TEST_F(Interpreter, ErrorShowsItsMessage)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_command_string("condition off; error 'not shown'; "
                                 "condition on; error \"a b\"; set x 1"),
              0);
    std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, "a b\n");
    EXPECT_EQ(variable_value("x"), "1");
}

}  // namespace
