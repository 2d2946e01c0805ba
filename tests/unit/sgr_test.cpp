// The colour sequences of the text: which bytes are one, and what each
// does to the style; malformed and hostile ones are not sequences at all.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "display/display.h"
#include "style_text.h"

namespace {

// The style after `input` applied to `start`, or "rejected" when the input
// does not begin with a colour sequence (the style must then be unchanged).
std::string result_of(const std::string &input, const text_style &start,
                      size_t *length = nullptr)
{
    text_style style = start;
    size_t taken = sgr_apply(reinterpret_cast<const unsigned char *>(input.data()),
                             input.size(), &style);
    if (length != nullptr)
        *length = taken;
    // the length measures what is applied: a rejected sequence has none
    EXPECT_EQ(sgr_length(reinterpret_cast<const unsigned char *>(input.data()), input.size()),
              taken);
    if (taken == 0) {
        EXPECT_EQ(style_text(style), style_text(start)) << "rejected input changed the style";
        return "rejected";
    }
    return style_text(style);
}

text_style bold_red()
{
    text_style style;
    style.flags = STYLE_BOLD;
    style.fg.kind = COLOUR_INDEX;
    style.fg.index = 1;
    return style;
}

TEST(Sgr, EachParameterChangesTheStyle)
{
    const text_style plain;
    const text_style all = [] {
        text_style style = bold_red();
        style.flags = STYLE_BOLD | STYLE_DIM | STYLE_ITALIC | STYLE_UNDERLINE |
                      STYLE_BLINK | STYLE_REVERSE;
        style.bg.kind = COLOUR_RGB;
        style.bg.red = 1;
        return style;
    }();
    struct {
        const char *parameters;
        const text_style &start;
        const char *expected;
    } cases[] = {
        // reset, empty or 0, also inside a list
        {"", all, "plain"},
        {"0", all, "plain"},
        {";1", all, "bold"},
        {"1;0", plain, "plain"},
        // each attribute, and its end
        {"1", plain, "bold"},
        {"2", plain, "dim"},
        {"3", plain, "italic"},
        {"4", plain, "underline"},
        {"5", plain, "blink"},
        {"6", plain, "blink"},
        {"7", plain, "reverse"},
        {"22", all, "italic underline blink reverse fg=1 bg=rgb(1,0,0)"},
        {"23", all, "bold dim underline blink reverse fg=1 bg=rgb(1,0,0)"},
        {"24", all, "bold dim italic blink reverse fg=1 bg=rgb(1,0,0)"},
        {"25", all, "bold dim italic underline reverse fg=1 bg=rgb(1,0,0)"},
        {"27", all, "bold dim italic underline blink fg=1 bg=rgb(1,0,0)"},
        {"39", all, "bold dim italic underline blink reverse bg=rgb(1,0,0)"},
        {"49", all, "bold dim italic underline blink reverse fg=1"},
        // the basic and bright colours
        {"30", plain, "fg=0"},
        {"37;40", plain, "fg=7 bg=0"},
        {"47", plain, "bg=7"},
        {"90", plain, "fg=8"},
        {"97;100;107", plain, "fg=15 bg=15"},
        // 256 colours and direct colour, with semicolons and with colons
        {"38;5;200", plain, "fg=200"},
        {"48;5;0", plain, "bg=0"},
        {"38;2;1;2;3", plain, "fg=rgb(1,2,3)"},
        {"48;2;255;0;128;1", plain, "bold bg=rgb(255,0,128)"},
        {"38:5:17", plain, "fg=17"},
        {"38:2:10:20:30", plain, "fg=rgb(10,20,30)"},
        {"38:2::10:20:30", plain, "fg=rgb(10,20,30)"},
        {"48:2:0:10:20:30;4", plain, "underline bg=rgb(10,20,30)"},
        {"4:3", plain, "underline"},
        {"4:0", all, "bold dim italic blink reverse fg=1 bg=rgb(1,0,0)"},
        // several at once, the last word winning
        {"1;31;4;32", plain, "bold underline fg=2"},
        // known to be harmless, passed over: strike-through, overline,
        // underline colour, fonts
        {"9;53;58;5;3;58:2::1:2:3;11", bold_red(), "bold fg=1"},
        // sub-parameters of anything but a colour or underline: passed over
        {":1", bold_red(), "bold fg=1"},
        {"1;:2;0:3", plain, "bold"},
        {"00001", plain, "bold"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(std::string("ESC [") + c.parameters + "m");
        size_t length;
        std::string input = std::string("\x1b[") + c.parameters + "m";
        EXPECT_EQ(result_of(input + "text", c.start, &length), c.expected);
        EXPECT_EQ(length, input.size());
    }
}

TEST(Sgr, MalformedAndOtherSequencesAreNotColour)
{
    std::string many_parameters = "\x1b[";
    for (int i = 0; i < 10000; i++)
        many_parameters += "1;";
    many_parameters += "m";
    // the longest sequence taken, and one byte more
    std::string longest = "\x1b[0";
    while (longest.size() < SGR_MAX_LENGTH - 1)
        longest += ";0";
    longest += "m";
    std::string too_long = longest;
    too_long.insert(2, ";");
    std::string cases[] = {
        // incomplete or out-of-range extended colours
        "\x1b[38;5m", "\x1b[38;5;256m", "\x1b[38;2;1;2m", "\x1b[38;2;256;0;0m",
        "\x1b[38;7;1m", "\x1b[38m", "\x1b[48;5;1:2m", "\x1b[38:5m",
        "\x1b[38:2:1:2m", "\x1b[38:2:1:2:3:4:5m",
        // numbers too long to be meant
        "\x1b[123456m", "\x1b[99999999999999999999999m",
        // other control sequences: cursor moves, erases, modes, titles,
        // hyperlinks, device control
        "\x1b[2J", "\x1b[10;10H", "\x1b[?25l", "\x1b[1 q", "\x1b[>4;1m",
        "\x1b]0;title\a", "\x1b]8;;http://example.com\x1b\\", "\x1bP+q\x1b\\",
        "\x1b" "c", "\x1b(B",
        // cut off, or no end within reach
        "\x1b", "\x1b[", "\x1b[31", "\x1b[31\nm", many_parameters, too_long,
    };
    for (const auto &input : cases) {
        SCOPED_TRACE(testing::PrintToString(input.substr(0, 40)));
        EXPECT_EQ(result_of(input, bold_red()), "rejected");
    }
    ASSERT_EQ(longest.size(), size_t{SGR_MAX_LENGTH});
    EXPECT_EQ(result_of(longest, bold_red()), "plain");
}

// The length of a sequence, told from its bytes where it can be, is that of
// applying it: random parameters of the bytes a sequence may hold, the
// extended colours' codes among them (a fixed seed, so a failure repeats).
TEST(Sgr, TheLengthIsThatOfApplying)
{
    const char *const pieces[] = {"0", "1", "5", "2", "38", "48", "58", "4", "255", "256",
                                  "123456", "00038", ";", ";", ":", "9"};
    std::mt19937 random(777);
    int applied = 0;
    for (int round = 0; round < 20000; round++) {
        std::string input = "\x1b[";
        for (size_t i = 0, n = random() % 9; i < n; i++)
            input += pieces[random() % (sizeof pieces / sizeof pieces[0])];
        input += "mtext";
        auto *bytes = reinterpret_cast<const unsigned char *>(input.data());
        text_style style;
        size_t expected = sgr_apply(bytes, input.size(), &style);
        EXPECT_EQ(sgr_length(bytes, input.size()), expected) << testing::PrintToString(input);
        applied += expected != 0;
    }
    EXPECT_GT(applied, 5000);
}

// A sequence is taken only when all of it lies within the bytes given.
TEST(Sgr, TheSequenceMustLieWithinTheLength)
{
    const unsigned char text[] = "\x1b[31mx";
    text_style style;
    for (size_t length = 0; length < 5; length++)
        EXPECT_EQ(sgr_apply(text, length, &style), 0u) << length;
    EXPECT_EQ(sgr_apply(text, 5, &style), 5u);
    EXPECT_EQ(style_text(style), "fg=1");
}

}  // namespace
