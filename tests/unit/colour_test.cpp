// Styles on the terminal: what each test terminal is sent for attributes
// and colours, the nearest colour where it lacks one, and nothing at all
// where it cannot show styles.  The descriptions come from
// tests/data/terminfo.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "display/display.h"
#include "style_text.h"
#include "terminal/terminal.h"
#include "terminal_fixture.h"

namespace {

class Colour : public ::testing::Test {
protected:
    env_override env;

    void SetUp() override
    {
        env.set("TERMINFO", test_terminfo_dir());
        for (const char *name : {"TERMINFO_DIRS", "TERMCAP", "LINES", "COLUMNS",
                                 "COLORTERM"})
            env.set(name, std::nullopt);
    }

    void load(const char *term, const char *colorterm = nullptr)
    {
        env.set("TERM", std::string(term));
        env.set("COLORTERM", colorterm ? std::optional<std::string>(colorterm)
                                       : std::nullopt);
        fd2_replacement window(-1, 0);
        attr_state = 0;
        read_termcap();
    }
};

text_style fg_index(int index, unsigned flags = 0)
{
    text_style style;
    style.flags = flags;
    style.fg.kind = COLOUR_INDEX;
    style.fg.index = static_cast<uint8_t>(index);
    return style;
}

text_style rgb(int red, int green, int blue, bool background = false)
{
    text_style style;
    text_colour &colour = background ? style.bg : style.fg;
    colour.kind = COLOUR_RGB;
    colour.red = static_cast<uint8_t>(red);
    colour.green = static_cast<uint8_t>(green);
    colour.blue = static_cast<uint8_t>(blue);
    return style;
}

// From the plain style to `style` and back: the two outputs.
TEST_F(Colour, EachTerminalGetsWhatItCanShow)
{
    const unsigned every = STYLE_BOLD | STYLE_DIM | STYLE_ITALIC | STYLE_UNDERLINE |
                           STYLE_BLINK | STYLE_REVERSE | STYLE_STANDOUT;
    struct {
        const char *term, *colorterm;
        text_style style;
        const char *on, *off;
    } cases[] = {
        // eight colours: bright ones become basic, the rest the nearest
        {"vorn-colour", nullptr, fg_index(1), "\x1b[31m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour", nullptr, fg_index(9), "\x1b[31m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour", nullptr, fg_index(21), "\x1b[34m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour", nullptr, rgb(250, 250, 0), "\x1b[33m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour", nullptr, rgb(0, 200, 10, true), "\x1b[42m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour", nullptr, fg_index(0, every),
         "\x1b[1m\x1b[2m\x1b[3m\x1b[4m\x1b[5m\x1b[7m\x1b[7m\x1b[30m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour", nullptr, text_style{STYLE_ITALIC, {}, {}}, "\x1b[3m", "\x1b[m"},
        // 256 colours: bright by number, the cube and greys by index
        {"vorn-colour256", nullptr, fg_index(9), "\x1b[91m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour256", nullptr, fg_index(196), "\x1b[38;5;196m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour256", nullptr, rgb(255, 0, 0), "\x1b[38;5;196m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour256", nullptr, rgb(128, 128, 128, true), "\x1b[48;5;244m",
         "\x1b[m\x1b[39;49m"},
        // direct colour said by the description: the basic colours by
        // number, everything else as red, green and blue
        {"vorn-direct", nullptr, fg_index(2), "\x1b[32m", "\x1b[m\x1b[39;49m"},
        {"vorn-direct", nullptr, rgb(1, 2, 3), "\x1b[38;2;1;2;3m", "\x1b[m\x1b[39;49m"},
        {"vorn-direct", nullptr, fg_index(196), "\x1b[38;2;255;0;0m", "\x1b[m\x1b[39;49m"},
        {"vorn-direct", nullptr, rgb(0, 0, 5), "\x1b[38;2;0;0;8m", "\x1b[m\x1b[39;49m"},
        // direct colour said by the environment
        {"vorn-colour", "truecolor", rgb(1, 2, 3, true), "\x1b[48;2;1;2;3m",
         "\x1b[m\x1b[39;49m"},
        {"vorn-colour", "24bit", fg_index(200), "\x1b[38;2;255;0;215m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour", "yes", rgb(1, 2, 3), "\x1b[30m", "\x1b[m\x1b[39;49m"},
        // the old sequences number blue and red the other way round
        {"vorn-colour-old", nullptr, fg_index(1), "\x1b[34m", "\x1b[m\x1b[39;49m"},
        {"vorn-colour-old", nullptr, fg_index(12), "\x1b[31m", "\x1b[m\x1b[39;49m"},
        // no colours: the attributes it has, nothing else
        {"vorn-display", nullptr, fg_index(1, STYLE_BOLD | STYLE_ITALIC), "\x1b[1m", "\x1b[m"},
        {"vorn-display", "truecolor", rgb(1, 2, 3), "", ""},
        // no end for all attributes: underline and standout end on their own
        {"vorn-noal", nullptr, text_style{STYLE_STANDOUT | STYLE_BOLD, {}, {}}, "\x1b[7m",
         "\x1b[27m"},
        // attributes that take a column, a hard-copy terminal: nothing
        {"vorn-sg", nullptr, fg_index(1, STYLE_STANDOUT), "", ""},
        {"vorn-hc", nullptr, fg_index(1, STYLE_BOLD), "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.term) + " " + (c.colorterm ? c.colorterm : "") + ": " +
                     style_text(c.style));
        load(c.term, c.colorterm);
        EXPECT_EQ(capture_output([&] { style_apply(c.style); }), c.on);
        EXPECT_EQ(attr_state, std::string(c.on).empty() ? 0 : ATTR_STYLE);
        EXPECT_EQ(capture_output(style_off), c.off);
        EXPECT_EQ(attr_state, 0);
    }
}

// From one style to the next: only what changes is sent, and switching
// anything off resets and sends again what stays.
TEST_F(Colour, ChangesSendOnlyWhatIsNeeded)
{
    load("vorn-colour");
    text_style bold_red = fg_index(1, STYLE_BOLD);
    text_style bold_underline_red = fg_index(1, STYLE_BOLD | STYLE_UNDERLINE);
    text_style underline_green_on_blue = fg_index(2, STYLE_UNDERLINE);
    underline_green_on_blue.bg.kind = COLOUR_INDEX;
    underline_green_on_blue.bg.index = 4;
    struct {
        text_style to;
        const char *sent;
    } steps[] = {
        {bold_red, "\x1b[1m\x1b[31m"},
        {bold_red, ""},
        {bold_underline_red, "\x1b[4m"},
        {underline_green_on_blue, "\x1b[m\x1b[39;49m\x1b[4m\x1b[32m\x1b[44m"},
        {fg_index(2, STYLE_UNDERLINE), "\x1b[m\x1b[39;49m\x1b[4m\x1b[32m"},
        {text_style{}, "\x1b[m\x1b[39;49m"},
        {text_style{}, ""},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(style_text(step.to));
        EXPECT_EQ(capture_output([&] { style_apply(step.to); }), step.sent);
    }
}

// Erasing a line or the screen leaves no style on, as it leaves no other
// attribute on.
TEST_F(Colour, ErasingSwitchesTheStyleOff)
{
    load("vorn-colour");
    for (void (*erase)() : {erase_to_eol, clear}) {
        capture_output([] { style_apply(fg_index(3, STYLE_REVERSE)); });
        std::string sent = capture_output(erase);
        EXPECT_EQ(sent.rfind("\x1b[m\x1b[39;49m", 0), 0u) << testing::PrintToString(sent);
        EXPECT_EQ(attr_state, 0);
        EXPECT_EQ(capture_output(style_off), "");
    }
}

// Any attribute that takes a column on or off, not standout alone, leaves
// the terminal without styles: line assembly counts none for them, so a
// style would push a row past the screen's edge.
TEST_F(Colour, NoStylesWhereAnyAttributeTakesAColumn)
{
    int *const widths[] = {&standout_width, &standout_end_width, &underline_width,
                           &underline_end_width, &bold_width, &bold_end_width};
    for (int *width : widths) {
        load("vorn-colour");
        *width = 1;
        read_style_capabilities(false);
        EXPECT_EQ(style_usable(), 0);
        EXPECT_EQ(capture_output([] { style_apply(fg_index(1, STYLE_BOLD)); }), "");
        *width = 0;
        read_style_capabilities(false);
        EXPECT_NE(style_usable(), 0);
    }
}

TEST(NearestColour, PicksTheClosestOfThePalette)
{
    struct {
        int red, green, blue, count, expected;
    } cases[] = {
        {0, 0, 0, 8, 0},        {255, 255, 255, 8, 7},   {255, 255, 255, 16, 15},
        {200, 10, 10, 8, 1},    {0, 0, 0, 256, 16},      {255, 255, 255, 256, 231},
        {95, 135, 175, 256, 67}, {118, 118, 118, 256, 243}, {127, 127, 127, 16, 8},
    };
    for (auto c : cases) {
        SCOPED_TRACE(std::to_string(c.red) + "," + std::to_string(c.green) + "," +
                     std::to_string(c.blue) + " of " + std::to_string(c.count));
        EXPECT_EQ(nearest_colour(c.red, c.green, c.blue, c.count), c.expected);
    }
    int red, green, blue;
    palette_colour(67, &red, &green, &blue);
    EXPECT_EQ(std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue),
              "95,135,175");
}

}  // namespace
