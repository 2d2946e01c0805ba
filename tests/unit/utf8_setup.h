// Tests of UTF-8 text run in the C library's UTF-8 locale and go back to
// the C locale afterwards, whatever they did in between.
#ifndef VORN_UTF8_SETUP_H
#define VORN_UTF8_SETUP_H

#include <gtest/gtest.h>

#include <clocale>

#include "display/display.h"

// Makes the character-type locale C.UTF-8 (on) or C (off) and takes the
// text's characters from it, as start-up does.
inline void use_utf8_locale(bool on)
{
    charset_reset();
    setlocale(LC_ALL, on ? "C.UTF-8" : "C");
    charset_init(1);
}

class Utf8Locale {
public:
    explicit Utf8Locale(bool on = true) { use_utf8_locale(on); }
    ~Utf8Locale() { use_utf8_locale(false); }
    Utf8Locale(const Utf8Locale &) = delete;
    Utf8Locale &operator=(const Utf8Locale &) = delete;
};

#endif
