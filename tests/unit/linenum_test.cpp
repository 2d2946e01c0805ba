// The line-number cache over real files: numbers of line starts and of
// positions inside lines, the direction of the walk, eviction by the
// smallest gap, -n, pending signals, and long lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view_setup.h"

namespace {

// A position far beyond every fixture: a lookup that leaves the read
// position here did not walk the file.
const file_pos UNTOUCHED = 50000000;

// Line k of the numbered fixture starts at 10 * (k - 1).
file_pos start_of(int line)
{
    return 10 * static_cast<file_pos>(line - 1);
}

class LinenumTest : public ::testing::Test {
protected:
    temp_dir dir;
    void SetUp() override
    {
        reset_view_settings(24, 80);
        open_view_file(dir, ten_byte_lines(10000));
    }
    void TearDown() override { close_view_input(); }

    // Whether the cache knew `pos` without walking.  A miss records a new
    // pair, so probe the expected hits first.
    static bool known(file_pos pos, int line)
    {
        EXPECT_EQ(cache_seek(UNTOUCHED), 0);
        EXPECT_EQ(linenum_find(pos), line) << "position " << pos;
        return cache_tell() == UNTOUCHED;
    }
};

TEST_F(LinenumTest, NumbersOfPositions)
{
    struct find_case {
        file_pos pos;
        int line;
    };
    const std::vector<find_case> cases = {
        {0, 1},
        {-1, 0},
        {start_of(300), 300},
        {start_of(7) + 4, 7},           // inside a line
        {start_of(9999) + 9, 9999},     // its newline
        {100000, 10001},                // the end of the input
        {100001, 0},                    // beyond it
        {start_of(150), 150},           // between known pairs
    };
    for (const find_case &c : cases)
        EXPECT_EQ(linenum_find(c.pos), c.line) << "position " << c.pos;
    EXPECT_TRUE(known(0, 1));
    EXPECT_TRUE(known(start_of(300), 300));
    EXPECT_TRUE(known(start_of(150), 150));
}

TEST_F(LinenumTest, NearerDirectionRecordsItsLine)
{
    struct direction_case {
        const char *what;
        file_pos target;
        int line;
        file_pos recorded;      // the pair the walk leaves behind
        file_pos not_recorded;
    };
    // known: line 100 at 990, line 201 at 2000
    const std::vector<direction_case> cases = {
        {"halfway walks backward", 1495, 150, start_of(150), start_of(151)},
        {"nearer the front walks forward", 1494, 150, start_of(151), start_of(150)},
        {"just after a known start", 995, 100, start_of(101), start_of(100) + 1},
    };
    for (const direction_case &c : cases) {
        SCOPED_TRACE(c.what);
        linenum_clear();
        linenum_add(100, start_of(100));
        linenum_add(201, start_of(201));
        EXPECT_EQ(linenum_find(c.target), c.line);
        int recorded_line = static_cast<int>(c.recorded / 10 + 1);
        EXPECT_TRUE(known(c.recorded, recorded_line));
        EXPECT_TRUE(known(start_of(100), 100));
        EXPECT_TRUE(known(start_of(201), 201));
        EXPECT_FALSE(known(c.not_recorded, static_cast<int>(c.not_recorded / 10 + 1)));
    }
}

TEST_F(LinenumTest, FullListDropsTheEntryWithTheClosestNeighbours)
{
    struct eviction_case {
        const char *what;
        std::vector<int> lines;     // recorded in this order
        int victim;
    };
    std::vector<int> every_hundred;     // lines 100, 200, ..., 4900
    for (int line = 100; line <= 4900; line += 100)
        every_hundred.push_back(line);
    auto with = [](std::vector<int> lines, int extra) {
        lines.push_back(extra);
        return lines;
    };
    std::vector<int> crowded;           // 100 .. 4800 and 2505: 49 entries
    for (int line = 100; line <= 4800; line += 100)
        crowded.push_back(line);
    crowded.push_back(2505);
    std::vector<int> even;              // lines 2 .. 50: equal gaps
    for (int line = 2; line <= 50; line++)
        even.push_back(line);

    const std::vector<eviction_case> cases = {
        {"the new entry itself", with(every_hundred, 2550), 2550},
        {"an older entry", with(crowded, 4900), 2505},
        {"never the last entry", with(every_hundred, 4910), 4900},
        {"the last of equal gaps", with(even, 100), 49},
    };
    for (const eviction_case &c : cases) {
        SCOPED_TRACE(c.what);
        linenum_clear();
        for (int line : c.lines)
            linenum_add(line, start_of(line));
        for (int line : c.lines) {
            if (line != c.victim) {
                EXPECT_TRUE(known(start_of(line), line)) << "line " << line;
            }
        }
        EXPECT_FALSE(known(start_of(c.victim), c.victim));
    }
}

TEST_F(LinenumTest, OffWithOptionN)
{
    show_line_numbers = 0;
    for (file_pos pos : {file_pos{0}, start_of(5), file_pos{-1}, file_pos{100000}}) {
        ASSERT_EQ(cache_seek(UNTOUCHED), 0);
        EXPECT_EQ(linenum_find(pos), 0);
        EXPECT_EQ(cache_tell(), UNTOUCHED) << "the file was read";
    }
    EXPECT_EQ(linenum_current(SCREEN_BOTTOM), 0);
}

TEST_F(LinenumTest, PendingSignalGivesNothingAndRecordsNothing)
{
    pending_signals = PENDING_STOP;
    EXPECT_EQ(linenum_find(start_of(400)), 0);
    pending_signals = 0;
    EXPECT_FALSE(known(start_of(400), 400));
}

TEST_F(LinenumTest, PairsWithoutANumberAreIgnored)
{
    linenum_add(0, start_of(500));
    EXPECT_EQ(linenum_find(start_of(501)), 501);
}

TEST_F(LinenumTest, CurrentRow)
{
    open_view_file(dir, "a\nb\nc\n", "short");
    pos_reset();
    EXPECT_EQ(linenum_current(SCREEN_BOTTOM), 4);   // empty row: the end
    for (file_pos p : {0, 2, 4, 6})
        pos_push_bottom(p);
    EXPECT_EQ(linenum_current(SCREEN_BOTTOM), 3);
    EXPECT_EQ(linenum_current(SCREEN_AFTER_BOTTOM), 4);
}

// Numbers count newlines, also across lines longer than a block or than
// the raw-line limit, in whatever order and direction the walks go.
TEST_F(LinenumTest, AgreesWithCountingNewlines)
{
    std::string text;
    unsigned seed = 12345;
    for (int i = 0; i < 400; i++) {
        seed = seed * 1103515245u + 12345u;
        size_t length = (seed >> 16) % 90;
        if (i % 97 == 5)
            length = 9000 + i;      // over the raw-line limit
        else if (i % 31 == 3)
            length = 1500;          // over a block
        text += std::string(length, static_cast<char>('a' + i % 26)) + "\n";
    }
    text += "no newline at the end";
    open_view_file(dir, text, "mixed");
    std::vector<int> line_at(text.size() + 1, 1);
    for (size_t i = 1; i <= text.size(); i++)
        line_at[i] = line_at[i - 1] + (text[i - 1] == '\n');

    for (int probe = 0; probe < 300; probe++) {
        seed = seed * 1103515245u + 12345u;
        size_t pos = (seed >> 8) % (text.size() + 1);
        ASSERT_EQ(linenum_find(static_cast<file_pos>(pos)), line_at[pos])
            << "position " << pos << ", probe " << probe;
    }
}

}  // namespace
