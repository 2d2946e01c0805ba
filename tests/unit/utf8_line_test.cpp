// Line assembly of UTF-8 text: characters and their widths at the edges,
// combining marks, every kind of malformed sequence kept byte by byte,
// overstruck multibyte characters, and forward and backward assembly
// agreeing; the same inputs byte by byte in the C locale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utf8_setup.h"
#include "view_setup.h"

namespace {

const std::string UL_ON = "\x81", UL_OFF = "\x82", BOLD_ON = "\x83", BOLD_OFF = "\x84";

// An input byte from 0x81 up that is no part of a character, as the line
// stores it for its hexadecimal form.
std::string esc(unsigned char byte)
{
    return std::string("\xFF") + static_cast<char>(byte & 0x7F);
}

const std::string E_ACUTE = "\xC3\xA9", CJK = "\xE4\xB8\xAD", GRIN = "\xF0\x9F\x98\x80";
const std::string COMBINING_ACUTE = "\xCC\x81", HYPHEN = "\xE2\x80\x90";

struct utf8_case {
    const char *what;
    std::string input;
    std::string line;       // line_text after next_display_line(0)
    file_pos next;          // its result
    int column;             // line_column afterwards
    int width = 6;
    int offset = 0;         // horiz_off, with wrapping off
    int wrap = 1;
};

class Utf8LineTest : public ::testing::Test {
protected:
    temp_dir dir;
    void use(const std::string &bytes, int width, int offset, int wrap)
    {
        reset_view_settings(24, width);
        horiz_off = offset;
        wrap_lines = offset == 0 ? wrap : 0;
        underline_width = underline_end_width = bold_width = bold_end_width = 0;
        open_view_file(dir, bytes);
    }
    void check(const std::vector<utf8_case> &cases)
    {
        for (const utf8_case &c : cases) {
            SCOPED_TRACE(c.what);
            use(c.input, c.width, c.offset, c.wrap);
            EXPECT_EQ(next_display_line(0), c.next);
            ASSERT_NE(line_text, nullptr);
            EXPECT_EQ(std::string(line_text), c.line);
            EXPECT_EQ(line_column, c.column);
        }
    }
    void check_agreement();
    void TearDown() override { close_view_input(); }
};

TEST_F(Utf8LineTest, CharactersTakeTheirColumns)
{
    Utf8Locale utf8;
    check({
        {"accented letters", "caf" + E_ACUTE + "\n", "caf" + E_ACUTE, 6, 4},
        {"wide character at the edge wraps", "abcde" + CJK + "x\n", "abcde", 5, 5},
        {"wide character at the edge is cut", "abcde" + CJK + "x\nz\n", "abcde", 10, 5,
         6, 0, 0},
        {"wide characters fill the line", CJK + CJK + CJK + CJK + "\n", CJK + CJK + CJK, 9, 6},
        {"wide character cut by the offset", CJK + "ab\n", CJK + "ab", 6, 3, 6, 1},
        {"combining mark joins", "e" + COMBINING_ACUTE + "t" + E_ACUTE + "\n",
         "e" + COMBINING_ACUTE + "t" + E_ACUTE, 7, 3},
        {"combining mark at the start shows on a blank", COMBINING_ACUTE + "x\n",
         COMBINING_ACUTE + "x", 4, 2},
        {"combining mark at the right edge", "abcdef" + COMBINING_ACUTE + "g\n",
         "abcdef" + COMBINING_ACUTE, 8, 6},
        {"emoji", GRIN + "!\n", GRIN + "!", 6, 3},
        {"U+2010 has 0x80 inside", HYPHEN + "\n", HYPHEN, 4, 1},
        {"A acute has 0x81 inside", "\x81\xC3\x81\n", esc(0x81) + "\xC3\x81", 4, 5},
    });
}

// Each byte of a malformed sequence is kept alone, in the four columns of
// its hexadecimal form; a byte that is 0x80 through the cache is a NUL of
// the input, in caret form.
TEST_F(Utf8LineTest, MalformedSequencesStayBytesInHexadecimalForm)
{
    Utf8Locale utf8;
    check({
        {"lone continuation byte", "\xA9z\n", esc(0xA9) + "z", 3, 5, 20},
        {"lead byte before ASCII", "\xC3z\n", esc(0xC3) + "z", 3, 5, 20},
        {"truncated at the end of the line", "\xE4\xB8\n", esc(0xE4) + esc(0xB8), 3, 8, 20},
        {"truncated at the end of the input", "\xE4\xB8", esc(0xE4) + esc(0xB8), 2, 8, 20},
        {"overlong form", "\xC0\xAF\n", esc(0xC0) + esc(0xAF), 3, 8, 20},
        {"overlong three-byte form", "\xE0\x80\xAF\n", esc(0xE0) + "\x80" + esc(0xAF), 4, 10,
         20},
        {"surrogate", "\xED\xA0\x80\n", esc(0xED) + esc(0xA0) + "\x80", 4, 10, 20},
        {"above U+10FFFF", "\xF4\x90\x80\x80\n", esc(0xF4) + esc(0x90) + "\x80\x80", 5, 12,
         20},
        {"F5 lead", "\xF5\x80\n", esc(0xF5) + "\x80", 3, 6, 20},
        {"C1 control in UTF-8", "\xC2\x9B\n", esc(0xC2) + esc(0x9B), 3, 8, 20},
        {"0x9B alone", "\x9B\n", esc(0x9B), 2, 4, 20},
        {"0x81 alone is no mark", "\x81\n", esc(0x81), 2, 4, 20},
        {"0x80 alone", "\x80\n", "\x80", 2, 2, 20},
        {"byte order mark", "\xEF\xBB\xBF" "a\n", esc(0xEF) + esc(0xBB) + esc(0xBF) + "a", 5,
         13, 20},
        // the escaped byte 0x88 ends in 0x08 but is no backspace
        {"escaped 0x88 before a letter", "\x88x\n", esc(0x88) + "x", 3, 5, 20},
        {"a hexadecimal form does not fit", "abcde\xC3\n", "abcde", 5, 5},
        {"a hexadecimal form reaches the edge", "ab\xC3z\n", "ab" + esc(0xC3), 3, 6},
        {"a hexadecimal form is cut whole", "abcde\xC3z\ny\n", "abcde", 8, 5, 6, 0, 0},
        {"a hexadecimal form cut by the offset", "\xC3z\n", esc(0xC3) + "z", 3, 3, 6, 2},
    });
}

TEST_F(Utf8LineTest, OverstrikeWorksOnCharacters)
{
    Utf8Locale utf8;
    check({
        {"bold accented letter", E_ACUTE + "\b" + E_ACUTE + "\n", BOLD_ON + E_ACUTE + BOLD_OFF,
         6, 1},
        {"underscore first", "_\b" + E_ACUTE + "\n", UL_ON + E_ACUTE + UL_OFF, 5, 1},
        {"underscore last", E_ACUTE + "\b_\n", UL_ON + E_ACUTE + UL_OFF, 5, 1},
        {"bold wide character", CJK + "\b" + CJK + "\n", BOLD_ON + CJK + BOLD_OFF, 8, 2},
        {"underlined run, then plain", "_\b" + E_ACUTE + "_\b" + CJK + "x\n",
         UL_ON + E_ACUTE + CJK + UL_OFF + "x", 11, 4},
        {"bold hyphen of a manual page", HYPHEN + "\b" + HYPHEN + "x\n",
         BOLD_ON + HYPHEN + BOLD_OFF + "x", 9, 2},
        {"bold closes before a multibyte character", "a\ba" + E_ACUTE + "\n",
         BOLD_ON + "a" + BOLD_OFF + E_ACUTE, 6, 2},
        {"two different characters", E_ACUTE + "\b" + CJK + "\n", CJK, 7, 2},
        {"bold turns underline", E_ACUTE + "\b" + E_ACUTE + "_\b" + CJK + "\n",
         BOLD_ON + E_ACUTE + BOLD_OFF + UL_ON + CJK + UL_OFF, 11, 3},
        {"an escaped byte overstruck", "\x9B\b\x9B\n", BOLD_ON + esc(0x9B) + BOLD_OFF, 4, 4},
    });
}

// On a terminal whose bold takes a column and whose underline none, a
// character two columns wide after bold text must leave room for the end
// of bold: it begins the next line instead of passing the edge.
TEST_F(Utf8LineTest, WideCharacterAfterBoldLeavesRoomForItsEnd)
{
    struct reserve_case {
        bool utf8;
        std::string input;
        std::string line;
        file_pos next;
    };
    const std::vector<reserve_case> cases = {
        {false, "xxxxxxa\ba\x01" "e\n", "xxxxxx" + BOLD_ON + "a" + BOLD_OFF, 9},
        {true, "xxxxxx" + E_ACUTE + "\b" + E_ACUTE + CJK + "e\n",
         "xxxxxx" + BOLD_ON + E_ACUTE + BOLD_OFF, 11},
    };
    for (const reserve_case &c : cases) {
        SCOPED_TRACE(c.utf8 ? "UTF-8" : "C locale");
        Utf8Locale locale(c.utf8);
        use(c.input, 10, 0, 1);
        bold_width = bold_end_width = 1;
        EXPECT_EQ(next_display_line(0), c.next);
        EXPECT_EQ(std::string(line_text), c.line);
        EXPECT_LE(line_column, 10);
    }
}

// On a terminal whose underline takes a column, the closing mark takes the
// place of a blank after the underlined text; an escaped 0xA0 (kept as
// MARK_ESCAPED and 0x20) is no blank, and stays whole.
TEST_F(Utf8LineTest, EscapedByteWithABlankLowHalfIsNoBlank)
{
    Utf8Locale utf8;
    use("_\bu\xA0x_\b\xA0_\bv\n", 20, 0, 1);
    underline_width = underline_end_width = 1;
    next_display_line(0);
    EXPECT_EQ(std::string(line_text),
              UL_ON + "u" + UL_OFF + esc(0xA0) + "x" + UL_ON + esc(0xA0) + "v" + UL_OFF);
}

// A single-byte locale sees the same inputs byte by byte, as ever.
TEST_F(Utf8LineTest, BytesInTheCLocale)
{
    Utf8Locale c_locale(false);
    check({
        {"accented letters", "caf" + E_ACUTE + "\n", "caf" + E_ACUTE, 6, 7, 20},
        {"wide character", "abcde" + CJK + "x\n", "abcde", 5, 5},
        {"0x9B alone", "\x9B\n", "\x9B", 2, 2},
        {"lone continuation byte", "\xA9z\n", "\xA9z", 3, 3},
        // the dropped 0x90 and backspace give back both columns of its caret
        // pair: five caret pairs remain
        {"overstruck hyphen", HYPHEN + "\b" + HYPHEN + "\n", "\xE2\x80\xE2\x80\x90", 8, 10,
         20},
    });
}

// Forward and backward assembly give the same display lines, starting at
// character boundaries, whatever the width; in the C locale too, where an
// underline over a byte in caret form may not fit either.
TEST_F(Utf8LineTest, ForwardAndBackwardAgree)
{
    for (bool on : {true, false}) {
        SCOPED_TRACE(on ? "UTF-8" : "C locale");
        Utf8Locale locale(on);
        check_agreement();
    }
}

void Utf8LineTest::check_agreement()
{
    const std::string text = "caf" + E_ACUTE + " " + CJK + CJK + "x" + CJK + "\n" +
                             "_\b" + E_ACUTE + "_\b" + CJK + " " + HYPHEN + "\b" + HYPHEN +
                             GRIN + "e" + COMBINING_ACUTE + "\n" + "\xC3" + CJK + "\xE4\xB8" +
                             "x\x9B" + CJK + "\xC2\x9B" + E_ACUTE + "\n" + CJK + "\t" + CJK +
                             "\n";
    std::vector<bool> inside(text.size(), false);
    for (size_t at = 0; at < text.size();) {
        auto bytes = reinterpret_cast<const unsigned char *>(text.data()) + at;
        text_char ch = decode_char(bytes, text.size() - at);
        int length = ch.kind == CHAR_PRINTABLE ? ch.length : 1;
        for (int i = 1; i < length; i++)
            inside[at + static_cast<size_t>(i)] = true;
        at += static_cast<size_t>(length);
    }
    for (int width = 2; width <= 12; width++) {
        SCOPED_TRACE("width " + std::to_string(width));
        use(text, width, 0, 1);
        std::vector<display_line> forward = walk_forward();
        std::vector<display_line> backward = walk_backward(static_cast<file_pos>(text.size()));
        ASSERT_EQ(forward.size(), backward.size());
        for (size_t i = 0; i < forward.size(); i++) {
            EXPECT_EQ(forward[i].start, backward[i].start) << "line " << i;
            EXPECT_EQ(forward[i].text, backward[i].text) << "line " << i;
            EXPECT_FALSE(inside[static_cast<size_t>(forward[i].start)])
                << "line " << i << " starts inside a character";
        }
    }
}

}  // namespace
