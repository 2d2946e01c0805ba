// What one character of the text is: well-formed printable UTF-8
// characters and their widths, and everything that stays in caret form,
// byte by byte; the switch between UTF-8 and bytes.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"
#include "terminal_fixture.h"
#include "utf8_setup.h"

namespace {

struct decode_case {
    const char *what;
    std::string bytes;      // all of them may be read
    int length;
    int width;
    int kind;
};

const int P = CHAR_PRINTABLE, E = CHAR_ESCAPED, I = CHAR_INCOMPLETE;

TEST(VisibleUtf8, DecodesCharactersInUtf8)
{
    Utf8Locale utf8;
    ASSERT_EQ(utf8_text, 1);
    const std::vector<decode_case> cases = {
        {"ASCII letter", "a", 1, 1, P},
        {"control", "\x01", 1, 2, E},
        {"accented letter", "\xC3\xA9x", 2, 1, P},
        {"CJK", "\xE4\xB8\xAD", 3, 2, P},
        {"emoji", "\xF0\x9F\x98\x80", 4, 2, P},
        {"combining acute", "\xCC\x81", 2, 0, P},
        {"hyphen U+2010 (0x80 inside)", "\xE2\x80\x90", 3, 1, P},
        {"A acute (0x81 inside)", "\xC3\x81", 2, 1, P},
        // a printable character of no width that combines with nothing
        {"byte order mark", "\xEF\xBB\xBF", 3, 12, E},
        {"zero width space", "\xE2\x80\x8B", 3, 12, E},
        {"C1 control CSI", "\xC2\x9B", 2, 8, E},
        {"C1 control NEL", "\xC2\x85", 2, 8, E},
        {"line separator", "\xE2\x80\xA8", 3, 12, E},
        {"lone continuation 0x80", "\x80", 1, 4, E},
        {"lone CSI byte 0x9B", "\x9B", 1, 4, E},
        {"lead before ASCII", "\xC3" "A", 1, 4, E},
        {"lead at the end of the text", "\xC3", 1, 0, I},
        {"two of three bytes", "\xE4\xB8", 2, 0, I},
        {"three of four bytes", "\xF0\x9F\x98", 3, 0, I},
        {"overlong two bytes", "\xC0\x80", 1, 4, E},
        {"overlong three bytes", "\xE0\x80\xAF", 1, 4, E},
        {"overlong four bytes", "\xF0\x80\x80\xAF", 1, 4, E},
        {"surrogate", "\xED\xA0\x80", 1, 4, E},
        {"above U+10FFFF", "\xF4\x90\x80\x80", 1, 4, E},
        {"F5 lead", "\xF5\x80\x80\x80", 1, 4, E},
        {"FF byte", "\xFF", 1, 4, E},
    };
    for (const decode_case &c : cases) {
        SCOPED_TRACE(c.what);
        text_char ch = decode_char(reinterpret_cast<const unsigned char *>(c.bytes.data()),
                                   c.bytes.size());
        EXPECT_EQ(ch.length, c.length);
        EXPECT_EQ(ch.width, c.width);
        EXPECT_EQ(ch.kind, c.kind);
    }
}

// Names, messages and prompts: characters as themselves, control
// characters in caret form, and every other byte (C1 controls, stray
// bytes) in hexadecimal form, four columns; in the C locale every high
// byte is in caret form.
TEST(VisibleUtf8, TextsShowCharactersAndEscapeTheRest)
{
    struct text_case {
        std::string text;
        std::string utf8;
        size_t utf8_width;
        std::string bytes;
    };
    const std::vector<text_case> cases = {
        {"caf\xC3\xA9", "caf\xC3\xA9", 4, "caf^C^i"},
        {"\xE4\xB8\xAD.txt", "\xE4\xB8\xAD.txt", 6, "^d^x^m.txt"},
        {"e\xCC\x81", "e\xCC\x81", 1, "e^L^A"},
        {"\xCC\x81x", " \xCC\x81x", 2, "^L^Ax"},       // nothing to join: a blank
        {"\x1b[2J\xC3\xA9", "^[[2J\xC3\xA9", 6, "^[[2J^C^i"},
        {"\x01\x81\xC1\x7F\xFF", "^A<81><C1>^?<FF>", 16, "^A^A^A^?^?"},
        {"\xC2\x9B" "31m", "<C2><9B>31m", 11, "^B^[31m"},
        {"\x9B" "31m", "<9B>31m", 7, "^[31m"},
        {"\xC3(", "<C3>(", 5, "^C("},
        {"\xEF\xBB\xBF" "a", "<EF><BB><BF>a", 13, "^o^{^?a"},
    };
    for (bool on : {true, false}) {
        Utf8Locale locale(on);
        for (const text_case &c : cases) {
            SCOPED_TRACE((on ? "UTF-8 " : "C ") + ::testing::PrintToString(c.text));
            std::string shown = visible_text(c.text.c_str());
            EXPECT_EQ(shown, on ? c.utf8 : c.bytes);
            EXPECT_EQ(visible_width(c.text.c_str()), on ? c.utf8_width : c.bytes.size());
        }
    }
}

// The prompt and the input line are cut to the bottom line before the
// first character that does not fit: never half a wide character or half
// of the escaped form of a character.
TEST(VisibleUtf8, CutBeforeTheCharacterThatDoesNotFit)
{
    Utf8Locale utf8;
    struct cut_case {
        std::string text;
        int columns;
        std::string written;
        int width;
    };
    const std::vector<cut_case> cases = {
        {"\xC3\xA9\xE4\xB8\xADx", 2, "\xC3\xA9", 1},
        {"\xC3\xA9\xE4\xB8\xADx", 3, "\xC3\xA9\xE4\xB8\xAD", 3},
        {"\xC3\xA9\xE4\xB8\xADx", 9, "\xC3\xA9\xE4\xB8\xADx", 4},
        {"a\xC2\x9B" "b", 8, "a", 1},
        {"a\xC2\x9B" "b", 9, "a<C2><9B>", 9},
        {"a\x9B" "b", 4, "a", 1},
        {"a\x9B" "b", 6, "a<9B>b", 6},
        {"e\xCC\x81z", 1, "e\xCC\x81", 1},
    };
    for (const cut_case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text) + " in " + std::to_string(c.columns));
        int columns = -1;
        std::string written =
            capture_output([&] { columns = out_visible_cut(c.text.c_str(), c.columns); });
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(columns, c.width);
    }
}

TEST(VisibleUtf8, BytesOneByOneOutsideUtf8)
{
    for (int turned_off = 0; turned_off < 2; turned_off++) {
        SCOPED_TRACE(turned_off ? "turned off in UTF-8" : "C locale");
        Utf8Locale locale(turned_off != 0);
        if (turned_off) {
            ASSERT_EQ(set_utf8_text(0), 0);
        }
        EXPECT_EQ(utf8_text, 0);
        for (const char *bytes : {"\xC3\xA9", "\xE4\xB8\xAD", "\x80", "\x9B"}) {
            text_char ch = decode_char(reinterpret_cast<const unsigned char *>(bytes), 4);
            EXPECT_EQ(ch.length, 1);
            EXPECT_EQ(ch.width, 2);
            EXPECT_EQ(ch.kind, CHAR_ESCAPED);
        }
    }
}

// Off means the byte classifications of a single-byte locale everywhere
// (the regular expressions included); on again restores the locale.
TEST(VisibleUtf8, SwitchFollowsTheLocale)
{
    {
        Utf8Locale utf8;
        EXPECT_GT(MB_CUR_MAX, 1u);
        EXPECT_EQ(set_utf8_text(0), 0);
        EXPECT_EQ(utf8_text, 0);
        EXPECT_EQ(MB_CUR_MAX, 1u);
        EXPECT_EQ(set_utf8_text(1), 0);
        EXPECT_EQ(utf8_text, 1);
        EXPECT_GT(MB_CUR_MAX, 1u);
    }
    Utf8Locale c_locale(false);
    EXPECT_EQ(set_utf8_text(1), -1);
    EXPECT_EQ(utf8_text, 0);
    // the option: a UTF-8 locale, but bytes from the start
    charset_reset();
    setlocale(LC_ALL, "C.UTF-8");
    charset_init(0);
    EXPECT_EQ(utf8_text, 0);
    EXPECT_EQ(MB_CUR_MAX, 1u);
    EXPECT_EQ(set_utf8_text(1), 0);
}

}  // namespace
