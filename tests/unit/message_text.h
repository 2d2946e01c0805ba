// The oldest pending message's text, taken ("" when none is pending), for
// the tests and fuzz targets that check what a lower layer recorded.
#ifndef VORN_TEST_MESSAGE_TEXT_H
#define VORN_TEST_MESSAGE_TEXT_H

#include <cstdlib>
#include <string>

#include "vorn.h"

inline std::string take_message_text()
{
    char *text = nullptr;
    if (take_message(&text) == MESSAGE_NONE)
        return "";
    std::string s = text;
    free(text);
    return s;
}

#endif
