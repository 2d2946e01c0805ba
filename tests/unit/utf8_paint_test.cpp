// Painting UTF-8 text on an emulated UTF-8 terminal: characters in their
// columns (tab stops after wide characters and combining marks), a wide
// character cut by the horizontal offset, combining marks alone or with a
// base out of sight, caret forms, attributes over multibyte characters.
// The lines come from line assembly, as on the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utf8_setup.h"
#include "view_setup.h"
#include "vterm_capture.h"

namespace {

const std::string E_ACUTE = "\xC3\xA9", CJK = "\xE4\xB8\xAD", GRIN = "\xF0\x9F\x98\x80";
const std::string COMBINING_ACUTE = "\xCC\x81", HYPHEN = "\xE2\x80\x90";

struct paint_case {
    const char *what;
    std::string input;      // one text line
    int offset;
    std::string row;        // as the terminal shows it, in UTF-8
    std::string attrs;      // per column: ' ' plain, 'u' underline, 'b' bold
};

std::string attr_mask(emulated_screen &emu, size_t width)
{
    std::string mask;
    for (size_t col = 0; col < width; col++) {
        emu_attrs a = emu_attr(emu, 0, static_cast<int>(col));
        mask += a.underline ? 'u' : a.bold ? 'b' : ' ';
    }
    return mask;
}

class Utf8PaintTest : public ::testing::Test {
protected:
    temp_dir dir;
    void TearDown() override { close_view_input(); }
    // The display line of `input` (one text line) at `offset` (wrapping
    // only without one), painted on the top row of `emu`.
    bool paint_first_line(const std::string &input, int offset, emulated_screen &emu)
    {
        reset_view_settings(screen_height, screen_width);
        horiz_off = offset;
        wrap_lines = offset == 0;
        open_view_file(dir, input + "\n");
        if (next_display_line(0) == -1)
            return false;
        emu_run(emu, [] {
            cursor_home();
            paint_line();
        });
        return true;
    }
};

TEST_F(Utf8PaintTest, CharactersInTheirColumns)
{
    Utf8Locale utf8;
    use_test_terminal("vorn-display");
    const std::vector<paint_case> cases = {
        {"text of all widths", "caf" + E_ACUTE + " " + HYPHEN + " " + CJK + GRIN + "!", 0,
         "caf" + E_ACUTE + " " + HYPHEN + " " + CJK + GRIN + "!", ""},
        {"tab after a wide character", CJK + "\tx", 0, CJK + "      x", ""},
        {"tab after a combining mark", "e" + COMBINING_ACUTE + "\tx", 0,
         "e" + COMBINING_ACUTE + "       x", ""},
        {"combining mark alone", COMBINING_ACUTE + "x", 0, " " + COMBINING_ACUTE + "x", ""},
        {"wide character cut by the offset", CJK + "ab", 1, " ab", ""},
        {"wide character left of the offset", CJK + "ab", 2, "ab", ""},
        {"base of a combining mark out of sight", "e" + COMBINING_ACUTE + "xy", 1, "xy", ""},
        {"malformed bytes", "\xC3z\x9B\xE4\xB8", 0, "<C3>z<9B><E4><B8>", ""},
        {"C1 control in UTF-8", "\xC2\x9B.", 0, "<C2><9B>.", ""},
        {"bold accented letter", E_ACUTE + "\b" + E_ACUTE + "x", 0, E_ACUTE + "x", "b "},
        // the emulator keeps a wide character's attributes on its first cell
        {"underlined wide characters", "_\b" + CJK + "_\b" + CJK + "x", 0, CJK + CJK + "x",
         "u u  "},
        {"bold hyphen", HYPHEN + "\b" + HYPHEN + "-", 0, HYPHEN + "-", "b "},
    };
    for (const paint_case &c : cases) {
        SCOPED_TRACE(c.what);
        emulated_screen emu(12, 40, true, true);
        ASSERT_TRUE(paint_first_line(c.input, c.offset, emu));
        EXPECT_EQ(emu_row(emu, 0), c.row);
        if (!c.attrs.empty()) {
            EXPECT_EQ(attr_mask(emu, c.attrs.size()), c.attrs);
        }
        EXPECT_EQ(attr_state, 0) << "an attribute was left on";
    }
}

// A byte that is no part of a printable character is painted in
// hexadecimal form in standout, and nothing else is: not the control
// characters in caret form, not the text after it, which keeps the
// underline or bold it had.  The left edge may cut the form.
TEST_F(Utf8PaintTest, StrayBytesInHexadecimalAndStandout)
{
    Utf8Locale utf8;
    use_test_terminal("vorn-display");
    struct hex_case {
        const char *what;
        std::string input;
        int offset;
        std::string row;
        std::string standout;   // per column: '#' in standout
        std::string attrs;      // per column: 'u' underline, 'b' bold
    };
    const std::vector<hex_case> cases = {
        {"bytes and control characters", "\x01\x81\xC1\x1b\x9B\x7F\xFF.", 0,
         "^A<81><C1>^[<9B>^?<FF>.", "..########..####..####.", ""},
        {"cut by the left edge", "\x9B\xFF" "ab", 2, "B><FF>ab", "######..", ""},
        {"inside underlined text", "_\ba_\b\x9B_\bb", 0, "a<9B>b", ".####.", "uuuuuu"},
        {"inside bold text", "a\ba\xC3\b\xC3" "b\bb", 0, "a<C3>b", ".####.", "bbbbbb"},
    };
    for (const hex_case &c : cases) {
        SCOPED_TRACE(c.what);
        emulated_screen emu(12, 40, true, true);
        ASSERT_TRUE(paint_first_line(c.input, c.offset, emu));
        EXPECT_EQ(emu_row(emu, 0), c.row);
        std::string standout;
        for (size_t col = 0; col < c.standout.size(); col++)
            standout += emu_attr(emu, 0, static_cast<int>(col)).reverse ? '#' : '.';
        EXPECT_EQ(standout, c.standout);
        if (!c.attrs.empty()) {
            EXPECT_EQ(attr_mask(emu, c.attrs.size()), c.attrs);
        }
        EXPECT_EQ(attr_state, 0) << "an attribute was left on";
    }
}

}  // namespace
