// The colour, highlight, follow_name and decompress commands through the
// interpreter:
// the word is
// parsed whatever the condition flag, the setting and its toggle pair
// change only while the flag is set, a number selects by its parity (so
// the toggle idiom of the prompt style works), and deftog shows the state
// in force.
#include <gtest/gtest.h>

#include <string>

#include "command/command.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"
#include "language/language.h"
#include "language_test_util.h"

namespace {

struct setting_case {
    const char *command;
    int flag;               // exec_flag while it runs
    int before;             // the setting before
    int result;             // of run_command_string
    int after;
    int code;               // pending error afterwards
};

TEST(DisplayCommands, OnOffAndTheToggle)
{
    struct {
        const char *name;
        int *setting;
    } commands[] = {{"colour", &show_colour},
                    {"highlight", &highlight_matches},
                    {"follow_name", &follow_by_name},
                    {"decompress", &decompress_files}};
    const setting_case cases[] = {
        {"on", 1, 0, 0, 1, ERR_NONE},
        {"off", 1, 1, 0, 0, ERR_NONE},
        {"ON", 1, 0, 0, 1, ERR_NONE},
        {"3", 1, 1, 0, 0, ERR_NONE},
        {"(${_t} + 1)", 1, 0, 0, 1, ERR_NONE},
        {"on", 0, 0, 0, 0, ERR_NONE},
        {"maybe", 1, 0, -1, 0, ERR_BAD_WORD},
        {"maybe", 0, 1, -1, 1, ERR_BAD_WORD},
    };
    for (const auto &command : commands) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(command.name) + " " + c.command + " with flag " +
                         std::to_string(c.flag));
            reset_language_state();
            *command.setting = c.before;
            // the toggle's number, as a binding would read it (off = 1),
            // in a variable no shown one begins with (a reference names
            // the first variable it begins, and the shown ones come first:
            // ${_n} would be ${_numbers_s})
            ASSERT_EQ(set_variable("_t", c.before ? "0" : "1"), 0);
            exec_flag = c.flag;
            std::string line = std::string(command.name) + " " + c.command;
            EXPECT_EQ(run_command_string(line.c_str()), c.result);
            EXPECT_EQ(*command.setting, c.after);
            std::string toggle = std::string("_") + command.name;
            // the toggle shows the setting in force, whatever happened
            EXPECT_EQ(variable_value((toggle + "_s").c_str()), c.after ? "on" : "off");
            EXPECT_EQ(variable_value((toggle + "_n").c_str()), c.after ? "0" : "1");
            EXPECT_EQ(error_code, c.code);
        }
    }
    follow_reset();
    reset_language_state();
}

TEST(DisplayCommands, DeftogShowsTheStateInForce)
{
    for (int on : {0, 1}) {
        reset_language_state();
        show_colour = on;
        highlight_matches = !on;
        follow_by_name = on;
        ASSERT_EQ(run_command_string("deftog"), 0);
        EXPECT_EQ(variable_value("_follow_name_s"), on ? "on" : "off");
        EXPECT_EQ(variable_value("_follow_name_n"), on ? "0" : "1");
        EXPECT_EQ(variable_value("_colour_s"), on ? "on" : "off");
        EXPECT_EQ(variable_value("_colour_n"), on ? "0" : "1");
        EXPECT_EQ(variable_value("_highlight_s"), on ? "off" : "on");
        EXPECT_EQ(variable_value("_highlight_n"), on ? "1" : "0");
    }
    follow_reset();
    reset_language_state();
}

}  // namespace
