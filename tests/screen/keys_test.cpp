// The default key bindings and the command loop, typed on a real terminal:
// counts, key sequences, unbound keys, and what every default key does to
// the screen.  The fixture numbered200.txt holds "line 1" to "line 200", so
// the top row tells where the view is; wide.txt has lines of 300 columns
// for the horizontal keys.  The screen is 24 rows: 23 rows of text.
#include <signal.h>
#include <vterm.h>

#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;

struct key_case {
    const char *name;
    std::vector<std::string> args;
    std::vector<key_step> steps;
};

// The top row once a percentage of numbered200.txt is asked for: the line
// that holds the byte at that percentage.
std::string line_at_percent(int percent)
{
    std::string text = read_file(test_data("numbered200.txt"));
    size_t byte = percent * text.size() / 100;
    size_t start = text.rfind('\n', byte == 0 ? 0 : byte - 1);
    start = start == std::string::npos || byte == 0 ? 0 : start + 1;
    return text.substr(start, text.find('\n', start) - start);
}

void run_cases(const std::vector<key_case> &cases, const temp_home &home)
{
    for (const key_case &c : cases) {
        SCOPED_TRACE(c.name);
        vt_ptr s = start_pager(home, c.args, ROWS);
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait(*s, [](vt_session &v) {
            return !vt_row(v, 0).empty() && !vt_row(v, BOTTOM).empty();
        })) << vt_screen(*s);
        run_steps(*s, c.steps, BOTTOM);
    }
}

const std::vector<std::string> numbered = {"-e", "numbered200.txt"};
const std::vector<std::string> two_files = {"-e", "numbered200.txt", "wide.txt"};

TEST(KeyScreen, VerticalMovesAndJumps)
{
    temp_home home;
    const std::vector<key_case> cases = {
        {"j", numbered, {{"j", "line 2", ""}, {"3j", "line 5", ""}}},
        {"k", numbered, {{"jjjk", "line 3", ""}, {"2k", "line 1", ""}}},
        {"arrows", numbered, {{"<down><down>", "line 3", ""},
                              {"<up>", "line 2", ""}}},
        {"newline", numbered, {{"<enter>", "line 2", ""},
                               {"4<enter>", "line 6", ""}}},
        {"space", numbered, {{" ", "line 24", ""}}},
        {"space with a count, then without",
         numbered, {{"5 ", "line 6", ""}, {" ", "line 29", ""}}},
        {"f and ^F", numbered, {{"f", "line 24", ""}, {"<^F>", "line 47", ""}}},
        {"b and ^B", numbered, {{"   ", "line 70", ""}, {"b", "line 47", ""},
                                {"<^B>", "line 24", ""}, {"3b", "line 21", ""}}},
        {"page keys", numbered, {{"<pgdn>", "line 24", ""},
                                 {"2<pgdn>", "line 70", ""},
                                 {"<pgup>", "line 47", ""}}},
        {"d keeps its count", numbered, {{"d", "line 12", ""},
                                         {"5d", "line 17", ""},
                                         {"d", "line 22", ""},
                                         {"<^D>", "line 27", ""}}},
        {"u keeps its count", numbered, {{"dddd", "line 45", ""},
                                         {"u", "line 34", ""},
                                         {"3u", "line 31", ""},
                                         {"u", "line 28", ""}}},
        {"G without a count", numbered, {{"G", "line 178", "END"}}},
        {"G with a count", numbered, {{"50G", "line 50", ""}}},
        {"g", numbered, {{"30g", "line 30", ""}, {"g", "line 1", ""}}},
        {"p", numbered, {{"50p", line_at_percent(50), ""},
                         {"p", "line 1", ""}}},
        {"%", numbered, {{"25%", line_at_percent(25), ""},
                         {"250%", "", "END"}}},
        {"end key", numbered, {{"<end>", "line 178", "END"}}},
    };
    run_cases(cases, home);
}

TEST(KeyScreen, FilesPromptAndUnavailableCommands)
{
    temp_home home;
    const std::vector<key_case> cases = {
        {":n, P and :p", two_files, {{":n", "", "wide.txt"},
                                     {"P", "line 1", "numbered200.txt"},
                                     {":n", "", "wide.txt"},
                                     {":p", "line 1", "numbered200.txt"}}},
        {":e examines a file", numbered,
         {{":e", "line 1", "Examine:"},
          {"wide.txt<enter>", "", "wide.txt"}}},
        {"E examines a file", two_files,
         {{"E", "line 1", "Examine:"},
          {"wide.txt<enter>", "", "wide.txt"}}},
        {"^G and = switch the prompt", numbered,
         {{"<^G>", "", "numbered200.txt: file 1/1 line 23 col 0"},
          {"j=", "line 2", "numbered200.txt (1"},
          {"=", "", "line 24 col 0"}}},
        {"an unbound key", numbered,
         {{"x", "line 1", pressed("could not expand macro")},
          {"<enter>", "line 1", "numbered200.txt ("}}},
        {"l without hkey_scroll", numbered,
         {{"l", "", pressed("key not enabled")}}},
        {"/", numbered, {{"/", "", "Search: /"}}},
        {"n", numbered, {{"n", "", pressed("No previous regular expression")}}},
        {"m and '", numbered, {{"30g", "line 30", ""},
                                {"m", "", "set mark:"},
                                {"a", "line 30", "numbered200.txt ("},
                                {"g", "line 1", ""},
                                {"'", "", "goto mark:"},
                                {"a", "line 30", "numbered200.txt ("}}},
        {"t without a tag", numbered, {{"t", "", pressed("no next tag")}}},
        {"T without a tag", numbered, {{"T", "", pressed("no previous tag")}}},
    };
    run_cases(cases, home);
}

TEST(KeyScreen, FileListShowsTheCurrentFileInBrackets)
{
    temp_home home;
    vt_ptr s = start_at_line_1(home, two_files);
    ASSERT_TRUE(s);
    play(*s, ":a");
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) {
        for (int row = 0; row < BOTTOM; ++row)
            if (vt_row(v, row) == "[numbered200.txt] wide.txt")
                return true;
        return false;
    })) << vt_screen(*s);
    EXPECT_ROW(*s, BOTTOM, pressed(""));
    play(*s, "<enter>");
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_ROW(*s, 22, "line 23");
}

TEST(KeyScreen, QuitKeys)
{
    temp_home home;
    for (const char *keys : {"q", ":q", "ZZ"}) {
        SCOPED_TRACE(keys);
        vt_ptr s = start_at_line_1(home);
        ASSERT_TRUE(s);
        play(*s, keys);
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// ^L and r paint the screen again: the emulated screen is wiped behind the
// pager's back first, so only a real repaint brings the text back.
TEST(KeyScreen, RepaintKeys)
{
    temp_home home;
    for (const char *keys : {"<^L>", "r", "R"}) {
        SCOPED_TRACE(keys);
        vt_ptr s = start_pager(home, numbered, ROWS);
        ASSERT_TRUE(s);
        play(*s, "j");
        ASSERT_ROW(*s, 22, "line 24");
        static const char wipe[] = "\x1b[H\x1b[2J";
        vterm_input_write(s->vt, wipe, sizeof wipe - 1);
        ASSERT_EQ(vt_row(*s, 0), "");
        play(*s, keys);
        EXPECT_ROW(*s, 0, "line 2");
        EXPECT_ROW(*s, 22, "line 24");
    }
}

// Standard input cannot be handed to an editor: v says so.
TEST(KeyScreen, EditRefusesStandardInput)
{
    temp_home home;
    vt_options options;
    options.args = {"-e"};
    options.env = {{"HOME", home.path}};
    options.stdin_pipe = true;
    options.stdin_data = read_file(test_data("numbered200.txt"));
    vt_ptr s = vt_start(options);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "line 1");
    play(*s, "v");
    EXPECT_ROW(*s, BOTTOM, pressed("cannot edit standard input"));
}

// R reads the file again.
TEST(KeyScreen, FlushReadsTheChangedFile)
{
    temp_home home;
    std::string text;
    for (int i = 1; i <= 60; ++i)
        text += "old " + std::to_string(i) + "\n";
    home.write("changing.txt", text);
    vt_ptr s = start_pager(home, {"-e", home.path + "/changing.txt"}, ROWS);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "old 1");
    std::string changed;
    for (int i = 1; i <= 60; ++i)
        changed += "new " + std::to_string(i) + "\n";
    home.write("changing.txt", changed);
    play(*s, "R");
    EXPECT_ROW(*s, 0, "new 1");
    EXPECT_ROW(*s, 22, "new 23");
}

// Counts and key sequences: the count reaches the macro, erased digits
// leave no count, a prefix waits in bold, a 20th key is refused.
TEST(KeyScreen, CountsAndKeySequences)
{
    temp_home home;
    home.write(".vornrc",
               "macro 0 zzzzzzzzzzzzzzzzzzzzzzzzz 'goline 80'\n"
               "macro 0 yyyyyyyyyyyyyyyyyyy 'goline 90'\n");
    vt_ptr s = start_at_line_1(home, two_files);
    ASSERT_TRUE(s);
    std::string erase = erase_key(*s);

    play(*s, "12");
    ASSERT_ROW(*s, BOTTOM, "12");
    EXPECT_TRUE(vt_attr(*s, BOTTOM, 0).bold);
    play(*s, "j");
    EXPECT_ROW(*s, 0, "line 13");

    // digits erased one by one: no count is left
    play(*s, "45" + erase + erase);
    EXPECT_TRUE(vt_wait_contains(*s, BOTTOM, "numbered200.txt"));
    play(*s, "j");
    EXPECT_ROW(*s, 0, "line 14");

    // the erase key as the very first key is a key of its own: unbound,
    // it expands to no macro (the key that dismisses the message runs)
    play(*s, erase);
    EXPECT_ROW(*s, BOTTOM, pressed("could not expand macro"));
    play(*s, "j");
    EXPECT_ROW(*s, 0, "line 15");

    // a prefix of a macro waits, shown in bold; the next key runs it
    play(*s, ":");
    ASSERT_ROW(*s, BOTTOM, ":");
    EXPECT_TRUE(vt_attr(*s, BOTTOM, 0).bold);
    play(*s, "n");
    EXPECT_ROW_HAS(*s, BOTTOM, "wide.txt");
    play(*s, "P");
    ASSERT_ROW(*s, 0, "line 1");

    // a sequence of 19 keys is the longest that can be typed ...
    play(*s, std::string(19, 'y'));
    EXPECT_ROW(*s, 0, "line 90");
    // ... a 20th key is refused: erasing one key leaves 18
    play(*s, std::string(20, 'z'));
    ASSERT_ROW(*s, BOTTOM, std::string(19, 'z'));
    play(*s, erase);
    EXPECT_ROW(*s, BOTTOM, std::string(18, 'z'));
    play(*s, kill_key(*s));
    EXPECT_TRUE(vt_wait_contains(*s, BOTTOM, "numbered200.txt"));

    // a count typed before a key sequence reaches it: one file back from
    // the second is fine, two are too many
    play(*s, ":n");
    ASSERT_TRUE(vt_wait_contains(*s, BOTTOM, "wide.txt"));
    play(*s, "2:p");
    EXPECT_ROW(*s, BOTTOM, pressed("No (N-th) previous file"));
}

// The terminal's kill, erase and word-erase characters are keys like any
// other where nothing is typed: the kill character (^U on Linux) goes back
// half a screen as u does, and a script's bindings of the erase and
// word-erase characters run.  While a count is typed they edit it.
TEST(KeyScreen, EditingCharactersAreKeysWhenNothingIsTyped)
{
    temp_home home;
    // Both usual erase characters (DEL and ^H) are bound, whichever the
    // pseudo-terminal has.
    home.write(".vornrc", "macro 0 \"\x7f\" 'goline 30'\n"
                          "macro 0 \"\b\" 'goline 30'\n"
                          "macro 0 \"\x17\" 'goline 40'\n");
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    ASSERT_EQ(kill_key(*s), "\x15");
    ASSERT_TRUE(erase_key(*s) == "\x7f" || erase_key(*s) == "\b");
    ASSERT_EQ(werase_key(*s), "\x17");
    run_steps(*s, {
        {"100g", "line 100", ""},
        {kill_key(*s), "line 89", "numbered200.txt"},   // half of 23 rows
        {"u", "line 78", ""},
        {erase_key(*s), "line 30", ""},
        {werase_key(*s), "line 40", ""},
        // a count being typed is edited, not run
        {"15" + erase_key(*s) + "g", "line 1", ""},
        {"12" + kill_key(*s) + "j", "line 2", ""},
        {"34" + werase_key(*s) + "j", "line 3", ""},
    }, BOTTOM);
}

// The first key of a sequence is echoed where the prompt ends: after a
// prompt that fills the bottom line, a key shown as ^X must not wrap onto
// a new row, which would scroll the text up by one.
TEST(KeyScreen, KeyAfterAFullPromptKeepsTheText)
{
    temp_home home;
    vt_ptr s = start_at_line_1(home, numbered, 30);
    ASSERT_TRUE(s);
    play(*s, "\x07");      // the long prompt, cut to the line
    ASSERT_TRUE(vt_wait_contains(*s, BOTTOM, "numbered200.txt: file 1/1")) << vt_screen(*s);
    play(*s, "\x1b");      // the start of a key sequence, shown as ^[
    ASSERT_ROW(*s, BOTTOM, "^[");
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_ROW(*s, BOTTOM - 1, "line 23");
}

// A key that dismisses a message is the next command.
TEST(KeyScreen, MessageKeyRunsAsCommand)
{
    temp_home home;
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    play(*s, "x");
    ASSERT_ROW(*s, BOTTOM, pressed("could not expand macro"));
    play(*s, "j");
    EXPECT_ROW(*s, 0, "line 2");
    EXPECT_ROW_HAS(*s, BOTTOM, "numbered200.txt");
}

// Horizontal keys on wide.txt: the top rows tell whether lines wrap (row 1
// continues line 1) and by how many columns they are shifted.
struct hscroll_case {
    const char *keys;
    bool wrap;
    int offset;
};

void expect_hscroll(vt_session &s, const std::vector<std::string> &lines,
                    bool wrap, int offset)
{
    std::string row1 = wrap ? lines[0].substr(80, 40) : lines[1].substr(offset, 40);
    EXPECT_TRUE(vt_wait(s, [&](vt_session &v) {
        return vt_row(v, 0).substr(0, 40) == lines[0].substr(offset, 40) &&
               vt_row(v, 1).substr(0, 40) == row1;
    })) << "wrap " << wrap << " offset " << offset << "\n" << vt_screen(s);
}

void run_hscroll_cases(const temp_home &home, const hscroll_case *cases,
                       size_t count)
{
    const std::vector<std::string> lines = fixture_lines("wide.txt");
    for (size_t i = 0; i < count; ++i) {
        const hscroll_case &c = cases[i];
        SCOPED_TRACE(c.keys);
        vt_ptr s = start_pager(home, {"-e", "wide.txt"}, ROWS);
        ASSERT_TRUE(s);
        expect_hscroll(*s, lines, true, 0);
        play(*s, c.keys);
        expect_hscroll(*s, lines, c.wrap, c.offset);
    }
}

TEST(KeyScreen, HorizontalKeys)
{
    temp_home home;
    const hscroll_case cases[] = {
        {"<tab>", false, 0},
        {"<tab><tab>", false, 8},
        {"<tab>3<tab>", false, 24},
        {"3<tab>", false, 0},       // the first only stops the wrapping
        {"<tab><tab><tab><backtab>", false, 8},
        {"<tab><tab><backtab><backtab>", true, 0},
        {"<right>", false, 0},
        // the top row held a later row of line 1: line 1 shows from its start
        {"j<right>", false, 0},
        {"jj<home><home>", false, 0},
        {"<right><right>", false, 1},
        {"<right>5<right><right>", false, 10},
        {"<right>5<right><right><left>", false, 5},
        {"<right><left><left>", true, 0},
        {"<home>", true, 0},        // the first press saves column 0
        {"<tab><tab><tab><home>", true, 0},
        {"<tab><tab><tab><home><home>", false, 16},
        {"<tab><tab><tab><home><home><home>", true, 0},
    };
    run_hscroll_cases(home, cases, sizeof cases / sizeof cases[0]);
}

TEST(KeyScreen, HAndLScrollWithHkeyScroll)
{
    temp_home home;
    home.write(".vornrc", "set hkey_scroll true\n");
    const hscroll_case cases[] = {
        {"l", false, 0},
        {"ll", false, 1},
        {"l4ll", false, 8},
        {"l4lh", false, 0},
        {"l4lhh", true, 0},
    };
    run_hscroll_cases(home, cases, sizeof cases / sizeof cases[0]);
}

// A window change or a stop while a key is awaited drops what was typed,
// and the screen is painted again for the window it now has.
TEST(KeyScreen, WindowChangeWhileWaitingForAKey)
{
    temp_home home;
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    play(*s, "12");
    ASSERT_ROW(*s, BOTTOM, "12");
    vt_resize(*s, 30, 80);
    EXPECT_ROW(*s, 28, "line 29");
    EXPECT_ROW_HAS(*s, 29, "numbered200.txt");
    play(*s, "j");
    EXPECT_ROW(*s, 0, "line 2");
    EXPECT_ROW(*s, 28, "line 30");
}

TEST(KeyScreen, SuspendWhileWaitingForAKey)
{
    temp_home home;
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    play(*s, "7");
    ASSERT_ROW(*s, BOTTOM, "7");
    vt_type(*s, std::string(1, static_cast<char>(vt_initial_tty(*s).c_cc[VSUSP])));
    ASSERT_TRUE(vt_wait_stopped(*s));
    static const char wipe[] = "\x1b[H\x1b[2J";
    vterm_input_write(s->vt, wipe, sizeof wipe - 1);
    vt_signal(*s, SIGCONT);
    EXPECT_ROW(*s, 0, "line 1");
    EXPECT_ROW_HAS(*s, BOTTOM, "numbered200.txt");
    play(*s, "j");
    EXPECT_ROW(*s, 0, "line 2");
}

// A signal while a message waits for its key must not turn into a key: the
// next key after the repaint is a command, not the dismissal of a message
// about a key nobody typed.
TEST(KeyScreen, SignalDuringMessageIsNoKey)
{
    temp_home home;
    vt_ptr s = start_at_line_1(home);
    ASSERT_TRUE(s);
    play(*s, "x");
    ASSERT_ROW(*s, BOTTOM, pressed("could not expand macro"));
    vt_resize(*s, 30, 80);
    ASSERT_TRUE(vt_wait_contains(*s, 29, "numbered200.txt"));
    play(*s, "<enter>");
    EXPECT_ROW(*s, 0, "line 2");
    EXPECT_ROW_HAS(*s, 29, "numbered200.txt");
}

}  // namespace
