// The mouse wheel among the keys: while the terminal reports the mouse
// (set_mouse_wheel), its reports arrive on the keyboard mixed with the keys.
// A report is taken out whole, so that none of its bytes can act as a key:
// a wheel notch becomes KEY_WHEEL_UP or KEY_WHEEL_DOWN, every other event
// (buttons, motion, a sideways wheel) is dropped.
//
// Two forms are understood: ESC [ < b ; x ; y M (or m), which terminals
// send once asked for it, and the older ESC [ M b x y with three bytes of
// 32 plus the value, which is all some terminals send.  In both the button
// value b has 64 set for the wheel, 1 in its low bits for a turn towards the
// user (down), and 4, 8, 16 for shift, meta and control, which change nothing
// here.
//
// Owns the bytes that began like a report but turned out to be keys (an ESC
// bound with the keys after it): they are handed out one at a time before
// the keyboard is read again.  Invariant: held_next <= held_count.
#include <cctype>
#include <cstring>

#include "terminal.h"

namespace {

enum { REPORT_MAX = 24 };   // the longest report taken, ESC included

unsigned char held[REPORT_MAX];
int held_count, held_next;

// The wheel, or another event, from the button value of a report.
int wheel_event(long button)
{
    if (button < 0 || button > 255 || (button & (64 | 32 | 128)) != 64)
        return MOUSE_OTHER_EVENT;  // not the wheel, or motion with it
    switch (button & 3) {
    case 0: return KEY_WHEEL_UP;
    case 1: return KEY_WHEEL_DOWN;
    default: return MOUSE_OTHER_EVENT;  // a sideways wheel
    }
}

// ESC [ < b ; x ; y followed by M or m, from the byte after the "<".
int sgr_report(const unsigned char *p, size_t length)
{
    long numbers[3] = {0, 0, 0};
    int field = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = p[i];
        if (isdigit(c)) {
            if (numbers[field] < 100000)    // larger numbers stay large
                numbers[field] = numbers[field] * 10 + (c - '0');
        } else if (c == ';' && field < 2) {
            field++;
        } else if ((c == 'M' || c == 'm') && i + 1 == length && field == 2) {
            // a release (m) comes only for buttons
            return c == 'M' ? wheel_event(numbers[0]) : MOUSE_OTHER_EVENT;
        } else {
            return MOUSE_NO_REPORT;
        }
    }
    return MOUSE_PARTIAL_REPORT;
}

}  // namespace

int mouse_report(const unsigned char *bytes, size_t length)
{
    static const unsigned char start[] = {27, '['};
    if (length <= sizeof start)
        return memcmp(bytes, start, length) == 0 ? MOUSE_PARTIAL_REPORT : MOUSE_NO_REPORT;
    if (memcmp(bytes, start, sizeof start) != 0)
        return MOUSE_NO_REPORT;
    if (bytes[2] == '<')
        return sgr_report(bytes + 3, length - 3);
    if (bytes[2] != 'M')
        return MOUSE_NO_REPORT;
    if (length < 6)
        return MOUSE_PARTIAL_REPORT;
    return length == 6 ? wheel_event(bytes[3] - 32) : MOUSE_NO_REPORT;
}

// One report, or the bytes that began like one: a wheel notch, an event
// dropped (MOUSE_OTHER_EVENT), a key, or a failure of the keyboard.
static int take_report(int key)
{
    held_count = held_next = 0;
    unsigned char report[REPORT_MAX];
    size_t length = 0;
    report[length++] = static_cast<unsigned char>(key);
    for (;;) {
        int kind = mouse_report(report, length);
        if (kind == KEY_WHEEL_UP || kind == KEY_WHEEL_DOWN || kind == MOUSE_OTHER_EVENT)
            return kind;
        if (kind == MOUSE_NO_REPORT || length == sizeof report) {
            // keys after all: the ESC now, the rest in turn
            held_count = static_cast<int>(length - 1);
            memcpy(held, report + 1, length - 1);
            return report[0];
        }
        int next = get_key();
        if (next < 0)
            return next;    // abandoned or failed: the report is lost
        report[length++] = static_cast<unsigned char>(next);
    }
}

int get_key_or_wheel()
{
    // a loop, not a call again: a run of dropped events has no bound
    for (;;) {
        if (held_next < held_count)
            return held[held_next++];
        int key = get_key();
        if (!mouse_wheel_on() || key != 27)
            return key;
        key = take_report(key);
        if (key != MOUSE_OTHER_EVENT)
            return key;
    }
}

void mouse_reset()
{
    held_count = held_next = 0;
}
