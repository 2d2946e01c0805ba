// A pipe that stands in for the keyboard of the bottom-line editor, with
// the editing keys of the tests: erase DEL, kill ^U, word erase ^W.
#ifndef VORN_KEYBOARD_PIPE_H
#define VORN_KEYBOARD_PIPE_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "terminal/terminal.h"

const int ERASE = 0x7F, KILL = 0x15, WERASE = 0x17;

struct keyboard_pipe {
    int keys[2] = {-1, -1};
    int saved_keyboard = -1;

    // Call from the test's SetUp (it may fail the test).
    void open()
    {
        tty_erase_char = ERASE;
        tty_kill_char = KILL;
        tty_werase_char = WERASE;
        ASSERT_EQ(pipe(keys), 0);
        saved_keyboard = keyboard_fd;
        keyboard_fd = keys[0];
    }

    void close_pipe()
    {
        keyboard_fd = saved_keyboard;
        close(keys[0]);
        close(keys[1]);
    }

    void type(const std::string &bytes)
    {
        ASSERT_EQ(write(keys[1], bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
};

#endif
