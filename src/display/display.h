// The display: screen position table, scrolling and jumping, the output
// buffer and line painting.
#ifndef VORN_DISPLAY_H
#define VORN_DISPLAY_H

#include <cstddef>
#include <string>

#include "terminal/terminal.h"
#include "vorn.h"

// --- position.cpp: screen position table ---
enum {
    SCREEN_TOP = 0,
    SCREEN_BOTTOM = -1,
    SCREEN_AFTER_BOTTOM = -2,
    SCREEN_MIDDLE = -3,
    MIN_POSITION_CAPACITY = 25,
};
extern int position_capacity;
file_pos screen_pos(int row);
void pos_push_bottom(file_pos pos);
void pos_push_top(file_pos pos);
void pos_reset();
void pos_compact();
int pos_row_of(file_pos pos);
int pos_last_row();                 // the last text row showing a line, or -1

// --- scroll.cpp: scrolling and jumping ---
extern int first_paint;
extern int back_scroll_limit;
void scroll_forward(int n, int paging);
void scroll_backward(int n, int paging);
void repaint_screen();
void paint_rows_again();
void repaint_from(file_pos pos);
// The horizontal view: the text shifted left by `offset` columns, and
// whether long lines wrap.  The one way to change horiz_off and wrap_lines.
void set_horizontal_view(int offset, int wrap);
// Lines have just stopped wrapping: the top row may hold a later row of a
// wrapped text line, which is no display line any more; the screen is
// painted again from the start of that text line.
void repaint_unwrapped();
void jump_end();
void jump_line(int n);
void jump_percent(int n);
void jump_pos(file_pos pos);
// A named file that shrank while shown: the line numbers counted beyond
// its end are forgotten, and when the screen showed anything at or beyond
// its new end, it shows the last screenful of what is left.
void notice_shrunk_file();
// Clears the screen and shows the screenful of text that ends at `end`
// (the position after the bottom row), or all of a shorter text from the
// top; the position table is made anew.
void show_last_screenful(file_pos end);
void paint_forward(int n, file_pos pos, int paging);
void paint_backward(int n, file_pos pos, int paging);
void note_eof();
int back_scroll_lines();
// The display settings of a fresh start; back_scroll_limit, which the
// terminal description decides, stays.
void scroll_reset();

// --- visible.cpp: what a character is and how it is shown, as itself or
// as ^ and a letter ---
bool byte_is_printable(int c);      // shown as itself (never a C1 control)
int caret_letter(int c);            // the letter of ^X; always printable
int byte_width(int c);              // 1, or 2 in caret form (not for a tab)
int tab_columns();                  // the tab width in force
int out_shown_byte(int c);          // writes c as shown; returns its columns
// In UTF-8 text a byte from 0x80 up that is no part of a printable
// character shows as "<9B>": its value in hexadecimal, four columns.
enum { HEX_FORM_WIDTH = 4 };
bool byte_in_hex(int c);            // such a byte shows so (not as ^X)
void hex_form(int c, char form[HEX_FORM_WIDTH]);
int out_visible(const char *s);     // writes s as shown; returns the carets
// Writes s as shown within `columns` columns, cut before the first
// character (or caret pair) that would pass them; returns the columns
// written.
int out_visible_cut(const char *s, int columns);
size_t visible_width(const char *s);            // columns of s as shown
std::string visible_text(const char *s);        // s as shown, for stderr

// --- sgr.cpp: the text's own colour sequences (ESC [ parameters m) ---
enum { SGR_MAX_LENGTH = 128 };      // a longer sequence is shown escaped
extern int show_colour;             // the sequences are shown as colours
void set_show_colour(int on);
// The length of the well-formed sequence at the start of `text` (at most
// `length` bytes), or 0 when there is none.
size_t sgr_length(const unsigned char *text, size_t length);
// Same, and the sequence applied to *style (left alone when 0).
size_t sgr_apply(const unsigned char *text, size_t length, text_style *style);
void sgr_reset();                   // sequences shown escaped again

// 1 while the text is read as UTF-8 characters: the locale's code set is
// UTF-8 and the user has not turned it off (option -b, command utf8).
extern int utf8_text;
// After setlocale: UTF-8 when the locale's code set is UTF-8 and `allowed`.
void charset_init(int allowed);
// Turns UTF-8 on or off; -1 (and nothing changes) for "on" in a locale
// whose code set is not UTF-8.
int set_utf8_text(int on);
void charset_reset();               // byte by byte, as in the C locale
// The bytes of the UTF-8 sequence a lead byte begins (2 to 4), 0 for a
// byte that begins none.
int utf8_sequence_length(int lead);
enum { CHAR_PRINTABLE, CHAR_ESCAPED, CHAR_INCOMPLETE };
struct text_char {
    int length;     // bytes
    int width;      // columns: its own when printable, when escaped 2 a
                    // byte in caret form, HEX_FORM_WIDTH in hexadecimal
    int kind;       // CHAR_PRINTABLE, CHAR_ESCAPED (caret or hexadecimal
                    // form, byte by byte) or CHAR_INCOMPLETE (the avail bytes begin a
                    // well-formed sequence that is not yet complete)
};
// The character at s, of which `avail` bytes (at least 1) may be read.
// One byte unless `utf8_text` is set and s begins a multibyte sequence.
// A printable character of width 0 is a combining mark.
text_char decode_char(const unsigned char *s, size_t avail);
// The bytes of the character that ends at `end` (after `start`): in UTF-8
// text a whole well-formed printable character, else 1.
size_t char_length_before(const unsigned char *start, const unsigned char *end);

// A text being shown character by character: to the terminal, into a
// string, or only measured.  `joinable`: a combining mark next joins the
// character before it.
struct shown_text {
    bool to_terminal = false;
    std::string *into = nullptr;
    size_t columns = 0;
    int carets = 0;             // bytes shown escaped (caret or hexadecimal)
    bool joinable = false;
};
// Shows the character at s (`avail` bytes readable); returns its bytes.
size_t show_char(shown_text *shown, const unsigned char *s, size_t avail);
void show_text(shown_text *shown, const char *s, size_t length);

// --- paint.cpp: line painting ---
extern int erase_before_next_line;
void paint_line();
void show_busy_message(const char *msg);
void paint_reset();

#endif
