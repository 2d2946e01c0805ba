#include <gtest/gtest.h>

#include "display/display.h"
#include "terminal/terminal.h"

TEST(Smoke, LibraryLinks)
{
    EXPECT_EQ(OUT_BUFFER_SIZE, 2048);
}
