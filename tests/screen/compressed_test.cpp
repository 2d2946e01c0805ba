// Compressed files on a real terminal: a gzip file (made here with zlib)
// is paged as its text, with moves, the end, line numbers, searches and
// marks across its many blocks (also once it was opened again); a file cut short shows its text up to the
// cut and says so; recognition off (-Z, VORN, the decompress command in a
// start-up script) shows the raw bytes.  The screen is 24 rows: 23 of text.
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;
const int LINES = 30000;

// "line 1" to "line LINES", gzip-compressed, as `name` in the home (only
// its first `keep` bytes, when given).
void write_compressed(const temp_home &home, const std::string &name, off_t keep = 0)
{
    std::string path = home.path + "/" + name;
    std::string text = numbered_text(1, LINES);
    gzFile out = gzopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr) << path;
    EXPECT_EQ(gzwrite(out, text.data(), static_cast<unsigned>(text.size())),
              static_cast<int>(text.size()));
    EXPECT_EQ(gzclose(out), Z_OK);
    if (keep != 0) {
        EXPECT_EQ(truncate(path.c_str(), keep), 0);
    }
}

vt_ptr start(const temp_home &home, const std::vector<std::string> &args,
             const char *vorn = nullptr)
{
    vt_options options;
    if (vorn != nullptr)
        options.env.emplace_back("VORN", vorn);
    return start_in_dir(home, args, options);
}

TEST(Compressed, PagedAsItsText)
{
    temp_home home;
    write_compressed(home, "numbers.gz");
    struct step {
        const char *keys;
        const char *top;        // the top row after them
        const char *somewhere;  // a row showing this, or null
    };
    const step steps[] = {
        {"", "line 1", nullptr},
        {"G", "line 29978", "line 30000"},
        {"1000g", "line 1000", nullptr},
        {"ma", "line 1000", nullptr},
        {"/^line 2[5]123$<enter>", nullptr, "line 25123"},
        {"'a", "line 1000", nullptr},
        {"g", "line 1", nullptr},
        // opened again, the text is read on as far as the mark
        {":n", nullptr, "plain text"},
        {"'a", "line 1000", nullptr},
        {":n'a", "line 1000", nullptr},
        {"20000g", "line 20000", nullptr},
    };
    home.write("plain.txt", "plain text\n");
    vt_ptr s = start(home, {"-e", "numbers.gz", "plain.txt"});
    ASSERT_TRUE(s);
    for (const step &st : steps) {
        SCOPED_TRACE(st.keys);
        play(*s, st.keys);
        if (st.top != nullptr) {
            EXPECT_ROW(*s, 0, st.top);
        }
        if (st.somewhere != nullptr) {
            EXPECT_TRUE(shows_line(*s, st.somewhere));
        }
    }
    // the long prompt counts the lines of the text, not of the file
    play(*s, "=");
    EXPECT_ROW_HAS(*s, BOTTOM, "line 20022");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Compressed, LineNumbersBesideTheText)
{
    temp_home home;
    write_compressed(home, "numbers.gz");
    vt_ptr s = start(home, {"-e", "-N", "numbers.gz"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "      1 line 1");
    play(*s, "G");
    EXPECT_ROW(*s, BOTTOM - 1, "  30000 line 30000");
    play(*s, "g/^line 12345$<enter>");
    EXPECT_TRUE(shows_line(*s, "  12345 line 12345"));
}

// The text up to the cut, then the message; the end stays where the text
// ends, and nothing of the compressed bytes shows.
TEST(Compressed, CutShortShowsTheTextAndSaysWhere)
{
    temp_home home;
    const off_t keep = 40000;
    write_compressed(home, "cut.gz", keep);
    vt_ptr s = start(home, {"-e", "cut.gz"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "line 1");
    play(*s, "G");
    EXPECT_ROW_HAS(*s, BOTTOM, "truncated gzip data at byte " + std::to_string(keep));
    play(*s, "<enter>");
    ASSERT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_row(v, BOTTOM) == "cut.gz: END"; }))
        << vt_screen(*s);
    // the rows of the end are lines of the text in order, the last one
    // the beginning of the line the cut came in
    std::string first = vt_row(*s, 0);
    ASSERT_EQ(first.rfind("line ", 0), 0u) << vt_screen(*s);
    int top = std::stoi("0" + first.substr(5));
    EXPECT_GT(top, 1000);
    for (int row = 1; row < BOTTOM - 1; row++)
        EXPECT_EQ(vt_row(*s, row), "line " + std::to_string(top + row));
    std::string cut_line = "line " + std::to_string(top + BOTTOM - 1);
    std::string last = vt_row(*s, BOTTOM - 1);
    EXPECT_TRUE(!last.empty() && cut_line.rfind(last, 0) == 0) << vt_screen(*s);
}

// Recognition off shows the file's own first bytes (0x1f first, shown as
// ^_); each way of turning it off, and on again after the option.
TEST(Compressed, RecognitionOffShowsTheBytes)
{
    struct off_case {
        const char *name;
        std::vector<std::string> args;
        const char *vorn;
        const char *vornrc;
        bool raw;
    };
    const off_case cases[] = {
        {"default", {"-e", "numbers.gz"}, nullptr, nullptr, false},
        {"-Z", {"-e", "-Z", "numbers.gz"}, nullptr, nullptr, true},
        {"VORN=-Z", {"-e", "numbers.gz"}, "-Z", nullptr, true},
        {"script off", {"-e", "numbers.gz"}, nullptr, "decompress off\n", true},
        {"script on after -Z", {"-e", "-Z", "numbers.gz"}, nullptr, "decompress on\n", false},
        {"toggle read by a binding", {"-e", "-Z", "numbers.gz"}, nullptr,
         "decompress (${_decompress_n} - 1)\n", false},
    };
    for (const off_case &c : cases) {
        SCOPED_TRACE(c.name);
        temp_home home;
        write_compressed(home, "numbers.gz");
        if (c.vornrc != nullptr)
            home.write(".vornrc", c.vornrc);
        vt_ptr s = start(home, c.args, c.vorn);
        ASSERT_TRUE(s);
        if (c.raw) {
            EXPECT_TRUE(vt_wait(*s, [](vt_session &v) { return vt_row(v, 0).rfind("^_", 0) == 0; }))
                << vt_screen(*s);
        } else {
            EXPECT_ROW(*s, 0, "line 1");
        }
    }
}

} // namespace
