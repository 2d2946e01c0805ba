// Colours and the attributes that the text's own sequences (and the match
// highlighting) ask for, sent through the terminal description.
//
// Owns what the description offers for them (`colour_support`,
// `colour_count` and the sequences, kept in the terminal's capability area
// behind the others, so a description too large for it loses its colours
// first) and
// the style the terminal is in (`current_style`; ATTR_STYLE is set in
// `attr_state` while it is not plain, so that clearing the screen or a
// line switches it off like the other attributes).  Invariants:
// - the terminal is only ever asked for what it can show: every wanted
//   style passes through style_for_terminal first (attributes it lacks are
//   dropped, colours become the nearest it has);
// - switching anything off goes through the full reset (`me`, and `op`
//   when a colour was on) followed by what stays on: the description has
//   no end sequence for most attributes, and the reset is the one sure way;
//   a terminal without `me` keeps to underline and standout, which have
//   ends of their own, and to colours when it has `op`;
// - a terminal whose attributes take room on the screen (`sg`) gets no
//   styles at all: they would shift the text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <termcap.h>

#include "terminal.h"

// From <term.h>, which cannot be included here (it defines clear and
// columns as macros): the direct-colour flag "RGB" has no two-letter name.
extern "C" int tigetflag(const char *name);
extern "C" int tigetnum(const char *name);

int colour_support;
int colour_count;

namespace {

enum { DIRECT_COLOURS = 0x1000000 };

bool styles_usable;
unsigned usable_flags;      // STYLE_* bits this terminal can show

// The sequences; null when the description lacks them.
struct style_sequences {
    const char *all_off;    // me
    const char *colours_off;    // op
    const char *fg, *bg;        // AF, AB (ANSI colour order)
    const char *fg_old, *bg_old;    // Sf, Sb (their own order)
    const char *ul_off, *so_off;    // ue, se
    const char *on[7];      // by STYLE_* bit: md mh ZH us mb mr so
};
style_sequences seq;

text_style current_style;

const char *const ON_NAMES[7] = {"md", "mh", "ZH", "us", "mb", "mr", "so"};

bool direct_colour_described()
{
    int flag = tigetflag("RGB");
    return flag > 0 || tigetnum("RGB") > 0;
}

bool direct_colour_announced()
{
    const char *value = getenv("COLORTERM");
    return value != nullptr &&
           (strcmp(value, "truecolor") == 0 || strcmp(value, "24bit") == 0);
}

void read_colours()
{
    colour_support = COLOURS_NONE;
    colour_count = 0;
    int count = term_number("Co");
    bool can_set = seq.fg != nullptr || seq.fg_old != nullptr;
    bool can_reset = seq.all_off != nullptr || seq.colours_off != nullptr;
    if (count < 8 || !can_set || !can_reset)
        return;
    colour_count = count;
    if (count >= DIRECT_COLOURS && seq.fg != nullptr && direct_colour_described())
        colour_support = COLOURS_DIRECT_DESCRIBED;
    else if (direct_colour_announced())
        colour_support = COLOURS_DIRECT_ENVIRONMENT;
    else
        colour_support = COLOURS_INDEXED;
}

unsigned read_usable_flags()
{
    unsigned flags = 0;
    for (int bit = 0; bit < 7; bit++) {
        if (seq.on[bit] == nullptr)
            continue;
        unsigned flag = 1u << bit;
        bool has_end = seq.all_off != nullptr ||
                       (flag == STYLE_UNDERLINE && seq.ul_off != nullptr) ||
                       (flag == STYLE_STANDOUT && seq.so_off != nullptr);
        if (has_end)
            flags |= flag;
    }
    return flags;
}

// Sf and Sb number the colours with blue and red swapped.
int old_colour_number(int ansi)
{
    static const int order[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    return order[ansi & 7];
}

void send_parameterised(const char *sequence, int value)
{
    const char *text = tgoto(sequence, 0, value);
    if (text != nullptr)
        term_send(text);
}

void send_colour(const text_colour &colour, bool foreground)
{
    if (colour.kind == COLOUR_RGB) {
        if (colour_support == COLOURS_DIRECT_ENVIRONMENT) {
            char text[32];
            snprintf(text, sizeof text, "\033[%d;2;%d;%d;%dm", foreground ? 38 : 48,
                     colour.red, colour.green, colour.blue);
            term_send(text);
            return;
        }
        // The described form takes red, green and blue packed in one
        // number; below 8 it would be taken for a basic colour.
        int packed = colour.red << 16 | colour.green << 8 | colour.blue;
        send_parameterised(foreground ? seq.fg : seq.bg, packed < 8 ? 8 : packed);
        return;
    }
    const char *ansi = foreground ? seq.fg : seq.bg;
    if (ansi != nullptr) {
        send_parameterised(ansi, colour.index);
        return;
    }
    const char *old = foreground ? seq.fg_old : seq.bg_old;
    if (old != nullptr)
        send_parameterised(old, old_colour_number(colour.index));
}

text_colour index_colour(int index)
{
    text_colour colour;
    colour.kind = COLOUR_INDEX;
    colour.index = static_cast<uint8_t>(index);
    return colour;
}

text_colour rgb_colour(int red, int green, int blue)
{
    text_colour colour;
    colour.kind = COLOUR_RGB;
    colour.red = static_cast<uint8_t>(red);
    colour.green = static_cast<uint8_t>(green);
    colour.blue = static_cast<uint8_t>(blue);
    return colour;
}

bool direct()
{
    return colour_support == COLOURS_DIRECT_DESCRIBED ||
           colour_support == COLOURS_DIRECT_ENVIRONMENT;
}

// The colour this terminal shows for `colour`.
text_colour fit_colour(const text_colour &colour)
{
    if (colour.kind == COLOUR_DEFAULT || colour_support == COLOURS_NONE)
        return text_colour{};
    int palette = colour_count < 256 ? colour_count : 256;
    // Sf and Sb know the eight basic colours only.
    if (seq.fg == nullptr)
        palette = 8;
    if (colour.kind == COLOUR_RGB) {
        if (direct())
            return colour;
        return index_colour(nearest_colour(colour.red, colour.green, colour.blue, palette));
    }
    int index = colour.index;
    // The described direct form takes only the basic colours by number.
    int by_number = colour_support == COLOURS_DIRECT_DESCRIBED ? 8 : palette;
    if (index < by_number)
        return colour;
    int red, green, blue;
    palette_colour(index, &red, &green, &blue);
    if (direct())
        return rgb_colour(red, green, blue);
    // A bright colour the terminal lacks is its basic colour.
    if (index < 16)
        return index_colour(index - 8);
    return index_colour(nearest_colour(red, green, blue, palette));
}

bool needs_reset(const text_style &from, const text_style &to)
{
    return (from.flags & ~to.flags) != 0 ||
           (from.fg.kind != COLOUR_DEFAULT && to.fg.kind == COLOUR_DEFAULT) ||
           (from.bg.kind != COLOUR_DEFAULT && to.bg.kind == COLOUR_DEFAULT);
}

// Switches off what `to` does not have; afterwards current_style is a
// part of `to`.
void reset_towards(const text_style &to)
{
    if (seq.all_off != nullptr) {
        bool had_colour = current_style.fg.kind != COLOUR_DEFAULT ||
                          current_style.bg.kind != COLOUR_DEFAULT;
        term_send(seq.all_off);
        if (had_colour && seq.colours_off != nullptr)
            term_send(seq.colours_off);
        current_style = text_style{};
        return;
    }
    unsigned dropped = current_style.flags & ~to.flags;
    if ((dropped & STYLE_UNDERLINE) && seq.ul_off != nullptr)
        term_send(seq.ul_off);
    if ((dropped & STYLE_STANDOUT) && seq.so_off != nullptr)
        term_send(seq.so_off);
    current_style.flags &= to.flags;
    if ((current_style.fg.kind != COLOUR_DEFAULT && to.fg.kind == COLOUR_DEFAULT) ||
        (current_style.bg.kind != COLOUR_DEFAULT && to.bg.kind == COLOUR_DEFAULT)) {
        term_send(seq.colours_off);
        current_style.fg = current_style.bg = text_colour{};
    }
}

// Any attribute that takes a column when switched on or off: line assembly
// counts those columns only for the attributes it sends itself, so a style
// sent on top would push the row past the screen's edge.
bool attributes_take_room()
{
    return standout_width != 0 || standout_end_width != 0 || underline_width != 0 ||
           underline_end_width != 0 || bold_width != 0 || bold_end_width != 0;
}

}  // namespace

void style_reset()
{
    seq = style_sequences{};
    current_style = text_style{};
    note_attribute(ATTR_STYLE, false);
    styles_usable = false;
    colour_support = COLOURS_NONE;
    colour_count = 0;
    usable_flags = 0;
}

void read_style_capabilities(bool hard_copy)
{
    style_reset();
    styles_usable = !hard_copy && !attributes_take_room();
    if (!styles_usable)
        return;
    seq.all_off = term_kept_string("me");
    seq.colours_off = term_kept_string("op");
    seq.ul_off = term_kept_string("ue");
    seq.so_off = term_kept_string("se");
    for (int bit = 0; bit < 7; bit++)
        seq.on[bit] = term_kept_string(ON_NAMES[bit]);
    seq.fg = term_kept_string("AF");
    seq.bg = term_kept_string("AB");
    if (seq.fg == nullptr || seq.bg == nullptr) {
        seq.fg = seq.bg = nullptr;
        seq.fg_old = term_kept_string("Sf");
        seq.bg_old = term_kept_string("Sb");
        if (seq.fg_old == nullptr || seq.bg_old == nullptr)
            seq.fg_old = seq.bg_old = nullptr;
    }
    usable_flags = read_usable_flags();
    read_colours();
}

int style_usable()
{
    return styles_usable && (usable_flags != 0 || colour_support != COLOURS_NONE);
}

text_style style_for_terminal(const text_style &wanted)
{
    text_style fitted;
    if (!styles_usable)
        return fitted;
    fitted.flags = wanted.flags & usable_flags;
    fitted.fg = fit_colour(wanted.fg);
    fitted.bg = fit_colour(wanted.bg);
    return fitted;
}

void style_apply(const text_style &wanted)
{
    text_style to = style_for_terminal(wanted);
    if (to == current_style)
        return;
    if (needs_reset(current_style, to))
        reset_towards(to);
    unsigned added = to.flags & ~current_style.flags;
    for (int bit = 0; bit < 7; bit++) {
        if (added & (1u << bit))
            term_send(seq.on[bit]);
    }
    if (to.fg.kind != COLOUR_DEFAULT && !(to.fg == current_style.fg))
        send_colour(to.fg, true);
    if (to.bg.kind != COLOUR_DEFAULT && !(to.bg == current_style.bg))
        send_colour(to.bg, false);
    current_style = to;
    note_attribute(ATTR_STYLE, !(current_style == text_style{}));
}

void style_off()
{
    style_apply(text_style{});
}

// The usual palette: the sixteen colours of the common terminals, a cube
// of six levels per component, and 24 greys.
void palette_colour(int index, int *red, int *green, int *blue)
{
    static const uint8_t basic[16][3] = {
        {0, 0, 0}, {205, 0, 0}, {0, 205, 0}, {205, 205, 0},
        {0, 0, 238}, {205, 0, 205}, {0, 205, 205}, {229, 229, 229},
        {127, 127, 127}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
        {92, 92, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
    };
    static const int level[6] = {0, 95, 135, 175, 215, 255};
    index &= 0xff;
    if (index < 16) {
        *red = basic[index][0];
        *green = basic[index][1];
        *blue = basic[index][2];
    } else if (index < 232) {
        int cube = index - 16;
        *red = level[cube / 36];
        *green = level[cube / 6 % 6];
        *blue = level[cube % 6];
    } else {
        *red = *green = *blue = 8 + 10 * (index - 232);
    }
}

int nearest_colour(int red, int green, int blue, int count)
{
    if (count > 256)
        count = 256;
    // Where the cube and the greys exist they are the sure choice: the
    // first sixteen are the ones that colour schemes change.
    int first = count == 256 ? 16 : 0;
    int best = first;
    long best_distance = -1;
    for (int index = first; index < count; index++) {
        int r, g, b;
        palette_colour(index, &r, &g, &b);
        long distance = static_cast<long>(r - red) * (r - red) +
                        static_cast<long>(g - green) * (g - green) +
                        static_cast<long>(b - blue) * (b - blue);
        if (best_distance < 0 || distance < best_distance) {
            best = index;
            best_distance = distance;
        }
    }
    return best;
}
