// UTF-8 text through the real binary on an emulated UTF-8 terminal: a file
// of accented, wide and malformed text, a manual page formatted by the
// installed man with the pager as its pager, typing and erasing characters
// on the bottom line, and the switch to bytes (-b, the utf8 command); the
// same inputs in the C locale stay bytes in caret form.
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const std::string E_ACUTE = "\xC3\xA9", CJK = "\xE4\xB8\xAD", HYPHEN = "\xE2\x80\x90";

vt_ptr start_in(const temp_home &home, const std::string &locale,
                std::vector<std::string> args, int cols = 20,
                const std::string &program = "")
{
    vt_options options;
    options.program = program;
    options.args = std::move(args);
    options.cols = cols;
    options.cwd = home.path;
    options.env = {{"HOME", home.path}, {"LC_ALL", locale}};
    if (!program.empty()) {
        // man hands the page to the pager (or the shell pipes it there),
        // which stays at its end; man keeps the overstrikes in a pipe too
        options.env.push_back({"MANPAGER", VORN_BINARY});
        options.env.push_back({"MAN_KEEP_FORMATTING", "1"});
        options.env.push_back({"MANWIDTH", "80"});
        options.env.push_back({"VORN", "-e"});
    }
    options.utf8 = true;
    return vt_start(options);
}

// The text of the file: accented letters, a line of wide characters that
// wraps at 20 columns with one column to spare, and malformed bytes; then
// enough lines for the first screen to start at the top.
std::string filler()
{
    std::string lines;
    for (int i = 0; i < 30; i++)
        lines += "-\n";
    return lines;
}
const std::string TEXT = "caf" + E_ACUTE + " na" + "i\xCC\x88" + "ve\n" + "a" + CJK + CJK +
                         CJK + CJK + CJK + CJK + CJK + CJK + CJK + CJK + "b\n" +
                         "\xC3z\x9B\xC2\x9B" + E_ACUTE + "\n" + filler();

TEST(Utf8Screen, FileInCharacters)
{
    temp_home home;
    home.write("text.txt", TEXT);
    vt_ptr s = start_in(home, "C.UTF-8", {"-e", "text.txt"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "caf" + E_ACUTE + " na" + "i\xCC\x88" + "ve");
    // nine wide characters fill 19 columns; the tenth starts the next row
    std::string nine;
    for (int i = 0; i < 9; i++)
        nine += CJK;
    EXPECT_ROW(*s, 1, "a" + nine);
    EXPECT_ROW(*s, 2, CJK + "b");
    EXPECT_ROW(*s, 3, "<C3>z<9B><C2><9B>" + E_ACUTE);
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A file name in the prompt: its characters in UTF-8, carets in the C
// locale; a control byte in it is in caret form either way, and a stray
// high byte in hexadecimal form in UTF-8.
TEST(Utf8Screen, FileNameInThePrompt)
{
    temp_home home;
    const std::string name = "caf" + E_ACUTE + "\x1b" + CJK + "\x81.txt";
    home.write(name, TEXT);
    struct name_case {
        const char *locale;
        std::string shown;
    };
    const name_case cases[] = {
        {"C.UTF-8", "caf" + E_ACUTE + "^[" + CJK + "<81>.txt"},
        {"C", "caf^C^i^[^d^x^m^A.txt"},
    };
    for (const name_case &c : cases) {
        SCOPED_TRACE(c.locale);
        vt_ptr s = start_in(home, c.locale, {"-e", name}, 40);
        ASSERT_TRUE(s);
        EXPECT_TRUE(vt_wait_contains(*s, 23, c.shown)) << vt_row(*s, 23);
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

// The columns of a row in standout (reverse here), as '#' and '.'.
std::string standout_columns(vt_session &s, int row, int width)
{
    std::string marks;
    for (int col = 0; col < width; col++)
        marks += vt_attr(s, row, col).reverse ? '#' : '.';
    return marks;
}

// In UTF-8 text a byte that is no part of a printable character shows as
// its value in hexadecimal, in standout, so that different bytes look
// different; control characters below 0x20 and DEL keep their caret form.
// In the C locale every such byte is in caret form, as before.  The four
// columns of a hexadecimal form wrap whole.
TEST(Utf8Screen, StrayBytesInHexadecimal)
{
    temp_home home;
    home.write("bytes.txt", "\x01|\x81|\xC1|\x1b|\x9B|\x7F|\xFF|\n" +
                                std::string("abcdefghijklmnop\x81z\n") +
                                "abcdefghijklmnopq\xFEz\n" + filler());
    struct bytes_case {
        const char *locale;
        std::string row, standout;
    };
    const bytes_case cases[] = {
        {"C.UTF-8", "^A|<81>|<C1>|^[|<9B>|^?|<FF>|", "...####.####....####....####."},
        {"C", "^A|^A|^A|^[|^[|^?|^?|", "....................."},
    };
    for (const bytes_case &c : cases) {
        SCOPED_TRACE(c.locale);
        vt_ptr s = start_in(home, c.locale, {"-e", "bytes.txt"}, 40);
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, c.row);
        EXPECT_EQ(standout_columns(*s, 0, static_cast<int>(c.standout.size())), c.standout);
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }

    // at 20 columns a form that reaches the edge stays on its row; one
    // that would pass it begins the next
    vt_ptr s = start_in(home, "C.UTF-8", {"-e", "bytes.txt"}, 20);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 2, "abcdefghijklmnop<81>");
    EXPECT_EQ(standout_columns(*s, 2, 20), std::string(16, '.') + "####");
    EXPECT_ROW(*s, 3, "z");
    EXPECT_ROW(*s, 4, "abcdefghijklmnopq");
    EXPECT_ROW(*s, 5, "<FE>z");
    EXPECT_EQ(standout_columns(*s, 5, 5), "####.");
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Utf8Screen, HorizontalScrollCountsColumns)
{
    temp_home home;
    home.write("text.txt", TEXT);
    home.write(".vornrc", "macro 0 R 'rscroll 2'\nmacro 0 r 'rscroll 1'\n");
    vt_ptr s = start_in(home, "C.UTF-8", {"-e", "text.txt"});
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "caf" + E_ACUTE + " na" + "i\xCC\x88" + "ve");
    // the first scroll right only stops the wrapping
    vt_type(*s, "R");
    EXPECT_ROW(*s, 2, "<C3>z<9B><C2><9B>" + E_ACUTE);
    vt_type(*s, "R");
    // two columns on, "a" and half of the first wide character are gone:
    // a blank stands for the other half
    std::string rest = " ";
    for (int i = 0; i < 9; i++)
        rest += CJK;
    rest += "b";
    EXPECT_ROW(*s, 0, "f" + E_ACUTE + " na" + "i\xCC\x88" + "ve");
    EXPECT_ROW(*s, 1, rest);
    vt_type(*s, "r");
    EXPECT_ROW(*s, 1, rest.substr(1));
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

TEST(Utf8Screen, BytesInTheCLocaleWithBAndByCommand)
{
    temp_home home;
    home.write("text.txt", TEXT);
    home.write(".vornrc", "macro 0 U 'utf8 (${_utf8_n} + 1)'\n"
                          "macro 0 S 'error \"utf8 ${_utf8_s}\"'\n");
    const std::string bytes_row = "caf^C^i nai^L^Hve";
    vt_ptr s = start_in(home, "C", {"-e", "text.txt"}, 80);
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, bytes_row);
    EXPECT_ROW(*s, 2, "^Cz^[^B^[^C^i");
    // on fails where the locale is not UTF-8, and the state stays off
    vt_type(*s, "U");
    EXPECT_TRUE(vt_wait_contains(*s, 23, "utf8: the locale's code set is not UTF-8"));
    vt_type(*s, "\n");
    vt_type(*s, "S");
    EXPECT_TRUE(vt_wait_contains(*s, 23, "utf8 off"));
    vt_type(*s, "\nq");
    EXPECT_EQ(vt_wait_exit(*s), 0);

    s = start_in(home, "C.UTF-8", {"-b", "-e", "text.txt"}, 80);
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, bytes_row);
    vt_type(*s, "U");
    EXPECT_ROW(*s, 0, "caf" + E_ACUTE + " na" + "i\xCC\x88" + "ve");
    vt_type(*s, "S");
    EXPECT_TRUE(vt_wait_contains(*s, 23, "utf8 on"));
    vt_type(*s, "\nU");
    EXPECT_ROW(*s, 0, bytes_row);
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// The Examine prompt: "é" and a CJK character typed a byte at a time and
// erased whole; in the C locale the same keys are bytes in caret form.
TEST(Utf8Screen, TypingAndErasingAtAPrompt)
{
    temp_home home;
    home.write("text.txt", TEXT);
    vt_ptr s = start_in(home, "C.UTF-8", {"-e", "text.txt"}, 40);
    ASSERT_TRUE(s);
    EXPECT_ROW(*s, 0, "caf" + E_ACUTE + " na" + "i\xCC\x88" + "ve");
    vt_type(*s, ":e");
    EXPECT_ROW(*s, 23, "Examine:");
    vt_type(*s, "x" + E_ACUTE);
    EXPECT_ROW(*s, 23, "Examine: x" + E_ACUTE);
    vt_type(*s, "\x7f");
    EXPECT_ROW(*s, 23, "Examine: x");
    vt_type(*s, CJK.substr(0, 2));
    vt_type(*s, CJK.substr(2) + "y");
    EXPECT_ROW(*s, 23, "Examine: x" + CJK + "y");
    EXPECT_EQ(vt_cursor(*s), std::make_pair(23, 13));
    vt_type(*s, "\x7f\x7f");
    EXPECT_ROW(*s, 23, "Examine: x");
    EXPECT_EQ(vt_cursor(*s), std::make_pair(23, 10));
    vt_type(*s, "\x15q");
    EXPECT_EQ(vt_wait_exit(*s), 0);

    s = start_in(home, "C", {"-e", "text.txt"}, 40);
    ASSERT_TRUE(s);
    vt_type(*s, ":e");
    EXPECT_ROW(*s, 23, "Examine:");
    vt_type(*s, "x" + E_ACUTE);
    EXPECT_ROW(*s, 23, "Examine: x^C^i");
    vt_type(*s, "\x7f");
    EXPECT_ROW(*s, 23, "Examine: x^C");
    vt_type(*s, "\x15q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// A search for non-ASCII text: in UTF-8 "." takes a whole character and
// -i folds "É" and "é"; in the C locale both work on bytes.  The pattern
// is typed at the search prompt, "é" and a CJK character a byte at a time,
// and erased whole.
TEST(Utf8Screen, SearchingForCharacters)
{
    temp_home home;
    home.write("words.txt", "top\nCAF" "\xC3\x89 upper\nnothing\ncaf" "\xC3\xA9 lower\n" +
                                CJK + " wide\n" + filler());
    struct search_case {
        const char *locale;
        std::vector<std::string> args;
        std::string pattern;
        std::string top_row;     // after the search
    };
    const std::string upper = "CAF\xC3\x89 upper", lower = "caf" + E_ACUTE + " lower";
    const std::vector<search_case> cases = {
        {"C.UTF-8", {}, "caf" + E_ACUTE, lower},
        {"C.UTF-8", {"-i"}, "caf" + E_ACUTE, upper},
        {"C.UTF-8", {}, "^caf. ", lower},
        {"C.UTF-8", {"-i"}, "^caf. ", upper},
        {"C.UTF-8", {}, "^. wide", CJK + " wide"},
        {"C", {}, "caf" + E_ACUTE, "caf^C^i lower"},
        {"C", {"-i"}, "caf" + E_ACUTE, "caf^C^i lower"},
        {"C", {"-i"}, "^caf.. ", "CAF^C^I upper"},
        {"C", {}, "^caf. ", "top"},     // one byte short: not found
    };
    for (const search_case &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " /" + c.pattern);
        std::vector<std::string> args = c.args;
        args.push_back("-e");
        args.push_back("words.txt");
        vt_ptr s = start_in(home, c.locale, args, 40);
        ASSERT_TRUE(s);
        EXPECT_ROW(*s, 0, "top");
        vt_type(*s, "/" + c.pattern + "\n");
        EXPECT_ROW(*s, 0, c.top_row);
        vt_type(*s, "q");     // also ends the wait of "Pattern not found"
        EXPECT_EQ(vt_wait_exit(*s), 0);
    }
}

TEST(Utf8Screen, TypingAndErasingAtTheSearchPrompt)
{
    temp_home home;
    home.write("text.txt", TEXT);
    vt_ptr s = start_in(home, "C.UTF-8", {"-e", "text.txt"}, 40);
    ASSERT_TRUE(s);
    vt_type(*s, "/");
    EXPECT_ROW(*s, 23, "Search: /");
    vt_type(*s, E_ACUTE.substr(0, 1));
    EXPECT_ROW(*s, 23, "Search: /");         // half a character shows nothing yet
    vt_type(*s, E_ACUTE.substr(1) + CJK.substr(0, 1));
    EXPECT_ROW(*s, 23, "Search: /" + E_ACUTE);
    vt_type(*s, CJK.substr(1) + "z");
    EXPECT_ROW(*s, 23, "Search: /" + E_ACUTE + CJK + "z");
    EXPECT_EQ(vt_cursor(*s), std::make_pair(23, 13));
    vt_type(*s, "\x7f\x7f");
    EXPECT_ROW(*s, 23, "Search: /" + E_ACUTE);
    EXPECT_EQ(vt_cursor(*s), std::make_pair(23, 10));
    vt_type(*s, "\x7f");
    EXPECT_ROW(*s, 23, "Search: /");
    EXPECT_EQ(vt_cursor(*s), std::make_pair(23, 9));
    // a word erase takes the characters of the word whole
    vt_type(*s, "a " + E_ACUTE + CJK);
    EXPECT_ROW(*s, 23, "Search: /a " + E_ACUTE + CJK);
    vt_type(*s, werase_key(*s));
    EXPECT_ROW(*s, 23, "Search: /a");
    EXPECT_EQ(vt_cursor(*s), std::make_pair(23, 10));
    vt_type(*s, "\x15q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
}

// One screen of the page as the pager shows it: each row's text and, per
// column, ' ' plain, 'b' bold, 'u' underlined.
struct page_screen {
    std::vector<std::string> rows;
    std::vector<std::string> attrs;
};

// The page shown with the pager as man's pager, or (`piped`) read from
// a pipe that man writes with its formatting kept.
page_screen man_page_screen(const temp_home &home, const std::string &locale, bool piped)
{
    page_screen shown;
    vt_ptr s = piped ? start_in(home, locale,
                                {"-c", std::string("man ./demo.1 | ") + VORN_BINARY}, 80,
                                "/bin/sh")
                     : start_in(home, locale, {"./demo.1"}, 80, "/usr/bin/man");
    if (!s)
        return shown;
    if (!vt_wait_contains(*s, 23, "END")) {
        ADD_FAILURE() << "no manual page\n" << vt_screen(*s);
        return shown;
    }
    for (int row = 0; row < 23; row++) {
        shown.rows.push_back(vt_row(*s, row));
        std::string mask;
        for (int col = 0; col < 80; col++) {
            vt_attrs a = vt_attr(*s, row, col);
            mask += a.underline ? 'u' : a.bold ? 'b' : ' ';
        }
        shown.attrs.push_back(mask);
    }
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
    return shown;
}

std::string replace_all(std::string text, const std::string &from, const std::string &to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
        text.replace(at, from.size(), to), at += to.size();
    return text;
}

void compare_pages(const page_screen &utf8, const page_screen &bytes);

// A manual page formatted for UTF-8 (hyphens U+2010 and curly quotes, some
// of them overstruck for bold and underline) shows the same text with the
// same attributes as in the C locale, with its real hyphens and quotes.
TEST(Utf8Screen, ManualPageAsInTheCLocale)
{
    temp_home home;
    home.write("demo.1",
               ".TH DEMO 1 2024-01-01 demo \"User Commands\"\n"
               ".SH NAME\n"
               "demo \\- show well\\(hyformed text\n"
               ".SH DESCRIPTION\n"
               ".B demo\n"
               "reads a \\fBwell\\(hyknown\\fP file and writes \\fIhalf\\(hydone\\fP work,\n"
               "with \\fB\\(lqbold quotes\\(rq\\fP and \\fI\\(oqitalic quotes\\(cq\\fP.\n");
    page_screen bytes = man_page_screen(home, "C", false);
    ASSERT_EQ(bytes.rows.size(), 23u);
    std::string masks;
    for (const std::string &mask : bytes.attrs)
        masks += mask;
    // the page must carry both attributes, or comparing them shows nothing
    EXPECT_NE(masks.find('b'), std::string::npos);
    EXPECT_NE(masks.find('u'), std::string::npos);
    for (bool piped : {false, true}) {
        SCOPED_TRACE(piped ? "piped from man" : "as man's pager");
        page_screen utf8 = man_page_screen(home, "C.UTF-8", piped);
        compare_pages(utf8, bytes);
    }
}

void compare_pages(const page_screen &utf8, const page_screen &bytes)
{
    ASSERT_EQ(utf8.rows.size(), 23u);
    ASSERT_EQ(bytes.rows.size(), 23u);
    std::string all;
    for (const std::string &row : utf8.rows)
        all += row + "\n";
    EXPECT_NE(all.find("DEMO(1)"), std::string::npos) << all;
    EXPECT_NE(all.find("well" + HYPHEN + "known"), std::string::npos) << all;
    EXPECT_NE(all.find("\xE2\x80\x9C" "bold"), std::string::npos) << all;
    for (size_t row = 0; row < utf8.rows.size(); row++) {
        SCOPED_TRACE("row " + std::to_string(row));
        std::string text = replace_all(utf8.rows[row], HYPHEN, "-");
        text = replace_all(text, "\xE2\x80\x9C", "\"");
        text = replace_all(text, "\xE2\x80\x9D", "\"");
        text = replace_all(text, "\xE2\x80\x98", "'");
        text = replace_all(text, "\xE2\x80\x99", "'");
        EXPECT_EQ(text, bytes.rows[row]);
        EXPECT_EQ(utf8.attrs[row], bytes.attrs[row]);
    }
}

}  // namespace
