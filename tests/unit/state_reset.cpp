// Runs reset_all_state before every test (a listener registered when the
// test program starts, before any test runs).
#include "state_reset.h"

#include <gtest/gtest.h>

#include "command/command.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"
#include "language/language.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

void reset_all_state()
{
    options_reset();
    filelist_reset();
    messages_reset();
    prompt_reset();
    command_reset();
    macro_reset();
    interpreter_reset();
    variables_reset();
    cache_reset();
    line_reset();
    line_scan_reset();
    linenum_clear();
    pos_reset();
    scroll_reset();
    paint_reset();
    out_discard();
    signals_reset();
    search_reset();
    reset_tags();
    reset_shell_state();
    init_marks();
}

namespace {

struct reset_before_each_test : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { reset_all_state(); }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new reset_before_each_test);
    return true;
}();

}  // namespace
