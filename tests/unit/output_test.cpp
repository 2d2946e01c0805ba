// The output buffer, written to a real file standing in for descriptor 1.
#include <gtest/gtest.h>

#include <string>

#include "display/display.h"
#include "terminal/terminal.h"
#include "test_files.h"

namespace {

TEST(OutputBuffer, WritesOnlyWhenFullOrFlushed)
{
    // After n calls of out_char, what has reached descriptor 1 before and
    // after the flush.
    struct {
        int chars;
        size_t before_flush;
    } cases[] = {{0, 0}, {1, 0}, {2048, 0}, {2049, 2048}, {4096, 2048}, {4097, 4096}};
    for (const auto &c : cases) {
        out_discard();
        fd_capture out = start_capture(1);
        std::string sent;
        for (int i = 0; i < c.chars; i++) {
            out_char('a' + i % 26);
            sent += static_cast<char>('a' + i % 26);
        }
        std::string before = captured_so_far(out);
        out_flush();
        std::string after = end_capture(out);
        EXPECT_EQ(before, sent.substr(0, c.before_flush)) << c.chars << " chars";
        EXPECT_EQ(after, sent) << c.chars << " chars";
    }
}

TEST(OutputBuffer, DiscardDropsWhatIsBuffered)
{
    out_discard();
    fd_capture out = start_capture(1);
    out_str("dropped");
    out_discard();
    out_str("kept");
    out_flush();
    EXPECT_EQ(end_capture(out), "kept");
}

TEST(OutputBuffer, FailedWriteAsksForARepaintAndLosesTheBytes)
{
    struct {
        const char *device;
        int repaint;
    } cases[] = {{"/dev/null", 0}, {"/dev/full", 1}};
    for (const auto &c : cases) {
        out_discard();
        repaint_done();
        fflush(stdout);
        int saved = dup(1);
        int device = open(c.device, O_WRONLY);
        ASSERT_GE(device, 0);
        dup2(device, 1);
        out_str("screen text");
        out_flush();
        dup2(saved, 1);
        close(saved);
        close(device);
        EXPECT_EQ(repaint_requested(), c.repaint != 0) << c.device;
        fd_capture out = start_capture(1);
        out_flush();
        EXPECT_EQ(end_capture(out), "") << "nothing is retried after " << c.device;
    }
    repaint_done();
}

TEST(OutputBuffer, VisibleFormShowsControlBytesWithACaret)
{
    struct {
        std::string text;
        std::string shown;
        int carets;
    } cases[] = {
        {"plain text", "plain text", 0},
        {"", "", 0},
        {"a\x01z", "a^Az", 1},
        {"\x7f", "^?", 1},
        {"\t\x1b", "^I^[", 2},
        {"\x80", "^@", 1},
        {"\x81\xff", "^A^?", 2},
        {"\xc1", "^A", 1},
        {"\xe9t\xe9", "^it^i", 2},
    };
    for (const auto &c : cases) {
        out_discard();
        fd_capture out = start_capture(1);
        int carets = out_visible(c.text.c_str());
        out_flush();
        EXPECT_EQ(end_capture(out), c.shown) << c.text;
        EXPECT_EQ(carets, c.carets) << c.text;
    }
}

TEST(OutputBuffer, SinkForControlSequencesPassesTheByteThrough)
{
    out_discard();
    fd_capture out = start_capture(1);
    EXPECT_EQ(out_char_sink('\x1b'), '\x1b');
    EXPECT_EQ(out_char_sink(0xff), 0xff);
    out_flush();
    EXPECT_EQ(end_capture(out), "\x1b\xff");
}

} // namespace
