// The screen position table: its special rows, pushes at both ends,
// compaction, the row of a position, and growth with the window.
#include <gtest/gtest.h>

#include <vector>

#include "display/display.h"
#include "terminal/terminal.h"

namespace {

// Fills the table from the top with `entries` (the rest stays empty).
void fill(const std::vector<file_pos> &entries)
{
    pos_reset();
    for (file_pos p : entries)
        pos_push_bottom(p);
    pos_compact();
}

std::vector<file_pos> table()
{
    std::vector<file_pos> entries;
    for (int row = 0; row < screen_height; row++)
        entries.push_back(screen_pos(row));
    return entries;
}

class PositionTest : public ::testing::Test {
protected:
    void SetUp() override { screen_height = 24; }
};

TEST_F(PositionTest, SpecialRows)
{
    pos_reset();
    EXPECT_GE(position_capacity, 25);
    for (int row = 0; row < 24; row++)
        pos_push_bottom(100 * row);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 0);
    EXPECT_EQ(screen_pos(SCREEN_BOTTOM), 2200);
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), 2300);
    EXPECT_EQ(screen_pos(SCREEN_MIDDLE), 1200);
    EXPECT_EQ(screen_pos(5), 500);
    // rows outside the table are empty, never read from beyond it
    EXPECT_EQ(screen_pos(24), -1);
    EXPECT_EQ(screen_pos(-7), -1);
    EXPECT_EQ(screen_pos(1 << 30), -1);
}

TEST_F(PositionTest, PushesDropTheFarEnd)
{
    pos_reset();
    for (int row = 0; row < 24; row++)
        pos_push_bottom(10 * row);
    pos_push_bottom(240);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 10);      // entry 0 was dropped
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), 240);
    pos_push_top(5);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 5);
    EXPECT_EQ(screen_pos(1), 10);
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), 230);    // 240 was dropped
}

TEST_F(PositionTest, CompactMovesFilledEntriesToTheTop)
{
    pos_reset();
    pos_push_bottom(0);
    pos_push_bottom(4);
    pos_push_bottom(9);
    pos_push_bottom(15);
    EXPECT_EQ(screen_pos(SCREEN_TOP), -1);
    pos_compact();
    std::vector<file_pos> expected(24, -1);
    expected[0] = 0;
    expected[1] = 4;
    expected[2] = 9;
    expected[3] = 15;
    EXPECT_EQ(table(), expected);

    pos_reset();
    pos_compact();
    EXPECT_EQ(table(), std::vector<file_pos>(24, -1));
}

TEST_F(PositionTest, RowOfAPosition)
{
    // a three-line file: line starts 0, 4, 9 and the end at 15
    fill({0, 4, 9, 15});
    struct row_case {
        file_pos pos;
        int row;
    };
    const std::vector<row_case> cases = {
        {0, 0}, {3, 0}, {4, 1}, {10, 2}, {14, 2},
        {15, -1},   // the end of the input is on no row
        {99, -1},
    };
    for (const row_case &c : cases)
        EXPECT_EQ(pos_row_of(c.pos), c.row) << "position " << c.pos;

    fill({100, 200});
    EXPECT_EQ(pos_row_of(50), -1);      // above the top row

    pos_reset();
    for (file_pos p : {0, 4, 9, 15, 1000})
        EXPECT_EQ(pos_row_of(p), -1);

    // rows not painted show nothing, even below a greater entry
    pos_reset();
    pos_push_bottom(40);
    pos_push_bottom(50);
    EXPECT_EQ(pos_row_of(10), -1);
    EXPECT_EQ(pos_row_of(45), 22);
}

TEST_F(PositionTest, TableFollowsTheWindowSize)
{
    screen_height = 40;
    pos_reset();
    EXPECT_GE(position_capacity, 40);
    int capacity = position_capacity;
    for (int row = 0; row < 40; row++)
        pos_push_bottom(row);

    screen_height = 30;
    pos_reset();
    EXPECT_EQ(position_capacity, capacity);     // never shrinks
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), -1);

    // a taller window: the table grows before any access, new rows empty
    screen_height = 90;
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), -1);
    EXPECT_GE(position_capacity, 90);
    for (int row = 0; row < 90; row++)
        pos_push_bottom(row);
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), 89);
    EXPECT_EQ(screen_pos(SCREEN_TOP), 0);

    screen_height = 120;
    pos_push_top(-5);
    EXPECT_EQ(screen_pos(SCREEN_TOP), -5);
    EXPECT_EQ(screen_pos(SCREEN_AFTER_BOTTOM), -1);     // never written
    EXPECT_EQ(screen_pos(90), 89);
}

// A screen of one row has no text row: nothing may be read or written
// outside the table.
TEST_F(PositionTest, DegenerateScreens)
{
    for (int rows : {1, 0, -1}) {
        SCOPED_TRACE(rows);
        screen_height = rows;
        pos_reset();
        pos_push_bottom(7);
        pos_push_top(3);
        pos_compact();
        EXPECT_EQ(screen_pos(SCREEN_BOTTOM), -1);
        EXPECT_EQ(pos_row_of(3), -1);
    }
}

}  // namespace
