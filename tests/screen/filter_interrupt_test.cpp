// The interrupt key on a filtered view of an endless pipe whose lines the
// filter hides: setting the filter, the first screen of -&, and a repaint
// each walk on for ever; the interrupt abandons the walk, the pager stays
// with the filter set (named on the bottom line), and clearing the filter
// shows the text again.  The key is pressed once the pager is seen reading
// on, far beyond the first screen.
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;

bool prompt_names(vt_session &s, const std::string &text, int timeout_ms = 5000)
{
    return vt_wait(s, [&](vt_session &v) {
        return vt_row(v, BOTTOM).find(text) != std::string::npos; }, timeout_ms);
}

vt_ptr start_on_endless_pipe(const temp_home &dir, const std::string &pager_args)
{
    if (mkfifo((dir.path + "/pipe").c_str(), 0600) != 0)
        return nullptr;
    vt_options options;
    options.program = "/bin/sh";
    return start_in_dir(dir, {"-c", "(echo first; yes) > pipe & exec \"$0\" " + pager_args +
                                        " < pipe", VORN_BINARY}, options);
}

TEST(FilterInterrupt, SettingAFilterAndRepaintingAreAbandoned)
{
    temp_home dir;
    vt_ptr s = start_on_endless_pipe(dir, "");
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "first");
    play(*s, "&nosuch<enter>");
    ASSERT_TRUE(reading_on(*s));
    vt_key(*s, "^C");
    EXPECT_TRUE(prompt_names(*s, "[&nosuch]")) << vt_screen(*s);
    EXPECT_ROW(*s, 0, "first");
    // a repaint walks again from the top line, and is abandoned again (the
    // key's own repaint, then the prompt's)
    play(*s, "<^L>");
    ASSERT_TRUE(reading_on(*s));
    vt_key(*s, "^C");
    if (!prompt_names(*s, "[&nosuch]", 1000)) {
        ASSERT_TRUE(reading_on(*s));
        vt_key(*s, "^C");
    }
    EXPECT_TRUE(prompt_names(*s, "[&nosuch]")) << vt_screen(*s);
    play(*s, "&<enter>");
    EXPECT_ROW(*s, 0, "first");
    EXPECT_ROW(*s, 22, "y");
    play(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(FilterInterrupt, FirstFilteredScreenIsAbandoned)
{
    temp_home dir;
    vt_ptr s = start_on_endless_pipe(dir, "-\\&first");
    ASSERT_TRUE(s);
    ASSERT_TRUE(reading_on(*s));
    vt_key(*s, "^C");
    EXPECT_TRUE(prompt_names(*s, "[&first]")) << vt_screen(*s);
    play(*s, "&<enter>");
    EXPECT_ROW(*s, 0, "first");
    EXPECT_ROW(*s, 1, "y");
    play(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

}  // namespace
