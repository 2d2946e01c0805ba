// How a byte is shown on the screen: as itself, or in caret form.
//
// The one place that decides it.  Line assembly reckons widths and tab stops
// here, the painter, the bottom-line editor's echo, the messages and the
// prompts write through here, and messages bound for standard error are put
// in the same form first.  Whatever the source of a byte (a file, a file
// name, a typed key), nothing but a printable byte reaches the terminal
// outside the terminal's own control sequences.
//
// A byte is printable when the locale says so and it is not a C1 control
// (0x80 to 0x9F): whatever a single-byte locale claims for them, terminals
// take those bytes as control sequence introducers.  Every other byte shows
// as a caret and a letter, and the letter is always printable.
#include "display.h"

#include <cctype>

#include "startup/startup.h"

bool byte_is_printable(int c)
{
    if (c < 0 || c > 0xff || (c >= 0x80 && c <= 0x9f))
        return false;
    return isprint(c) != 0;
}

// The byte with its high bit cleared and the bit 0x40 set; "?" where that
// gives DEL, which is the case for DEL itself and for 0xbf, whose letter
// would otherwise be a raw DEL.
int caret_letter(int c)
{
    int letter = (c & 0x7f) | 0x40;
    return letter == 0x7f ? '?' : letter;
}

int byte_width(int c)
{
    return byte_is_printable(c) ? 1 : 2;
}

int tab_columns()
{
    return tab_width > 0 ? tab_width : 8;
}

int out_shown_byte(int c)
{
    if (byte_is_printable(c)) {
        out_char(c);
        return 1;
    }
    out_char('^');
    out_char(caret_letter(c));
    return 2;
}

int out_visible(const char *s)
{
    int carets = 0;
    for (; *s != '\0'; s++)
        carets += out_shown_byte(static_cast<unsigned char>(*s)) - 1;
    return carets;
}

int out_visible_cut(const char *s, int columns)
{
    int written = 0;
    for (; *s != '\0'; s++) {
        int c = static_cast<unsigned char>(*s);
        if (written + byte_width(c) > columns)
            break;
        written += out_shown_byte(c);
    }
    return written;
}

size_t visible_width(const char *s)
{
    size_t columns = 0;
    for (; *s != '\0'; s++)
        columns += byte_width(static_cast<unsigned char>(*s));
    return columns;
}

std::string visible_text(const char *s)
{
    std::string shown;
    for (; *s != '\0'; s++) {
        int c = static_cast<unsigned char>(*s);
        if (byte_is_printable(c)) {
            shown += static_cast<char>(c);
        } else {
            shown += '^';
            shown += static_cast<char>(caret_letter(c));
        }
    }
    return shown;
}
