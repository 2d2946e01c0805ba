// The bottom-line editor with UTF-8 text: characters typed a byte at a
// time are echoed once complete, erase and word erase take whole
// characters and all their columns, malformed input stays escaped;
// the same keys in the C locale are bytes.  Keys come from a pipe standing
// in for the keyboard, the echo goes to an emulated terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "command/command.h"
#include "keyboard_pipe.h"
#include "utf8_setup.h"
#include "view_setup.h"
#include "vterm_capture.h"

namespace {

struct editor_case {
    const char *what;
    std::string keys;
    int result;             // of read_line
    std::string text;       // left in the buffer
    std::string row;        // the bottom line afterwards
    int column;             // input_column, bold widths aside
};

class Utf8EditorTest : public ::testing::Test {
protected:
    keyboard_pipe keyboard;

    void SetUp() override
    {
        use_test_terminal("vorn-display");
        keyboard.open();
    }

    void TearDown() override { keyboard.close_pipe(); }

    void check(const std::vector<editor_case> &cases, bool utf8)
    {
        for (const editor_case &c : cases) {
            SCOPED_TRACE(c.what);
            keyboard.type(c.keys);
            emulated_screen emu(12, 40, true, utf8);
            char buffer[64];
            int result = -1;
            emu_run(emu, [&] { result = read_line("P: ", buffer, sizeof buffer); });
            EXPECT_EQ(result, c.result);
            EXPECT_EQ(std::string(buffer), c.text);
            EXPECT_EQ(emu_row(emu, 11), c.row);
            EXPECT_EQ(input_column, c.column + bold_width + bold_end_width);
        }
    }
};

const std::string E_ACUTE = "\xC3\xA9", CJK = "\xE4\xB8\xAD";

TEST_F(Utf8EditorTest, CharactersAreTypedAndErasedWhole)
{
    Utf8Locale utf8;
    check({
        {"accented letter", E_ACUTE + "\n", 0, E_ACUTE, "P: " + E_ACUTE, 4},
        {"CJK character", CJK + "\n", 0, CJK, "P: " + CJK, 5},
        {"combining mark joins", "e\xCC\x81\n", 0, "e\xCC\x81", "P: e\xCC\x81", 4},
        {"erase an accented letter", "a" + E_ACUTE + "\x7f\n", 0, "a", "P: a", 4},
        {"erase a CJK character", CJK + "\x7f" "b\n", 0, "b", "P: b", 4},
        {"erase a half-typed character", "a\xE4\xB8\x7f\n", 0, "a", "P: a", 4},
        {"word erase", "ab " + E_ACUTE + CJK + "\x17\n", 0, "ab", "P: ab", 5},
        {"kill", E_ACUTE + CJK + "\x15", 1, "", "P:", 3},
        {"erase everything cancels", E_ACUTE + "\x7f\x7f", 1, "", "P:", 3},
        {"malformed input", "\xC3z\n", 0, "\xC3z", "P: <C3>z", 8},
        // without the z the lead byte is a character still being typed
        {"malformed input erased", "\xC3z\x7f\x7f\n", 0, "", "P:", 3},
        {"C1 control", "\xC2\x9B\n", 0, "\xC2\x9B", "P: <C2><9B>", 11},
        {"C1 control erased whole", "a\xC2\x9B\x7f\n", 0, "a", "P: a", 4},
    }, true);
}

// Keys past the room for their echo (the window is 40 columns, the echo
// stops at column 37) are stored whole and erased whole without touching
// the screen; erasing then reaches the echoed characters again.
TEST_F(Utf8EditorTest, CharactersPastTheEchoRoom)
{
    Utf8Locale utf8;
    const std::string fill(33, 'a');
    check({
        {"the last echoed, the next not", fill + E_ACUTE + CJK + "\n", 0, fill + E_ACUTE + CJK,
         "P: " + fill + E_ACUTE, 37},
        {"the one not echoed erased", fill + E_ACUTE + CJK + "\x7f\n", 0, fill + E_ACUTE,
         "P: " + fill + E_ACUTE, 37},
        {"then an echoed one", fill + E_ACUTE + CJK + "\x7f\x7f\n", 0, fill, "P: " + fill, 36},
        {"a character not echoed is erased whole", fill + "b" + E_ACUTE + "\x7f\n", 0,
         fill + "b", "P: " + fill + "b", 37},
    }, true);
}

TEST_F(Utf8EditorTest, BytesInTheCLocale)
{
    Utf8Locale c_locale(false);
    check({
        {"accented letter", E_ACUTE + "\n", 0, E_ACUTE, "P: ^C^i", 7},
        {"erase takes one byte", E_ACUTE + "\x7f\n", 0, "\xC3", "P: ^C", 5},
    }, false);
}

}  // namespace
