// Helpers for the tests of line assembly, line numbers and the display:
// the settings they read put in a known state, and a real file (or pipe)
// made the block cache's input the way the file list does it.
#ifndef VORN_VIEW_SETUP_H
#define VORN_VIEW_SETUP_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <vector>
#include <unistd.h>

#include "display/display.h"
#include "file/file.h"
#include "command/command.h"
#include "startup/startup.h"
#include "terminal/terminal.h"
#include "test_files.h"

// The defaults of a fresh start with a screen of rows x cols, no options.
// What the terminal description gives (attribute widths, margins) is left
// as the last read_termcap set it.
inline void reset_view_settings(int rows, int cols)
{
    screen_height = rows;
    screen_width = cols;
    options_reset();
    scroll_reset();
    paint_reset();
    pending_signals = 0;
    messages_on_screen = 0;
}

// Makes the file `bytes` the current input (file mode) with empty caches
// and an empty screen table.
inline void open_view_file(const temp_dir &dir, const std::string &bytes,
                           const std::string &name = "input")
{
    if (input_fd > 0)
        close(input_fd);
    cache_open_input(open(dir.write(name, bytes).c_str(), O_RDONLY));
    ASSERT_GE(input_fd, 0);
    pipe_mode = 0;
    cache_init(buffer_setting);
    linenum_clear();
    pos_reset();
}

// The same over a pipe that carries `bytes` (they must fit into the pipe)
// and is closed behind them.
inline void open_view_pipe(const std::string &bytes)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
    close(fds[1]);
    if (input_fd > 0)
        close(input_fd);
    cache_open_input(fds[0]);
    pipe_mode = 1;
    cache_init(buffer_setting);
    linenum_clear();
    pos_reset();
}

// `count` lines of ten bytes, nine digits and a newline: line k holds k and
// starts at 10 * (k - 1).
inline std::string ten_byte_lines(int count)
{
    std::string text;
    char line[16];
    for (int i = 1; i <= count; i++) {
        snprintf(line, sizeof line, "%09d\n", i);
        text += line;
    }
    return text;
}

// Position where line `line` (from 1) of `text` starts.
inline file_pos line_start_in(const std::string &text, int line)
{
    size_t pos = 0;
    for (int i = 1; i < line; i++)
        pos = text.find('\n', pos) + 1;
    return static_cast<file_pos>(pos);
}

inline void close_view_input()
{
    if (input_fd > 0)
        close(input_fd);
    cache_open_input(-1);
    pipe_mode = 0;
}

// Every display line of the input, walking forward from `start` (a
// display-line start; -1, as no shown line gives, walks nothing).
struct display_line {
    file_pos start;
    std::string text;
};

inline std::vector<display_line> walk_forward(file_pos start = 0)
{
    std::vector<display_line> lines;
    file_pos pos = start;
    while (lines.size() < 100000) {
        file_pos next = next_display_line(pos);
        if (next == -1)
            break;
        lines.push_back({pos, line_text});
        pos = next;
    }
    return lines;
}

inline std::vector<display_line> walk_backward(file_pos end)
{
    std::vector<display_line> lines;
    file_pos pos = end;
    while (lines.size() < 100000) {
        file_pos start = prev_display_line(pos);
        if (start == -1)
            break;
        lines.push_back({start, line_text});
        pos = start;
    }
    std::reverse(lines.begin(), lines.end());
    return lines;
}

#endif
