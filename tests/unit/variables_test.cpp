// Variables, toggles and the choice of a word.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "command/command.h"
#include "display/display.h"
#include "find/find.h"
#include "language_test_util.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

namespace {

class Variables : public ::testing::Test {
protected:
    void SetUp() override { reset_language_state(); }
    void TearDown() override { reset_language_state(); }

    // The argument a string lexes to, or "<fail>".
    static std::string expand(const char *text)
    {
        const char *pos = text;
        const char *arg = next_arg(&pos);
        std::string result = arg ? arg : "<fail>";
        arg_stack_release(0);
        return result;
    }
};

int count_variables()
{
    int count = 0;
    for (var_entry *entry = var_list; entry; entry = entry->next)
        ++count;
    return count;
}

TEST_F(Variables, NamesFoldCaseAndKeepTheirFirstSpelling)
{
    ASSERT_EQ(set_variable("foo", "1"), 0);
    ASSERT_EQ(set_variable("Foo", "2"), 0);
    EXPECT_EQ(count_variables(), 1);
    EXPECT_EQ(variable_value("foo"), "2");
    EXPECT_EQ(variable_value("Foo"), "<unset>");
    EXPECT_EQ(expand("${FOO}"), "2");
}

TEST_F(Variables, ReferencesMatchTheEarliestVariableTheyBegin)
{
    ASSERT_EQ(set_variable("number", "7"), 0);
    ASSERT_EQ(set_variable("_ls_direction_s", "back"), 0);
    ASSERT_EQ(set_variable("_ls_dir", "later"), 0);
    ASSERT_EQ(set_variable("a b", "spaced"), 0);
    ASSERT_EQ(set_variable("", "nameless"), 0);
    EXPECT_EQ(expand("${num}"), "7");
    EXPECT_EQ(expand("${NUMBER}"), "7");
    EXPECT_EQ(expand("${_ls_dir}"), "back");
    EXPECT_EQ(expand("${a b}"), "spaced");
    EXPECT_EQ(expand("${numbers}"), "<fail>");
    EXPECT_EQ(pending_text(), "variable ``numbers'' not set");
    const char *value = lookup_variable("_LS_DIRECTION_S and more", 15);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(std::string(value), "back");
}

TEST_F(Variables, SettingAnExistingVariableReplacesOnlyItsValue)
{
    ASSERT_EQ(set_variable("a", "first"), 0);
    ASSERT_EQ(set_variable("b", "other"), 0);
    ASSERT_EQ(set_variable("A", ""), 0);
    EXPECT_EQ(variable_value("a"), "");
    EXPECT_EQ(variable_value("b"), "other");
    ASSERT_EQ(set_number_variable("n", INT64_MIN), 0);
    EXPECT_EQ(variable_value("n"), "-9223372036854775808");
    ASSERT_EQ(set_number_variable("n", 42), 0);
    EXPECT_EQ(variable_value("n"), "42");
}

TEST_F(Variables, BadNamesAreRefusedAndLeaveTheListAlone)
{
    struct bad_name {
        const char *name;
        const char *text;
    };
    const std::vector<bad_name> cases = {
        {"a{b", "bad character ``{'' in variable ``a{b''"},
        {"a}", "bad character ``}'' in variable ``a}''"},
        {"tab\there", "bad character ``\t'' in variable ``tab\there''"},
        {"hi\xe9", "bad character ``\xe9'' in variable ``hi\xe9''"},
    };
    for (const bad_name &c : cases) {
        SCOPED_TRACE(c.name);
        clear_error();
        EXPECT_EQ(set_variable(c.name, "v"), -1);
        EXPECT_EQ(error_code, ERR_BAD_VARIABLE);
        EXPECT_EQ(pending_text(), c.text);
        EXPECT_EQ(count_variables(), 0);
    }
}

TEST_F(Variables, BadReferencesFailWithTheirTexts)
{
    ASSERT_EQ(set_variable("ab", "v"), 0);
    struct bad_ref {
        const char *input;
        const char *text;
    };
    const std::vector<bad_ref> cases = {
        {"$ab", ""},
        {"${}", "bad character ``}'' in variable ``''"},
        {"${a\tb}", "bad character ``\t'' in variable ``a''"},
        {"${a{b}", "bad character ``{'' in variable ``a''"},
        {"${zz}", "variable ``zz'' not set"},
        // cut off by the end of the string: no character to show, and the
        // message must still be whole
        {"${ab", "bad character ``'' in variable ``ab''"},
    };
    for (const bad_ref &c : cases) {
        SCOPED_TRACE(c.input);
        clear_error();
        EXPECT_EQ(expand(c.input), "<fail>");
        EXPECT_EQ(error_code, ERR_BAD_VARIABLE);
        EXPECT_EQ(pending_text(), c.text);
    }
}

TEST_F(Variables, TerminalCapabilitiesComeFromTheDescription)
{
    setenv("TERM", "xterm", 1);
    read_termcap();
    ASSERT_EQ(set_variable("_termcap_col", "stored"), 0);
    struct capability {
        const char *input;
        const char *expected;
    };
    const std::vector<capability> cases = {
        {"${_termcap_co}", "80"},
        {"${_termcap_am}", "1"},
        {"${_termcap_hc}", "0"},
        {"${_termcap_col}", "stored"},   // not 11 characters: a variable
        {"${_TERMCAP_co}", "stored"},    // case-sensitive prefix: a variable
    };
    for (const capability &c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(expand(c.input), c.expected);
    }
    // The copied value lives on the argument stack with the argument.
    const char *pos = "${_termcap_co}";
    ASSERT_NE(next_arg(&pos), nullptr);
    EXPECT_EQ(arg_stack_mark(), 2);
    arg_stack_release(0);
}

TEST_F(Variables, CapabilityWithTheStackAlmostFullFailsCleanly)
{
    setenv("TERM", "xterm", 1);
    for (int i = 0; i < MAX_COMMAND_CONTEXTS - 1; ++i) {
        const char *pos = "w";
        ASSERT_NE(next_arg(&pos), nullptr);
    }
    const char *pos = "${_termcap_co}";
    EXPECT_EQ(next_arg(&pos), nullptr);
    EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
    EXPECT_EQ(pending_text(), "compile-time limit exceeded: command contexts");
    EXPECT_LE(arg_stack_mark(), MAX_COMMAND_CONTEXTS);
    arg_stack_release(0);
}

// The variables that show a setting are computed whenever they are looked
// up: they agree with the setting however it was changed (here: written
// directly, as opening a file or going to a mark does), and a reference
// that is only the beginning of a name finds the one it always found.
TEST_F(Variables, ShownVariablesAgreeWithTheirSettings)
{
    struct shown_case {
        const char *name;
        std::function<void()> change;
        const char *reference;
        const char *expected;
    };
    const shown_case cases[] = {
        {"unwrapped at 12", [] { horiz_off = 12; wrap_lines = 0; },
         "[${_curhscroll} ${_wraplines_s} ${_wraplines_n}]", "[12 off 0]"},
        {"wrapping again", [] { horiz_off = 0; wrap_lines = 1; },
         "[${_CURHSCROLL} ${_wraplines_s} ${_wrap}]", "[0 on on]"},
        {"long prompt", [] { set_prompt_style(0); }, "${_statprompt_s}${_statprompt_n}", "on0"},
        {"short prompt", [] { set_prompt_style(1); }, "${_statprompt_s}${_statprompt_n}", "off1"},
        {"window", [] { screen_height = 31; screen_width = 97; },
         "${_sc_height}x${_sc_width} ${_sc} ${_}", "30x97 30 30"},
        {"colour", [] { show_colour = 1; }, "${_colour_s}${_colour_n}", "on0"},
        {"highlight", [] { highlight_matches = 1; }, "${_highlight_s}${_highlight_n}", "on0"},
        {"utf8", [] { utf8_text = 1; }, "${_utf8_s}${_utf8_n}", "on0"},
        {"follow name", [] { follow_by_name = 1; }, "${_follow_name_s}${_follow_name_n}", "on0"},
        {"follow name before a file's direction",
         [] { follow_by_name = 0; settog("_file_direction", 1, 2, "next", "previous"); },
         "${_f} ${_fi}", "off previous"},
    };
    const int height = screen_height, width = screen_width;
    for (const shown_case &c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        std::string command = std::string("set seen \"") + c.reference + "\"";
        EXPECT_EQ(run_command_string(command.c_str()), 0) << pending_text();
        EXPECT_EQ(variable_value("seen"), c.expected);
    }
    horiz_off = 0;
    wrap_lines = 1;
    set_prompt_style(1);
    screen_height = height;
    screen_width = width;
    show_colour = 0;
    highlight_matches = 0;
    utf8_text = 0;
    follow_by_name = 0;
    // They are the program's to show, not the user's to set.
    EXPECT_EQ(run_command_string("set _curhscroll 5"), -1);
    EXPECT_EQ(pending_text(), "variables beginning with '_' are reserved");
    EXPECT_EQ(expand("${_curhscroll}"), "0");
}

TEST_F(Variables, TogglesSetBothVariablesAndClearThePendingError)
{
    set_error(ERR_ARITHMETIC, "left over");
    settog("_x", 1, 2, "a", "b");
    EXPECT_EQ(variable_value("_x_s"), "b");
    EXPECT_EQ(variable_value("_x_n"), "1");
    EXPECT_EQ(error_code, ERR_NONE);
    EXPECT_EQ(error_text, nullptr);
    settog("_x", 0, 3, "first", "second", "third");
    EXPECT_EQ(variable_value("_x_s"), "first");
    EXPECT_EQ(variable_value("_x_n"), "0");
}

TEST_F(Variables, ToggleOutOfRangeIsAFatalAssertion)
{
    EXPECT_DEATH(settog("_t", 2, 2, "a", "b"), "settog.*optval < nargs");
    EXPECT_DEATH(settog("_t", -1, 2, "a", "b"), "settog.*optval >= 0");
}

TEST_F(Variables, ChooseWordTakesWordsOrNumbers)
{
    ASSERT_EQ(set_variable("w", "Off"), 0);
    struct choice {
        const char *input;
        int expected;
        const char *rest;
    };
    const std::vector<choice> cases = {
        {"3", 1, ""},
        {"4 x", 0, "x"},
        {"ON", 0, ""},
        {"off;z", 1, "z"},
        {"${w}", 1, ""},
        {"5abc", 1, ""},
        {"(2 + 1)", 1, ""},
        {"99999999999999999999", 1, ""},   // saturates at 2^63 - 1, odd
        {"maybe", -1, nullptr},
        {"(0 - 1)", -1, nullptr},
        {"", -1, nullptr},
    };
    for (const choice &c : cases) {
        SCOPED_TRACE(c.input);
        clear_error();
        const char *pos = c.input;
        EXPECT_EQ(choose_word(&pos, 2, "on", "off"), c.expected);
        if (c.rest) {
            EXPECT_EQ(std::string(pos), c.rest);
            EXPECT_EQ(error_code, ERR_NONE);
        } else {
            EXPECT_EQ(error_code, ERR_BAD_WORD);
            EXPECT_EQ(error_text, nullptr);
        }
        arg_stack_release(0);
    }
}

}  // namespace
