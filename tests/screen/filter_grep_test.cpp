// The filtered view is the file grep selects: a generated file paged
// through a filter shows, after every key, the same text rows as the
// lines `grep -E` (or `grep -v` for an inverted filter, `-i` with -i)
// selects from it, paged without a filter, with the same keys.  Moves
// forward and backward by lines, pages, half screens and to either end,
// at several widths (long lines wrap), and with -s over runs of empty
// lines that hidden lines separate.
//
// The two pagers run side by side; after each key a binding shows a
// numbered message on both, so that the rows are compared only once each
// pager has done the key.
#include <stdlib.h>

#include <random>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

// Lines of words from a small set, of lengths from nothing to several rows
// of a narrow window, a few empty ones in runs.
std::string generated_text(unsigned seed, int lines)
{
    static const char *const words[] = {"alpha", "beta", "gamma", "delta", "42", "Gamma", "x"};
    std::mt19937 draw(seed);
    std::string text;
    for (int i = 0; i < lines; i++) {
        if (draw() % 8 == 0) {
            text.append(1 + draw() % 3, '\n');
            continue;
        }
        int count = static_cast<int>(draw() % 18);
        for (int w = 0; w <= count; w++) {
            if (w > 0)
                text += ' ';
            text += words[draw() % (sizeof words / sizeof words[0])];
        }
        text += '\n';
    }
    return text;
}

// The pager in `dir`, whose .vornrc binds X to show "sync N" for the count N.
vt_ptr start_synced(const temp_home &dir, const std::vector<std::string> &args, int cols)
{
    vt_options options;
    options.cols = cols;
    return start_in_dir(dir, args, options);
}

// Every text row of both screens, once both show the message of step `n`.
::testing::AssertionResult same_rows(vt_session &filtered, vt_session &grepped, int n,
                                     int rows)
{
    std::string sync = "sync " + std::to_string(n);
    for (vt_session *s : {&filtered, &grepped})
        if (!vt_wait(*s, [&](vt_session &v) { return vt_row(v, rows - 1).find(sync) == 0; }))
            return ::testing::AssertionFailure() << "no \"" << sync << "\"\n" << vt_screen(*s);
    for (int row = 0; row < rows - 1; row++)
        if (vt_row(filtered, row) != vt_row(grepped, row))
            return ::testing::AssertionFailure()
                   << "row " << row << " differs\nfiltered:\n" << vt_screen(filtered)
                   << "grep:\n" << vt_screen(grepped);
    return ::testing::AssertionSuccess();
}

struct grep_case {
    const char *filter;         // as given to -&
    const char *grep_options;   // the same selection by grep
    const char *pattern;
    std::vector<std::string> options;   // for both pagers
};

TEST(FilterGrep, FilteredViewIsWhatGrepSelects)
{
    const std::vector<grep_case> cases = {
        {"gamma", "-E", "gamma", {}},
        {"!gamma", "-E -v", "gamma", {}},
        {"^beta|42$", "-E", "^beta|42$", {}},
        {"GAMMA", "-E -i", "GAMMA", {"-i"}},
        {"!^alpha", "-E -v", "^alpha", {"-s"}},
        {"!x$", "-E -v", "x$", {"-s"}},
    };
    const char *const moves[] = {"j", "k", " ", "b", "d", "u", "G", "g", "4j", "7k", "<pgdn>", "<pgup>"};
    const int rows = 24;
    unsigned seed = 1;
    for (const grep_case &c : cases) {
        for (int cols : {25, 37, 80}) {
            SCOPED_TRACE(std::string("filter ") + c.filter + " at " + std::to_string(cols) +
                         " columns");
            temp_home dir;
            dir.write("text", generated_text(seed++, 600));
            dir.write(".vornrc", "macro 0 X 'error \"sync ${number}\"'\n");
            std::string grep = "cd '" + dir.path + "' && LC_ALL=C grep " + c.grep_options +
                               " -e '" + c.pattern + "' text > selected";
            ASSERT_NE(system(grep.c_str()), -1);
            std::vector<std::string> with_filter = {"-e"}, plain = {"-e"};
            for (const std::string &option : c.options) {
                with_filter.push_back(option);
                plain.push_back(option);
            }
            with_filter.push_back(std::string("-&") + c.filter);
            with_filter.push_back("text");
            plain.push_back("selected");
            vt_ptr filtered = start_synced(dir, with_filter, cols);
            vt_ptr grepped = start_synced(dir, plain, cols);
            ASSERT_TRUE(filtered && grepped);
            std::mt19937 draw(seed);
            for (int n = 1; n <= 40; n++) {
                std::string keys = n == 1 ? "" : moves[draw() % (sizeof moves / sizeof moves[0])];
                SCOPED_TRACE("keys " + keys);
                for (vt_session *s : {filtered.get(), grepped.get()})
                    play(*s, keys + std::to_string(n) + "X");
                ASSERT_TRUE(same_rows(*filtered, *grepped, n, rows));
                for (vt_session *s : {filtered.get(), grepped.get()})
                    play(*s, "<enter>");
            }
        }
    }
}

}  // namespace
