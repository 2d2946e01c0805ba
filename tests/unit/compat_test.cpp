// The stand-ins for the BSD interfaces: lines with their length, streams fed
// by a function, realloc that frees, and the signal mask as an int.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "compat/compat.h"

namespace {

std::vector<std::string> all_lines(FILE *stream)
{
    std::vector<std::string> lines;
    size_t length;
    char *line;
    while ((line = fgetln(stream, &length)) != nullptr)
        lines.emplace_back(line, length);
    return lines;
}

TEST(Compat, FgetlnKeepsNewlinesAndNulBytes)
{
    struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"one\ntwo\n", {"one\n", "two\n"}},
        {"last has none", {"last has none"}},
        {"\n\nx", {"\n", "\n", "x"}},
        {std::string("a\0b\nc", 5), {std::string("a\0b\n", 4), "c"}},
        {std::string(10000, 'L') + "\n", {std::string(10000, 'L') + "\n"}},
    };
    for (const auto &c : cases) {
        FILE *stream = c.text.empty()
                           ? fopen("/dev/null", "r")
                           : fmemopen(const_cast<char *>(c.text.data()), c.text.size(), "r");
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(all_lines(stream), c.lines) << c.text.substr(0, 20);
        fclose(stream);
    }
}

TEST(Compat, FgetlnLinesOfTwoStreamsDoNotOverwriteEachOther)
{
    // A script that reads another script while its own line is in use.
    char outer_text[] = "outer 1\nouter 2\n";
    char inner_text[] = "inner 1\n";
    FILE *outer = fmemopen(outer_text, strlen(outer_text), "r");
    FILE *inner = fmemopen(inner_text, strlen(inner_text), "r");
    size_t outer_length, inner_length;
    char *outer_line = fgetln(outer, &outer_length);
    char *inner_line = fgetln(inner, &inner_length);
    ASSERT_NE(outer_line, nullptr);
    ASSERT_NE(inner_line, nullptr);
    EXPECT_EQ(std::string(outer_line, outer_length), "outer 1\n");
    EXPECT_EQ(std::string(inner_line, inner_length), "inner 1\n");
    fclose(inner);
    outer_line = fgetln(outer, &outer_length);
    ASSERT_NE(outer_line, nullptr);
    EXPECT_EQ(std::string(outer_line, outer_length), "outer 2\n");
    fclose(outer);
}

// Hands out the text of a `source` in pieces of at most `piece` bytes.
struct source {
    std::string text;
    size_t at;
    int piece;
    int calls;
};

int read_piece(void *cookie, char *buffer, int n)
{
    source *s = static_cast<source *>(cookie);
    s->calls++;
    size_t count = std::min({static_cast<size_t>(n), static_cast<size_t>(s->piece), s->text.size() - s->at});
    memcpy(buffer, s->text.data() + s->at, count);
    s->at += count;
    return static_cast<int>(count);
}

TEST(Compat, FunopenReadsWhatTheFunctionGives)
{
    for (int piece : {1, 3, 4096}) {
        source s{"first line\nsecond\nthird without end", 0, piece, 0};
        FILE *stream = funopen_read(&s, read_piece);
        ASSERT_NE(stream, nullptr);
        std::vector<std::string> expected = {"first line\n", "second\n", "third without end"};
        EXPECT_EQ(all_lines(stream), expected) << "pieces of " << piece;
        EXPECT_EQ(fclose(stream), 0);
        EXPECT_GT(s.calls, 0);
    }
}

TEST(Compat, ReallocfKeepsContentsAndNeverReturnsNullForZero)
{
    char *block = static_cast<char *>(reallocf(nullptr, 4));
    ASSERT_NE(block, nullptr);
    memcpy(block, "abc", 4);
    block = static_cast<char *>(reallocf(block, 100000));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    block = static_cast<char *>(reallocf(block, 0));
    EXPECT_NE(block, nullptr) << "null would mean the block was freed";
    free(block);
}

TEST(Compat, SigsetmaskSetsAndReturnsTheMask)
{
    sigset_t original;
    sigprocmask(SIG_SETMASK, nullptr, &original);
    struct {
        int mask;
        int blocked;                // a signal that must be blocked, or 0
        int unblocked;
    } cases[] = {
        {1 << (SIGUSR1 - 1), SIGUSR1, SIGUSR2},
        {(1 << (SIGUSR2 - 1)) | (1 << (SIGINT - 1)), SIGINT, SIGUSR1},
        {0, 0, SIGUSR2},
    };
    int previous = sigsetmask(0);
    for (const auto &c : cases) {
        int before = sigsetmask(c.mask);
        EXPECT_EQ(before, previous);
        sigset_t now;
        sigprocmask(SIG_SETMASK, nullptr, &now);
        if (c.blocked != 0) {
            EXPECT_EQ(sigismember(&now, c.blocked), 1) << c.mask;
        }
        EXPECT_EQ(sigismember(&now, c.unblocked), 0) << c.mask;
        previous = c.mask;
    }
    sigprocmask(SIG_SETMASK, &original, nullptr);
}

} // namespace
