#include "vterm_capture.h"

#include <gtest/gtest.h>
#include <vterm.h>

#include "display/display.h"
#include "terminal/terminal.h"
#include "terminal_fixture.h"
#include "test_files.h"

static void append_utf8(std::string &text, uint32_t c)
{
    if (c < 0x80) {
        text += static_cast<char>(c);
        return;
    }
    int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char lead[] = {0, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(lead[extra] | (c >> (6 * extra)));
    for (int i = extra - 1; i >= 0; i--)
        text += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
}

// In UTF-8 a cell is all its characters (a combining mark with its base)
// and the right half of a wide character is nothing; otherwise each cell
// is one byte, '?' beyond 0xFF.
static std::string cells_text(int cols, const VTermScreenCell *cells, bool utf8 = false)
{
    std::string text;
    for (int col = 0; col < cols; col++) {
        if (cells[col].width == 0)
            continue;
        uint32_t ch = cells[col].chars[0];
        if (utf8 && ch == 0xFFFFFFFFu)
            continue;
        if (utf8 && ch != 0) {
            for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && cells[col].chars[i] != 0; i++)
                append_utf8(text, cells[col].chars[i]);
            continue;
        }
        text += ch == 0 ? ' ' : static_cast<char>(ch < 0x100 ? ch : '?');
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

static int keep_scrolled_row(int cols, const VTermScreenCell *cells, void *user)
{
    static_cast<emulated_screen *>(user)->scrolled_off.push_back(cells_text(cols, cells));
    return 1;
}

emulated_screen::emulated_screen(int rows_, int cols_, bool autowrap, bool utf8_)
    : rows(rows_), cols(cols_), utf8(utf8_)
{
    static VTermScreenCallbacks callbacks = {};
    callbacks.sb_pushline = keep_scrolled_row;
    vt = vterm_new(rows, cols);
    vterm_set_utf8(vt, utf8 ? 1 : 0);
    screen = vterm_obtain_screen(vt);
    vterm_screen_set_callbacks(screen, &callbacks, this);
    vterm_screen_reset(screen, 1);
    if (!autowrap)
        emu_feed(*this, "\033[?7l");
}

emulated_screen::~emulated_screen()
{
    vterm_free(vt);
}

void emu_feed(emulated_screen &emu, const std::string &bytes)
{
    std::string translated;
    for (char c : bytes) {
        if (c == '\n')
            translated += '\r';
        translated += c;
    }
    vterm_input_write(emu.vt, translated.data(), translated.size());
}

void emu_run(emulated_screen &emu, const std::function<void()> &action)
{
    out_flush();
    fd_capture capture = start_capture(1);
    action();
    out_flush();
    emu_feed(emu, end_capture(capture));
}

static bool cell_at(emulated_screen &emu, int row, int col, VTermScreenCell *cell)
{
    VTermPos pos = {row, col};
    return vterm_screen_get_cell(emu.screen, pos, cell) != 0;
}

std::string emu_row(emulated_screen &emu, int row)
{
    std::vector<VTermScreenCell> cells(static_cast<size_t>(emu.cols));
    for (int col = 0; col < emu.cols; col++) {
        VTermScreenCell &cell = cells[static_cast<size_t>(col)];
        if (!cell_at(emu, row, col, &cell)) {
            cell = VTermScreenCell{};
            cell.width = 1;
        }
    }
    return cells_text(emu.cols, cells.data(), emu.utf8);
}

std::string emu_screen(emulated_screen &emu)
{
    std::string all;
    for (int row = 0; row < emu.rows; row++)
        all += std::to_string(row) + ": " + emu_row(emu, row) + "\n";
    return all;
}

emu_attrs emu_attr(emulated_screen &emu, int row, int col)
{
    VTermScreenCell cell;
    if (!cell_at(emu, row, col, &cell))
        return {false, false, false};
    return {cell.attrs.bold != 0, cell.attrs.underline != 0, cell.attrs.reverse != 0};
}

std::pair<int, int> emu_cursor(emulated_screen &emu)
{
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(emu.vt), &pos);
    return {pos.row, pos.col};
}

void use_test_terminal(const char *name)
{
    env_override env;
    env.set("TERMINFO", test_terminfo_dir());
    env.set("TERM", std::string(name));
    // the size must come from the description, never from a window that
    // descriptor 2 happens to be
    fd2_replacement no_window(-1, 0);
    read_termcap();
    attr_state = 0;
}
