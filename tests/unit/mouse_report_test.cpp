// What a sequence on the keyboard is while the mouse wheel is on: the
// start of a report, a wheel notch, another mouse event, or no report (keys
// that the macro table is to see).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyboard_pipe.h"
#include "terminal/terminal.h"

namespace {

int kind_of(const std::string &bytes)
{
    return mouse_report(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

TEST(MouseReport, Kinds)
{
    const struct {
        const char *name;
        std::string bytes;
        int kind;
    } cases[] = {
        {"escape", "\033", MOUSE_PARTIAL_REPORT},
        {"escape bracket", "\033[", MOUSE_PARTIAL_REPORT},
        {"sgr start", "\033[<", MOUSE_PARTIAL_REPORT},
        {"sgr unfinished", "\033[<65;12", MOUSE_PARTIAL_REPORT},
        {"sgr up", "\033[<64;12;5M", KEY_WHEEL_UP},
        {"sgr down", "\033[<65;1;1M", KEY_WHEEL_DOWN},
        {"sgr down with shift, meta, control", "\033[<93;300;200M", KEY_WHEEL_DOWN},
        {"sgr sideways", "\033[<66;3;3M", MOUSE_OTHER_EVENT},
        {"sgr click", "\033[<0;3;3M", MOUSE_OTHER_EVENT},
        {"sgr release", "\033[<0;3;3m", MOUSE_OTHER_EVENT},
        {"sgr wheel as motion", "\033[<96;3;3M", MOUSE_OTHER_EVENT},
        {"sgr extra buttons", "\033[<128;3;3M", MOUSE_OTHER_EVENT},
        {"sgr too few fields", "\033[<64;3M", MOUSE_NO_REPORT},
        {"sgr too many fields", "\033[<64;3;3;3M", MOUSE_NO_REPORT},
        {"sgr letter inside", "\033[<6x", MOUSE_NO_REPORT},
        {"sgr huge number", "\033[<99999999999999999999;1;1M", MOUSE_OTHER_EVENT},
        {"old start", "\033[M", MOUSE_PARTIAL_REPORT},
        {"old unfinished", "\033[Ma!", MOUSE_PARTIAL_REPORT},
        {"old up", "\033[M`!!", KEY_WHEEL_UP},
        {"old down", "\033[Ma\x7f\xff", KEY_WHEEL_DOWN},
        {"old click", "\033[M !!", MOUSE_OTHER_EVENT},
        {"old release", "\033[M#!!", MOUSE_OTHER_EVENT},
        {"arrow key", "\033[A", MOUSE_NO_REPORT},
        {"keypad arrow", "\033OA", MOUSE_NO_REPORT},
        {"escape and a letter", "\033v", MOUSE_NO_REPORT},
        {"a letter", "v", MOUSE_NO_REPORT},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kind_of(c.bytes), c.kind) << c.name;
}

// From the keyboard: reports come out whole, as a notch or not at all;
// bytes that began like one come back as the keys they are, in order; with
// the wheel off every byte is a key.
TEST(MouseReport, KeysAroundReports)
{
    keyboard_pipe keyboard;
    keyboard.open();
    const std::string typed = "\033[<65;1;1Mx\033[<0;2;2M\033[<0;2;2m\033vq\033[Aa\033[M`!!k";
    set_mouse_wheel(1);
    keyboard.type(typed);
    std::vector<int> got;
    for (int i = 0; i < 11; i++)
        got.push_back(get_key_or_wheel());
    EXPECT_EQ(got, (std::vector<int>{KEY_WHEEL_DOWN, 'x', 27, 'v', 'q', 27, '[', 'A', 'a',
                                     KEY_WHEEL_UP, 'k'}));
    set_mouse_wheel(0);
    keyboard.type(typed);
    for (unsigned char c : typed)
        EXPECT_EQ(get_key_or_wheel(), c);
    keyboard.close_pipe();
    mouse_reset();
}

}  // namespace
