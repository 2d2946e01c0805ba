// The line-number cache over real files: numbers of line starts and of
// positions inside lines, the direction of the walk, eviction by the
// smallest gap, -n, pending signals, and long lines.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "view_setup.h"

namespace {

// Line k of the numbered fixture starts at 10 * (k - 1).
file_pos start_of(int line)
{
    return 10 * static_cast<file_pos>(line - 1);
}

class LinenumTest : public ::testing::Test {
protected:
    temp_dir dir;
    const std::string text = ten_byte_lines(10000);
    void SetUp() override
    {
        reset_view_settings(24, 80);
        open_view_file(dir, text);
    }
    void TearDown() override { close_view_input(); }

    // Whether the list knew the line of `pos`: asked while the file is
    // empty, only a known pair gives a number; a walk finds nothing and
    // records nothing.
    bool known(file_pos pos, int line)
    {
        std::string path = dir.path + "/input";
        EXPECT_EQ(truncate(path.c_str(), 0), 0);
        cache_init(0);
        int found = linenum_find(pos);
        dir.write("input", text);
        cache_init(0);
        EXPECT_TRUE(found == 0 || found == line) << "position " << pos << ": " << found;
        return found == line;
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
        EXPECT_FALSE(known(c.not_recorded, static_cast<int>(c.not_recorded / 10 + 1)));
        int recorded_line = static_cast<int>(c.recorded / 10 + 1);
        EXPECT_TRUE(known(c.recorded, recorded_line));
        EXPECT_TRUE(known(start_of(100), 100));
        EXPECT_TRUE(known(start_of(201), 201));
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

// A file cut short: the pairs at and beyond the cut go back to the pool,
// the ones before it stay, and the pool serves a full list again.
TEST_F(LinenumTest, PairsBeyondACutAreForgotten)
{
    for (int line : {100, 200, 300})
        linenum_add(line, start_of(line));
    linenum_forget_from(start_of(200));
    EXPECT_TRUE(known(start_of(100), 100));
    EXPECT_FALSE(known(start_of(200), 200));
    EXPECT_FALSE(known(start_of(300), 300));
    for (int line = 1000; line < 1000 + 2 * LINENUM_POOL_SIZE; line++)
        linenum_add(line, start_of(line));
    EXPECT_TRUE(known(start_of(1000 + 2 * LINENUM_POOL_SIZE - 1), 1000 + 2 * LINENUM_POOL_SIZE - 1));
    linenum_forget_from(0);
    EXPECT_FALSE(known(start_of(100), 100));
    EXPECT_EQ(linenum_find(start_of(100)), 100);
}

// A file that grows while followed: the number of its new last line is
// counted on from the number known at its old end, reading the new text
// only, not again from the top.
TEST_F(LinenumTest, AGrowingFileIsCountedOnFromItsOldEnd)
{
    file_pos old_end = static_cast<file_pos>(text.size());
    ASSERT_EQ(linenum_find(old_end - 1), 10000);
    std::string more;
    for (int i = 10001; i <= 10100; i++)
        more += std::to_string(1000000000 + i).substr(1) + "\n";
    FILE *log = fopen((dir.path + "/input").c_str(), "ab");
    ASSERT_NE(log, nullptr);
    fputs(more.c_str(), log);
    fclose(log);
    int64_t read_before = input_bytes_read;
    EXPECT_EQ(linenum_find(old_end + static_cast<file_pos>(more.size()) - 1), 10100);
    EXPECT_LT(input_bytes_read - read_before, 8 * 1024) << "read again from the top";
}

TEST_F(LinenumTest, OffWithOptionN)
{
    linenum_add(5, start_of(5));
    show_line_numbers = 0;
    for (file_pos pos : {file_pos{0}, start_of(5), start_of(7), file_pos{100000}})
        EXPECT_EQ(linenum_find(pos), 0) << "position " << pos;
    EXPECT_EQ(linenum_current(SCREEN_BOTTOM), 0);
}

TEST_F(LinenumTest, PendingSignalGivesNothingAndRecordsNothing)
{
    pending_signals = PENDING_STOP;
    EXPECT_EQ(linenum_find(start_of(400)), 0);
    pending_signals = 0;
    EXPECT_FALSE(known(start_of(400), 400));
}

TEST_F(LinenumTest, NumbersOutsideTheRange)
{
    // a pair without a number carries nothing to count on from
    linenum_add(0, start_of(500));
    EXPECT_EQ(linenum_find(start_of(501)), 501);
    // past the largest int the number is not known
    linenum_add(INT_MAX - 1, start_of(9000));
    EXPECT_EQ(linenum_find(start_of(9001)), INT_MAX);
    EXPECT_EQ(linenum_find(start_of(9002)), 0);
    EXPECT_EQ(linenum_find(start_of(9001) + 5), INT_MAX);
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

// Lines of pseudo-random lengths, with some over a block and some over the
// raw-line limit, and no newline at the end.
std::string mixed_lines(int count, unsigned seed)
{
    std::string text;
    for (int i = 0; i < count; i++) {
        seed = seed * 1103515245u + 12345u;
        size_t length = (seed >> 16) % 90;
        if (i % 151 == 5)
            length = 9000 + i;      // over the raw-line limit
        else if (i % 31 == 3)
            length = 1500;          // over a block
        text += std::string(length, static_cast<char>('a' + i % 26)) + "\n";
    }
    return text + "no newline at the end";
}

// Numbers count newlines, also across lines longer than a block or than
// the raw-line limit, in whatever order and direction the walks go, from a
// file and from a pipe.
TEST_F(LinenumTest, AgreesWithCountingNewlines)
{
    struct input_case {
        const char *what;
        bool pipe;
        int lines;
        size_t min_size;    // so that the walks cross what they must
    };
    const std::vector<input_case> cases = {
        {"file", false, 2000, 0},
        {"file longer than a counted stretch", false, 9000, 1u << 20},
        {"pipe", true, 300, 0},
    };
    for (const input_case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string mixed = mixed_lines(c.lines, 12345);
        ASSERT_GT(mixed.size(), c.min_size);
        if (c.pipe) {
            ASSERT_LT(mixed.size(), 60000u);    // fits into the pipe
            open_view_pipe(mixed);
        } else {
            open_view_file(dir, mixed, "mixed");
        }
        std::vector<int> line_at(mixed.size() + 1, 1);
        for (size_t i = 1; i <= mixed.size(); i++)
            line_at[i] = line_at[i - 1] + (mixed[i - 1] == '\n');

        unsigned seed = 777;
        for (int probe = 0; probe < 300; probe++) {
            seed = seed * 1103515245u + 12345u;
            size_t pos = (seed >> 8) % (mixed.size() + 1);
            ASSERT_EQ(linenum_find(static_cast<file_pos>(pos)), line_at[pos])
                << "position " << pos << ", probe " << probe;
        }
    }
}

// A line far longer than anything read past the position asked about (a
// device's endless line is the extreme): its number comes without reading
// it to its end, the line's start is recorded, and positions after it are
// still counted right.
TEST_F(LinenumTest, LineTooLongToReadToItsEnd)
{
    const std::string long_line = "1" + std::string(8 << 20, 'x') + "\n";
    open_view_file(dir, ten_byte_lines(3) + long_line + ten_byte_lines(2));
    const file_pos long_start = start_of(4);
    int64_t before = input_bytes_read;
    EXPECT_EQ(linenum_find(long_start + 1000), 4);
    EXPECT_LT(input_bytes_read - before, 4 << 20);
    before = input_bytes_read;
    EXPECT_EQ(linenum_find(long_start), 4);
    EXPECT_EQ(input_bytes_read, before) << "the line's start was not recorded";
    EXPECT_EQ(linenum_find(long_start + static_cast<file_pos>(long_line.size())), 5);
}

}  // namespace
