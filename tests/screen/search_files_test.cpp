// Searching the whole file list: with a "*" typed first at the search
// prompt, or with searchfiles on (-a), a search that finds nothing more in
// the current file goes on into the next files (backward: the previous
// ones, from their ends), opens the one where a line qualifies and says so
// on the bottom line; when none has one, the file it began in is shown where
// it was.  Without either, the search stays in its file.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int ROWS = 24;
const int BOTTOM = ROWS - 1;

// Three files: no needle in a, one in b (line 30), two in c (10 and 40).
void write_files(temp_home &home)
{
    home.write("a", numbered_text(1, 100, "alpha"));
    home.write("b", numbered_text(1, 29, "beta") + "needle b\n" + numbered_text(31, 100, "beta"));
    home.write("c", numbered_text(1, 9, "gamma") + "needle c1\n" + numbered_text(11, 39, "gamma") +
                        "needle c2\n" + numbered_text(41, 100, "gamma"));
    home.write(".vornrc", "macro 0 x 'searchfiles (${_searchfiles_n} + 1)'\n"
                          "macro 0 w 'error \"files ${_searchfiles_s}\"'\n");
}

vt_ptr start(const temp_home &home, const std::vector<std::string> &args)
{
    vt_options options;
    options.unset_env = {"VORN"};
    options.rows = ROWS;
    return start_in_dir(home, args, options);
}

struct files_case {
    const char *name;
    std::vector<std::string> args;
    std::vector<key_step> steps;
};

TEST(SearchFiles, GoesOnIntoTheOtherFiles)
{
    temp_home home;
    write_files(home);
    const std::vector<std::string> abc = {"-e", "a", "b", "c"};
    const std::vector<std::string> with_setting = {"-e", "-a", "a", "b", "c"};
    const files_case cases[] = {
        {"the current file only, by default", abc,
         {{"/needle\n", "alpha 1", "Pattern not found"}}},
        {"a star first goes on, and so do its repeats", abc,
         {{"/*needle\n", "needle b", "Found in b (file 2 of 3)"},
          {"n", "needle c1", "Found in c (file 3 of 3)"},
          {"n", "needle c2", ""},
          {"n", "needle c2", "Pattern not found"}}},
        {"the setting, forward and backward", with_setting,
         {{"/needle\n", "needle b", "Found in b (file 2 of 3)"},
          {"n", "needle c1", "Found in c (file 3 of 3)"},
          {"?needle\n", "needle b", "Found in b (file 2 of 3)"},
          {"N", "needle c1", "Found in c (file 3 of 3)"}}},
        {"nothing anywhere: back where it began", with_setting,
         {{"10g", "alpha 10", ""}, {"/nowhere\n", "alpha 10", "Pattern not found"}}},
        {"a star with the sense: lines that do not match", abc,
         {{"/!*alpha\n", "beta 1", "Found in b (file 2 of 3)"}}},
    };
    for (const files_case &c : cases) {
        SCOPED_TRACE(c.name);
        vt_ptr s = start(home, c.args);
        ASSERT_TRUE(s);
        ASSERT_TRUE(vt_wait_row(*s, 0, "alpha 1")) << vt_screen(*s);
        run_steps(*s, c.steps, BOTTOM);
    }
}

TEST(SearchFiles, CommandAndToggle)
{
    temp_home home;
    write_files(home);
    vt_ptr s = start(home, {"-e", "a", "b", "c"});
    ASSERT_TRUE(s);
    ASSERT_TRUE(vt_wait_row(*s, 0, "alpha 1")) << vt_screen(*s);
    const std::vector<key_step> steps = {
        {"w", "alpha 1", pressed("files off")},
        {"<enter>x/needle\n", "needle b", "Found in b (file 2 of 3)"},
        {"w", "needle b", pressed("files on")},
        {"<enter>x:p/needle\n", "alpha 1", "Pattern not found"},
    };
    run_steps(*s, steps, BOTTOM);
}

}  // namespace
