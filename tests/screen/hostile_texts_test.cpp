// Texts far beyond anything reasonable: initialization scripts with a line
// of a megabyte and with recursion that never ends, a terminal description
// whose strings are kilobytes long, names longer than the system takes
// (a long argument, a chain of directories) and a tag name of kilobytes.  The pager refuses what it
// cannot use with a message and goes on; nothing is cut short and run, no
// buffer overruns (the sanitizer build runs these too).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;

// Takes away every message waiting for RETURN (at most `limit`); then the
// first screen must be there.
::testing::AssertionResult messages_then_screen(vt_session &s, const std::string &top,
                                                int limit = 300)
{
    for (int i = 0; i < limit; i++) {
        if (!vt_wait(s, [&](vt_session &v) {
                return vt_row(v, BOTTOM).find("(press RETURN)") != std::string::npos ||
                       (vt_row(v, 0) == top && vt_row(v, BOTTOM).find("lines.txt") != std::string::npos);
            }))
            return ::testing::AssertionFailure() << "neither a message nor the screen\n"
                                                 << vt_screen(s);
        if (vt_row(s, BOTTOM).find("(press RETURN)") == std::string::npos)
            return ::testing::AssertionSuccess();
        // The key takes the message away (the next one may read the same:
        // the wait then ends by its timeout).
        std::string message = vt_row(s, BOTTOM);
        vt_key(s, "enter");
        vt_wait(s, [&](vt_session &v) { return vt_row(v, BOTTOM) != message; }, 1000);
    }
    return ::testing::AssertionFailure() << "messages without end\n" << vt_screen(s);
}

vt_ptr start_with_script(const temp_home &dir, const std::string &vornrc)
{
    dir.write("lines.txt", numbered_text(1, 100));
    vt_options options;
    options.args = {"lines.txt"};
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}};
    options.home_files = {{".vornrc", vornrc}};
    return vt_start(options);
}

// Each script ends with a binding that shows it was read to its end.
TEST(HostileTexts, InitScriptsWithHugeLinesAndEndlessRecursion)
{
    const std::string mib(1 << 20, 'x');
    // (a line of many statements runs each; a tenth of a megabyte of them
    // keeps the sanitizer build quick)
    std::string statements;
    while (statements.size() < 100000)
        statements += "set a 1; ";
    struct {
        const char *name;
        std::string script;
        const char *message;    // one of the messages shown, or ""
    } cases[] = {
        {"a megabyte value", "set big '" + mib + "'\n", "compile time limit"},
        {"a line of ten thousand statements", statements + "\n", ""},
        {"a megabyte comment", "#" + mib + "\n", ""},
        {"a megabyte key", "macro 0 " + mib + " 'quit'\n", ""},
        {"a megabyte continued", mib + "\\\n" + mib + "\n", ""},
        // (a failure inside eval is not reported: the recursion just ends)
        {"eval of itself", "set r 'eval ${r}'\neval ${r}\n", ""},
        {"eval doubling its text", "set r 'set r \"${r}${r}\"; eval ${r}'\neval ${r}\n", ""},
        {"script reading itself", "readrc ~/.vornrc\n",
         "compile-time limit exceeded: command contexts"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home dir;
        std::string script = c.script;
        if (script.rfind("readrc ~/", 0) == 0)
            script = "readrc " + dir.path + "/.vornrc\n";
        auto s = start_with_script(dir, script + "macro 0 Q 'quit'\n");
        ASSERT_TRUE(s);
        if (c.message[0] != '\0') {
            EXPECT_TRUE(vt_wait(*s, [&](vt_session &v) {
                return vt_screen(v).find(c.message) != std::string::npos;
            })) << vt_screen(*s);
        }
        ASSERT_TRUE(messages_then_screen(*s, "line 1"));
        play(*s, "j");
        EXPECT_ROW(*s, 0, "line 2");
        vt_type(*s, "Q");
        EXPECT_EQ(vt_wait_exit(*s, 20000), 0);
    }
}

// A terminal whose every string the pager uses is kilobytes long (padded
// with sequences that change nothing): the pager drops what does not fit
// its areas, never writes past them, pages, and leaves the terminal as it
// was.
TEST(HostileTexts, TerminalDescriptionWithHugeStrings)
{
    temp_home dir;
    std::string pad;
    for (int i = 0; i < 1500; i++)
        pad += "\\E[m";
    std::string source = "vorn-huge|terminal with huge strings,\n\tam, cols#80, lines#24,\n";
    for (const char *cap : {"cup=%s\\E[%i%p1%d;%p2%dH", "el=%s\\E[K", "clear=%s\\E[H\\E[2J",
                            "smso=%s\\E[7m", "rmso=%s\\E[27m", "smul=%s\\E[4m",
                            "rmul=%s\\E[24m", "bold=%s\\E[1m", "sgr0=%s\\E[m",
                            "smcup=%s", "rmcup=%s", "smkx=%s", "rmkx=%s", "ri=%s\\EM",
                            "home=%s\\E[H", "kcud1=%s\\EOB", "kcuu1=%s\\EOA", "knp=%s\\E[6~",
                            "kpp=%s\\E[5~", "khome=%s\\EOH", "kend=%s\\EOF"}) {
        std::string text = cap;
        text.replace(text.find("%s"), 2, pad);
        source += "\t" + text + ",\n";
    }
    dir.write("huge.ti", source);
    std::string compile = "tic -x -o '" + dir.path + "/terminfo' '" + dir.path +
                          "/huge.ti' >/dev/null 2>&1";
    ASSERT_EQ(system(compile.c_str()), 0) << "tic refused the description";
    dir.write("lines.txt", numbered_text(1, 100));
    vt_options options;
    options.args = {"lines.txt"};
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}, {"TERMINFO", dir.path + "/terminfo"}};
    options.term = "vorn-huge";
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_TRUE(messages_then_screen(*s, "line 1", 5));
    // None of the strings fits the room kept for them, so the terminal is
    // used without them: no erasing, so the rows written over the prompt
    // keep its tail.  The text itself is all there.
    play(*s, "jjj");
    EXPECT_ROW_HAS(*s, BOTTOM, "(24%)");
    play(*s, " ");
    EXPECT_ROW_HAS(*s, BOTTOM, "(47%)");
    for (int row = 0; row < BOTTOM; row++) {
        std::string line = "line " + std::to_string(27 + row);
        EXPECT_EQ(vt_row(*s, row).substr(0, line.size()), line) << vt_screen(*s);
    }
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
    termios before = vt_initial_tty(*s), after = vt_final_tty(*s);
    EXPECT_EQ(before.c_lflag, after.c_lflag);
    EXPECT_EQ(before.c_oflag, after.c_oflag);
}

// A chain of directories `depth` deep under `top`, each named "d" + 200
// "x"s, made one level at a time (a whole path may be too long to make);
// the relative path of `file` at its bottom.
std::string deep_path(const std::string &top, int depth, const std::string &file,
                      const std::string &content)
{
    const std::string level = "d" + std::string(200, 'x');
    std::string relative;
    int dir_fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && dir_fd >= 0; i++) {
        mkdirat(dir_fd, level.c_str(), 0755);
        int next = openat(dir_fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(dir_fd);
        dir_fd = next;
        relative += level + "/";
    }
    EXPECT_GE(dir_fd, 0);
    int fd = openat(dir_fd, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), (ssize_t)content.size());
    close(fd);
    close(dir_fd);
    return relative + file;
}

// Removes a tree too deep for a path of it to be named whole.
struct deep_tree_cleanup {
    std::string top;
    ~deep_tree_cleanup() { (void)!system(("rm -rf '" + top + "'").c_str()); }
};

// Names over 4096 bytes are refused (the message cut to its buffer, never
// overrun); a name just under the limit, far
// longer than any fixed command line, reaches the editor whole and is
// shown, listed and marked.
TEST(HostileTexts, NamesLongerThanTheSystemTakes)
{
    temp_home dir;
    deep_tree_cleanup cleanup{dir.path + "/dxx"};
    mkdir(cleanup.top.c_str(), 0755);
    dir.write("lines.txt", numbered_text(1, 100));
    std::string too_long = "dxx/" + deep_path(cleanup.top, 24, "far.txt", "far 1\n");
    std::string just_fits = "dxx/" + deep_path(cleanup.top, 19, "near.txt", "near 1\n" + numbered_text(2, 40));
    ASSERT_GT(too_long.size(), 4096u);
    ASSERT_LT(just_fits.size(), 4000u);
    ASSERT_GT(just_fits.size(), 3800u);
    std::string long_argument(5000, 'n');
    // The record is written aside and renamed: the test, which waits for
    // it to exist, never reads it half written.
    dir.write("editor", "#!/bin/sh\nfor last; do :; done\n"
                        "printf '%s' \"$last\" > \"$HOME/edited.part\"\n"
                        "mv \"$HOME/edited.part\" \"$HOME/edited\"\n");
    chmod((dir.path + "/editor").c_str(), 0755);
    vt_options options;
    options.args = {"-e", long_argument, too_long, "lines.txt", just_fits};
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}, {"EDITOR", dir.path + "/editor"}};
    options.home_files = {{".vornrc", "macro 0 M 'listbmarks'\n"}};
    std::string binary = VORN_BINARY;
    options.env.emplace_back("PATH", binary.substr(0, binary.rfind('/')) + ":" + getenv("PATH"));
    auto s = vt_start(options);
    ASSERT_TRUE(s);
    // Both refusals went to standard error before the screen was in use,
    // each cut to the room of a message (the name fills it: the reason
    // is cut away), and the first file that opened waits for a key.
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) {
        std::string screen = vt_screen(v);
        return screen.find("|nnnnnnnnnn") != std::string::npos &&
               screen.find("|dxx/dxxxxx") != std::string::npos &&
               vt_row(v, BOTTOM).find("(press RETURN)") != std::string::npos;
    })) << vt_screen(*s);
    ASSERT_TRUE(messages_then_screen(*s, "line 1", 5));
    play(*s, ":n");
    ASSERT_ROW(*s, 0, "near 1");
    EXPECT_ROW_HAS(*s, BOTTOM, "near.txt");
    play(*s, "mav");
    ASSERT_TRUE(wait_for(*s, [&] { return access((dir.path + "/edited").c_str(), F_OK) == 0; }));
    EXPECT_EQ(read_file(dir.path + "/edited"), just_fits);
    ASSERT_ROW(*s, 0, "near 1");
    play(*s, ":pmb:nM");
    EXPECT_TRUE(vt_wait(*s, [](vt_session &v) {
        return vt_row(v, 0).find("keyline") != std::string::npos &&
               vt_row(v, 2).rfind("a       dxx/dxxx", 0) == 0 &&
               vt_row(v, BOTTOM).rfind("vorn.", 0) == 0;
    })) << vt_screen(*s);
    play(*s, "q");
    EXPECT_ROW(*s, 0, "near 1");
    // At "Examine: " the typed name stops at the line's room; the -t tag
    // and the tag prompt take a long name and find nothing.
    play(*s, ":e");
    vt_type(*s, std::string(3000, 'e'));
    vt_key(*s, "enter");
    EXPECT_TRUE(vt_wait(*s, [](vt_session &v) {
        return vt_row(v, BOTTOM).find("(press RETURN)") != std::string::npos;
    })) << vt_screen(*s);
    vt_key(*s, "enter");
    play(*s, ":t");
    ASSERT_ROW(*s, BOTTOM, "Tag:");
    vt_type(*s, std::string(3000, 't'));
    vt_key(*s, "enter");
    EXPECT_ROW(*s, BOTTOM, pressed("could not find relevent tag information"));
    vt_key(*s, "enter");
    EXPECT_ROW(*s, 0, "near 1");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A tag name of 5000 bytes from the command line: global is asked for it
// (and knows nothing), the tags file knows it and its line is shown; a
// name one byte shorter is no match.
TEST(HostileTexts, TagNameLongerThanAnyBuffer)
{
    temp_home dir;
    const std::string tag(5000, 'T');
    dir.write("lines.txt", numbered_text(1, 100));
    dir.write("tags", tag + "\tlines.txt\t/^line 7$/\n");
    struct {
        std::string name;
        int status;             // -1: the tag's screen, then q
    } cases[] = {{tag, -1}, {tag.substr(1), 1}, {tag + "T", 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.size());
        auto s = start_in_dir(dir, {"-e", "-t", c.name});
        ASSERT_TRUE(s);
        if (c.status == -1) {
            EXPECT_ROW(*s, 0, "line 7");
            vt_type(*s, "q");
            EXPECT_EQ(vt_wait_exit(*s), 0);
        } else {
            EXPECT_EQ(vt_wait_exit(*s), c.status);
            EXPECT_NE(vt_screen(*s).find("could not find relevent tag information"),
                      std::string::npos) << vt_screen(*s);
        }
    }
}

}  // namespace
