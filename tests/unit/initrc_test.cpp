// The script reader's line rules, the stream over the built-in text, and
// the content of the built-in script, checked in-process: each script sets
// variables, and the test reads them back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "command/command.h"
#include "display/display.h"
#include "language/language.h"
#include "language_test_util.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

namespace {

// Every command moves the cursor and flushes the output buffer: that goes
// to /dev/null while a script runs, not into the test log.
struct quiet_stdout {
    int saved = dup(1);
    quiet_stdout()
    {
        fflush(stdout);
        int null_fd = open("/dev/null", O_WRONLY);
        dup2(null_fd, 1);
        close(null_fd);
    }
    ~quiet_stdout()
    {
        out_flush();
        dup2(saved, 1);
        close(saved);
    }
};

// Runs `script` through read_rc_file; returns what it reported on stderr.
std::string run_script(const std::string &script)
{
    FILE *stream = tmpfile();
    EXPECT_NE(stream, nullptr);
    if (stream == nullptr)
        return "";
    fwrite(script.data(), 1, script.size(), stream);
    rewind(stream);
    ::testing::internal::CaptureStderr();
    {
        quiet_stdout quiet;
        read_rc_file(stream);
    }
    std::string reported = ::testing::internal::GetCapturedStderr();
    fclose(stream);
    return reported;
}

struct rc_case {
    const char *name;
    std::string script;
    std::vector<std::pair<const char *, const char *>> expected;  // name, value
    const char *reported;   // a piece of what was reported, "" for nothing
};

TEST(InitScript, LineRules)
{
    const rc_case cases[] = {
        {"one statement per line", "set rc_a one\nset rc_b two\n",
         {{"rc_a", "one"}, {"rc_b", "two"}}, ""},
        {"comment lines are skipped", "# set rc_c bad\nset rc_c good\n",
         {{"rc_c", "good"}}, ""},
        {"backslash-newline continues", "set rc_d ab\\\ncd\n",
         {{"rc_d", "abcd"}}, ""},
        {"three lines with a comment between", "set rc_e 'x\\\n# c\n y\\\n z'\n",
         {{"rc_e", "x y z"}}, ""},
        {"blanks after the backslash end the line",
         "set rc_f a\\  \nset rc_g b\n", {{"rc_f", "a "}, {"rc_g", "b"}}, ""},
        {"last line without newline runs", "set rc_h last",
         {{"rc_h", "last"}}, ""},
        {"last byte a backslash is kept", "set rc_i ab\\",
         {{"rc_i", "ab\\"}}, ""},
        {"continued at the end of the file is dropped",
         "set rc_j one\nset rc_j two\\x", {{"rc_j", "one"}}, ""},
        {"empty lines do nothing", "\n\nset rc_k q\n\n", {{"rc_k", "q"}}, ""},
        {"a failing statement is reported, the next runs",
         "nosuchcmd here\nset rc_l after\n", {{"rc_l", "after"}},
         "invalid command: ``nosuchcmd here''"},
        {"blanks before # make no comment", "  # x\nset rc_m y\n",
         {{"rc_m", "y"}}, "invalid command: ``# x''"},
    };
    for (const rc_case &c : cases) {
        SCOPED_TRACE(c.name);
        reset_language_state();
        std::string reported = run_script(c.script);
        for (const auto &[name, value] : c.expected)
            EXPECT_EQ(variable_value(name), value) << name;
        if (c.reported[0] == 0) {
            EXPECT_EQ(reported, "");
        } else {
            EXPECT_NE(reported.find(c.reported), std::string::npos) << reported;
        }
    }
}

// A script read from inside another (readrc) has lines of its own: the
// caller's statement in progress and its later lines are untouched.
TEST(InitScript, ScriptReadFromAScriptLeavesItsCallerAlone)
{
    reset_language_state();
    char inner[] = "/tmp/vorn-inner-rc-XXXXXX";
    int fd = mkstemp(inner);
    ASSERT_GE(fd, 0);
    const std::string inner_text = "set rc_inner 'a much longer line than the caller has, "
                                   "so that a shared buffer would be grown'\n";
    ASSERT_EQ(write(fd, inner_text.data(), inner_text.size()),
              static_cast<ssize_t>(inner_text.size()));
    close(fd);
    std::string reported = run_script(std::string("set rc_before 1\nreadrc ") + inner +
                                       "; set rc_same \\\nline\nset rc_after 2\n");
    unlink(inner);
    EXPECT_EQ(reported, "");
    EXPECT_EQ(variable_value("rc_before"), "1");
    EXPECT_EQ(variable_value("rc_inner"),
              "a much longer line than the caller has, so that a shared buffer would be grown");
    EXPECT_EQ(variable_value("rc_same"), "line");
    EXPECT_EQ(variable_value("rc_after"), "2");
    reset_language_state();
}

TEST(InitScript, ReadErrorIsNotAnEmptyScript)
{
    char dir[] = "/tmp/vorn-rc-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    FILE *stream = fopen(dir, "r");
    if (stream != nullptr) {    // the system lets a directory be opened
        EXPECT_NE(read_rc_stream(stream), 0);
        fclose(stream);
    }
    rmdir(dir);

    FILE *empty = tmpfile();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(read_rc_stream(empty), 0);
    fclose(empty);
}

// Blank runs are layout in a statement; compare with them collapsed.
std::string collapse_blanks(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == ' ' && !out.empty() && out.back() == ' ')
            continue;
        out += c;
    }
    return out;
}

TEST(InitScript, BuiltinScriptContent)
{
    reset_language_state();
    setenv("TERM", "xterm", 1);
    read_termcap();     // sets _sc_height, which the script reads
    std::string home = "/tmp/vorn-empty-home-XXXXXX";
    ASSERT_NE(mkdtemp(home.data()), nullptr);
    setenv("HOME", home.c_str(), 1);
    ::testing::internal::CaptureStderr();
    {
        quiet_stdout quiet;
        load_init_scripts();
    }
    std::string reported = ::testing::internal::GetCapturedStderr();
    rmdir(home.c_str());
    if (access("/etc/dot.vornrc", F_OK) != 0) {
        EXPECT_EQ(reported, "");
    }

    auto cap = [](const char *name) { return std::string(termcap_value(name)); };
    const std::string getscr = "eval ${com_getscr}; ";
    const std::string half = "eval ${com_sethalfscroll}; ";
    struct binding {
        std::string keys;
        int64_t number;
        std::string command;
    };
    const binding bindings[] = {
        {"j", 1, "forw_scroll ${number}"},
        {"k", 1, "back_scroll ${number}"},
        {cap("kd"), 1, "forw_scroll ${number}"},
        {cap("ku"), 1, "back_scroll ${number}"},
        {"\n", 1, "forw_scroll ${number}"},
        {cap("kN"), 1, "forw (${_sc_height} * ${number})"},
        {cap("kP"), 1, "back (${_sc_height} * ${number})"},
        {" ", 0, getscr + "forw ${scr_scroll};"},
        {"f", 0, getscr + "forw ${scr_scroll};"},
        {"\x06", 0, getscr + "forw ${scr_scroll};"},
        {"b", 0, getscr + "back ${scr_scroll};"},
        {"\x02", 0, getscr + "back ${scr_scroll};"},
        {"d", 0, half + "forw_scroll ${half_scroll}"},
        {"\x04", 0, half + "forw_scroll ${half_scroll}"},
        {"u", 0, half + "back_scroll ${half_scroll}"},
        {"\x15", 0, half + "back_scroll ${half_scroll}"},
        {"\t", 1, "rscroll (${number} * 8)"},
        {"\x1b[Z", 1, "lscroll (${number} * 8)"},
        {"h", 0, "condition ${hkey_scroll}; eval ${com_lscroll}; "
                 "condition_! ${hkey_scroll}; help; condition true;"},
        {"l", 0, "condition ${hkey_scroll}; eval ${com_rscroll}; "
                 "condition_! ${hkey_scroll}; error \"key not enabled\"; "
                 "condition true;"},
        {":help", 0, "help"},
        {cap("kr"), 0, "eval ${com_rscroll}"},
        {cap("kl"), 0, "eval ${com_lscroll}"},
        {cap("kh"), 0,
         "condition (${_wraplines_n} && (${savedhscroll} != 87382)); "
         "rscroll 1; rscroll ${savedhscroll}; condition_toggle; "
         "set savedhscroll ${_curhscroll}; lscroll ${_curhscroll}; "
         "lscroll 1; condition true;"},
        {"n", 1, "research ${_ls_direction_n} ${number}"},
        {"N", 1, "research (${_ls_direction_n} + 1) ${number}"},
        {"/", 1, "magicasksearch forw ${number}"},
        {"?", 1, "magicasksearch back ${number}"},
        {"&", 0, "askfilter"},
        {"G", 0, "condition (${number} == 0); goend; "
                 "condition (${number} != 0); goline ${number}; condition true;"},
        {"g", 1, "goline ${number}"},
        {"p", 0, "gopercent ${number}"},
        {"%", 0, "gopercent ${number}"},
        {cap("@7"), 0, "goend"},
        {"\x0c", 0, "repaint"},
        {"r", 0, "repaint"},
        {"R", 0, "flush"},
        {"v", 0, "edit"},
        {":e", 0, "askfile"},
        {"E", 0, "askfile"},
        {":n", 1, "file next ${number}"},
        {"P", 1, "file prev ${number}"},
        {":p", 1, "file prev ${number}"},
        {":a", 0, "file_list"},
        {"m", 0, "setmark ?"},
        {"'", 0, "gomark ?"},
        {":t", 0, "asktag"},
        {"t", 1, "nexttag ${number}"},
        {"T", 1, "prevtag ${number}"},
        {"F", 0, "follow"},
        {"\x07", 0, "stat (${_statprompt_n} + 1)"},
        {"=", 0, "stat (${_statprompt_n} + 1)"},
        {"q", 0, "quit"},
        {":q", 0, "quit"},
        {"ZZ", 0, "quit"},
    };
    const int expected_count = sizeof bindings / sizeof bindings[0];
    ASSERT_EQ(macro_count, expected_count);
    for (int i = 0; i < expected_count; ++i) {
        const binding &b = bindings[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(std::string(macro_table[i].macro), b.keys);
        EXPECT_EQ(macro_table[i].number, b.number);
        EXPECT_EQ(collapse_blanks(macro_table[i].command), b.command);
    }

    const std::pair<const char *, std::string> variables[] = {
        {"lsthscr", "1"},
        {"hkey_scroll", "false"},
        {"scr_scroll", "0"},
        {"half_scroll", std::to_string(atoi(variable_value("_sc_height").c_str()) / 2)},
        {"savedhscroll", "87382"},
        {"com_getscr", "condition (${number} != 0); set scr_scroll ${number}; "
                       "condition (${number} == 0); set scr_scroll ${_sc_height}; "
                       "condition true;"},
        {"com_sethalfscroll",
         "condition (${number} != 0); set half_scroll ${number}; condition true;"},
        {"com_rscroll", "condition (${number} != 0); set lsthscr ${number}; "
                        "condition true; rscroll ${lsthscr};"},
        {"com_lscroll", "condition (${number} != 0); set lsthscr ${number}; "
                        "condition true; lscroll ${lsthscr};"},
        {"_statprompt_n", "1"},
        {"_wraplines_s", "on"},
    };
    for (const auto &[name, value] : variables)
        EXPECT_EQ(collapse_blanks(variable_value(name)), value) << name;
    EXPECT_EQ(exec_flag, 1);
    reset_language_state();
}

}  // namespace
