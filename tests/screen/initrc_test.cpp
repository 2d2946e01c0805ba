// Initialization scripts on a real terminal: ~/.defvornrc in place of the
// built-in bindings, unreadable scripts, the line rules of a ~/.vornrc, and
// the condition flag and variables as typed commands and macros use them.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;

// One key press (or typed text) and what the bottom row then shows
// exactly; an empty `bottom` means the prompt, back after the step.
struct step {
    std::string keys;
    std::string bottom;
    std::string top = "";   // "" = not checked
};

void run_steps(vt_session &s, const std::vector<step> &steps)
{
    for (const step &st : steps) {
        SCOPED_TRACE("keys " + st.keys);
        play(s, st.keys);
        if (st.bottom.empty()) {
            EXPECT_TRUE(vt_wait_contains(s, BOTTOM, "numbered200.txt")) << vt_screen(s);
        } else {
            EXPECT_ROW(s, BOTTOM, st.bottom);
        }
        if (!st.top.empty()) {
            EXPECT_ROW(s, 0, st.top);
        }
    }
}

vt_ptr start_numbered(const temp_home &home, int cols = 80)
{
    return start_pager(home, {"-e", "numbered200.txt"}, ROWS, cols);
}

TEST(InitrcScreen, DefaultScriptFileReplacesBuiltinBindings)
{
    struct {
        const char *name;
        const char *script;
        std::vector<step> steps;
    } cases[] = {
        {"its own binding only", "macro 1 z 'goline 5'\n",
         {{"z", "", "line 5"},
          {"j", pressed("could not expand macro"), "line 5"}}},
        {"binding nothing", "",
         {{"j", pressed("could not expand macro"), "line 1"},
          {"<enter>", "", "line 1"},
          {"q", pressed("could not expand macro"), "line 1"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home home;
        home.write(".defvornrc", c.script);
        vt_ptr s = start_at_line_1(home);
        ASSERT_TRUE(s);
        run_steps(*s, c.steps);
    }
}

// A script that exists but cannot be read is reported with its name; in
// place of an unreadable ~/.defvornrc the built-in bindings apply.
TEST(InitrcScreen, UnreadableScriptsAreReported)
{
    for (const char *name : {".defvornrc", ".vornrc"}) {
        SCOPED_TRACE(name);
        temp_home home;
        ASSERT_EQ(mkdir((home.path + "/" + name).c_str(), 0700), 0);
        vt_ptr s = start_numbered(home, 132);   // the message fits a row
        ASSERT_TRUE(s);
        EXPECT_ROW(*s, BOTTOM, pressed("unable to read " + home.path + "/" + name +
                                       ": Is a directory"));
        run_steps(*s, {{"<enter>", "", "line 1"}, {"j", "", "line 2"}});
    }
}

TEST(InitrcScreen, LineRulesOfAUserScript)
{
    temp_home home;
    home.write(".vornrc",
               "# a comment line\n"
               "set joined 'one\\\n"
               "# a comment inside the statement\n"
               " two\\\n"
               " three'\n"
               "  # blanks first: not a comment\n"
               "\n"
               "macro 0 z 'error \"${joined}\"'\n"
               "set trail a\\  \n"
               "macro 0 y 'error \"[${trail}]\"'\n"
               "macro 0 w 'error \"last line\"'");
    vt_ptr s = start_numbered(home);
    ASSERT_TRUE(s);
    run_steps(*s, {
        {"", pressed("invalid command: ``# blanks first: not a comment''")},
        {"<enter>", "", "line 1"},
        {"z", pressed("one two three")},
        {"<enter>", ""},
        {"y", pressed("[a ]")},
        {"<enter>", ""},
        {"w", pressed("last line")},
    });
}

// Typed commands (usercom on X): the condition flag, variables, and the
// failures and limits of the commands.  Each case starts afresh, and the
// flag is set again at its end.
TEST(InitrcScreen, CommandsTyped)
{
    struct {
        const char *command;
        std::string message;
        const char *top;
    } cases[] = {
        {"condition 2; error A; condition_toggle; error B; condition true", "B", ""},
        {"condition 3; error A; condition true", "A", ""},
        {"condition TRUE; error A", "A", ""},
        {"condition maybe; error A", "bad n-toggle argument to command", ""},
        {"condition false; set _x 1; condition true; error ok", "ok", ""},
        {"set _x 1", "variables beginning with '_' are reserved", ""},
        {"eval 'condition false'; goend; condition true; error E", "E", "line 1"},
        {"eval 'foo'; error F", "F", ""},
        {"eval 'set x'; error [${x}]", "[]", ""},
        {"error ${nosuch}", "variable ``nosuch'' not set", ""},
        {"error ${_file_direction_s}", "variable ``_file_direction_s'' not set", ""},
        {"rscroll 0; lscroll 0; error [${_curhscroll}${_wraplines_s}]", "[0on]", ""},
        {"stat 1; error ${_statprompt_s}", "off", ""},
        {"stat 2; error ${_statprompt_s}", "on", ""},
        {"stat maybe", "bad n-toggle argument to command", ""},
        {"readrc /nonexistent/script", "could not open file ``/nonexistent/script''", ""},
        {"readrc ''; error R", "R", ""},
        {"search forw 1 invert 'line [0-9]$'", "", "line 10"},
        {"setmark ab", "bad mark character", ""},
        {"goline 5 6", "invalid command: ``6''", "line 5"},
        {"file next 1", "", "line 1"},   // no next file with -e: nothing
        // a negative count moves the other way; a huge one is no index
        {"file next (0 - 1)", "No (N-th) previous file", "line 1"},
        {"file next 4294967295", "", "line 1"},
        {"readrc /tmp", "unable to read /tmp: Is a directory", ""},
        // the offset wraps in 32 bits and stays at the top
        {"rscroll 1; rscroll 2147483647; rscroll 5; error ${_curhscroll}",
         "2147483647", ""},
        // a count beyond 32 bits is a huge step right, not its low bits
        // (which would be a step of -1 here)
        {"rscroll 1; rscroll 5; rscroll 4294967295; error ${_curhscroll}",
         "2147483647", ""},
        {"rscroll 1; rscroll 5; lscroll ((0 - 9223372036854775807) - 1); "
         "error ${_curhscroll}", "2147483647", ""},
        {"rscroll 1; rscroll 5; lscroll 9223372036854775807; "
         "error ${_curhscroll}${_wraplines_s}", "0off", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        temp_home home;
        home.write(".vornrc", "macro 0 X usercom\n");
        vt_ptr s = start_at_line_1(home, {"-e", "numbered200.txt"}, 132);
        ASSERT_TRUE(s);
        run_steps(*s, {{"X", "Command:"},
                       {std::string(c.command) + "\n",
                        c.message.empty() ? "" : pressed(c.message), c.top}});
    }
}

// With the flag clear every command only parses its arguments: a bad
// argument still fails, and nothing runs until a condition command does.
TEST(InitrcScreen, ClearFlagStaysUntilAConditionCommand)
{
    temp_home home;
    home.write(".vornrc",
               "macro 0 X usercom\n"
               "macro 0 Y 'condition true; error restored'\n"
               "macro 0 M 'condition maybe'\n");
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    run_steps(*s, {
        {"X", "Command:"},
        {"condition false; set x ${nosuch}\n", pressed("variable ``nosuch'' not set")},
        {"<enter>", ""},
        {"M", pressed("bad n-toggle argument to command")},
        {"<enter>", ""},
        {"jX", ""},     // neither moves nor asks: the flag is still clear
        {"Y", pressed("restored"), "line 1"},
        {"<enter>", ""},
        {"j", "", "line 2"},
    });
}

// Horizontal scrolling from a macro: the offset and the wrapping toggle
// follow each step.
TEST(InitrcScreen, HorizontalStateVariablesFollowEachStep)
{
    temp_home home;
    home.write(".vornrc",
               "macro 0 H 'rscroll 8; error \"A ${_curhscroll} ${_wraplines_s}\"; \\\n"
               "  rscroll 8; error \"B ${_curhscroll} ${_wraplines_s}\"; \\\n"
               "  lscroll 3; error \"C ${_curhscroll} ${_wraplines_s}\"; \\\n"
               "  lscroll 9; error \"D ${_curhscroll} ${_wraplines_s}\"; \\\n"
               "  lscroll 1; error \"E ${_curhscroll} ${_wraplines_n}\"'\n");
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    run_steps(*s, {
        {"H", pressed("A 0 off")},
        {"<enter>", pressed("B 8 off")},
        {"<enter>", pressed("C 5 off")},
        {"<enter>", pressed("D 0 off")},
        {"<enter>", pressed("E 0 1")},
        {"<enter>", "", "line 1"},
    });
}

// The horizontal view's variables agree with the view also after what
// changes it besides the scrolling commands: opening the next file (which
// starts the view afresh) and going to a mark (which restores the view the
// mark recorded).  The long prompt shows the column they must agree with.
TEST(InitrcScreen, HorizontalStateVariablesFollowFilesAndMarks)
{
    temp_home home;
    home.write(".vornrc", "macro 0 V 'error \"[${_curhscroll} ${_wraplines_n}]\"'\n");
    vt_ptr s = start_at_line_1(home, {"-e", "numbered200.txt", "wide.txt"});
    ASSERT_TRUE(s);
    run_steps(*s, {
        {"<tab><tab>V", "", pressed("[8 0]")},
        {"<enter>=", "", "col 8"},
        {":n", "", "wide.txt: file 2/2"},
        {"", "", "col 0"},
        {"V", "", pressed("[0 1]")},
        {"<enter>ma<tab><tab><tab>V", "", pressed("[16 0]")},
        {"<enter>mb'a", "", "col 0"},
        {"V", "", pressed("[0 1]")},
        {"<enter>'b", "", "col 16"},
        {"V", "", pressed("[16 0]")},
    }, BOTTOM);
}

}  // namespace
