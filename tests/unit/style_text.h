// A style in words, for readable expectations: "plain", or its attributes
// in a fixed order followed by fg=... and bg=... (an index, or rgb(r,g,b)).
#ifndef VORN_TEST_STYLE_TEXT_H
#define VORN_TEST_STYLE_TEXT_H

#include <string>

#include "terminal/terminal.h"

inline std::string colour_text(const text_colour &colour)
{
    if (colour.kind == COLOUR_INDEX)
        return std::to_string(colour.index);
    return "rgb(" + std::to_string(colour.red) + "," + std::to_string(colour.green) +
           "," + std::to_string(colour.blue) + ")";
}

inline std::string style_text(const text_style &style)
{
    static const char *const names[] = {"bold", "dim", "italic", "underline",
                                        "blink", "reverse", "standout"};
    std::string text;
    for (int bit = 0; bit < 7; bit++) {
        if (style.flags & (1u << bit))
            text += std::string(text.empty() ? "" : " ") + names[bit];
    }
    if (style.fg.kind != COLOUR_DEFAULT)
        text += (text.empty() ? "fg=" : " fg=") + colour_text(style.fg);
    if (style.bg.kind != COLOUR_DEFAULT)
        text += (text.empty() ? "bg=" : " bg=") + colour_text(style.bg);
    return text.empty() ? "plain" : text;
}

#endif
