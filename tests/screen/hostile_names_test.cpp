// Names that a shell would take for commands: quotes, $(...), backquotes,
// semicolons, pipes, blanks and newlines, in file names and tag names.
// Wherever such a name goes (the file list, "#", "Examine: ", the editor,
// the mark listing, the tags file, global), it is a name and nothing else:
// each of the names below would create the file "marker" in the pager's
// directory if a shell ran it, and the marker must never appear.  The shell
// is the real one, so that a name that reached it would really run.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "pager_session.h"

namespace {

const int BOTTOM = 23;

// File names that are commands to a shell, one way or another.
const std::vector<std::string> hostile_names = {
    "$(touch marker)",
    "`touch marker`",
    "a;touch marker",
    "b|touch marker",
    "c&&touch marker",
    "it's \"q\" $(touch marker)",
    "d\";touch marker;\"",
    "e';touch marker;'",
    "f\ntouch marker",
};

// The same without blanks, for the tags file, whose fields blanks separate.
const std::vector<std::string> hostile_words = {
    "$(touch${IFS}marker)",
    "`touch${IFS}marker`",
    "a;touch${IFS}marker",
    "b|touch${IFS}marker",
    "it's\"q\"$(touch${IFS}marker)",
};

struct hostile_dir : temp_home {
    hostile_dir()
    {
        // More than a screenful each: a file's first line is on the top row.
        const std::string filler = numbered_text(2, 40);
        write("plain.txt", "plain 1\n" + filler);
        for (size_t i = 0; i < hostile_names.size(); i++)
            write(hostile_names[i], "hostile " + std::to_string(i) + "\n" + filler);
        for (const std::string &word : hostile_words)
            write(word, filler);
        // The editor of `v`: records that it ran, and its last argument.
        // The record appears whole (written aside, then renamed), so that
        // the test never reads it half written.
        write("editor", "#!/bin/sh\nfor last; do :; done\n"
                        "here=\"$(dirname \"$0\")\"\n"
                        "printf '%s' \"$last\" > \"$here/edited.new\"\n"
                        "mv \"$here/edited.new\" \"$here/edited\"\n");
        chmod((path + "/editor").c_str(), 0755);
    }
    bool marker() const { return std::filesystem::exists(path + "/marker"); }
};

vt_ptr start_in(const hostile_dir &dir, const std::vector<std::string> &args,
                bool with_shell = true)
{
    vt_options options;
    options.args = args;
    options.cwd = dir.path;
    options.env = {{"HOME", dir.path}, {"EDITOR", dir.path + "/editor"}};
    if (with_shell)
        options.env.emplace_back("SHELL", "/bin/sh");
    else
        options.unset_env.push_back("SHELL");
    options.home_files = {{".vornrc", "macro 0 M 'listbmarks'\n"}};
    std::string binary = VORN_BINARY;
    const char *path = getenv("PATH");
    options.env.emplace_back("PATH", binary.substr(0, binary.rfind('/')) + ":" +
                                         (path != nullptr ? path : ""));
    return vt_start(options);
}

// A name typed at "Examine: " is expanded by the shell only when that
// cannot run anything; a name that could is opened as it was typed, so the
// file of exactly that name is shown.  The newline cannot be typed there.
TEST(HostileNames, ExamineNeverRunsATypedName)
{
    for (bool with_shell : {true, false}) {
        hostile_dir dir;
        auto s = start_in(dir, {"-e", "plain.txt"}, with_shell);
        ASSERT_TRUE(s);
        ASSERT_ROW(*s, 0, "plain 1");
        for (size_t i = 0; i + 1 < hostile_names.size(); i++) {
            SCOPED_TRACE(hostile_names[i] + (with_shell ? " with SHELL" : " without SHELL"));
            play(*s, ":e");
            ASSERT_ROW_HAS(*s, BOTTOM, "Examine:");
            vt_type(*s, hostile_names[i]);
            vt_key(*s, "enter");
            std::string shown = "hostile " + std::to_string(i);
            EXPECT_TRUE(vt_wait(*s, [&](vt_session &v) {
                return vt_row(v, 0) == shown ||
                       vt_row(v, BOTTOM).find("RETURN") != std::string::npos;
            }));
            // A name the shell may expand (quotes only) need not come back
            // as the same name; all that matters is that nothing ran.
            if (vt_row(*s, BOTTOM).find("RETURN") != std::string::npos)
                vt_key(*s, "enter");
            EXPECT_FALSE(dir.marker()) << vt_screen(*s);
        }
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
        EXPECT_FALSE(dir.marker());
    }
}

// Named on the command line: the files are walked with :n and :p and "#",
// each is handed to the editor, marked and listed; nothing runs and the
// editor gets each name whole.
TEST(HostileNames, FileListEditorAndMarkListingKeepNamesWhole)
{
    hostile_dir dir;
    std::vector<std::string> args = {"-e", "plain.txt"};
    args.insert(args.end(), hostile_names.begin(), hostile_names.end());
    auto s = start_in(dir, args);
    ASSERT_TRUE(s);
    ASSERT_ROW(*s, 0, "plain 1");
    for (size_t i = 0; i < hostile_names.size(); i++) {
        SCOPED_TRACE(hostile_names[i]);
        std::string shown = "hostile " + std::to_string(i);
        play(*s, ":n");
        ASSERT_ROW(*s, 0, shown);
        play(*s, "ma");
        std::filesystem::remove(dir.path + "/edited");
        play(*s, "v");
        ASSERT_TRUE(wait_for(*s, [&] { return std::filesystem::exists(dir.path + "/edited"); }));
        EXPECT_EQ(read_file(dir.path + "/edited"), hostile_names[i]);
        EXPECT_ROW(*s, 0, shown);
        play(*s, "M");
        EXPECT_TRUE(vt_wait(*s, [](vt_session &v) {
            return vt_screen(v).find("keyline") != std::string::npos;
        })) << vt_screen(*s);
        play(*s, "q");
        EXPECT_ROW(*s, 0, shown);
        play(*s, ":e#<enter>");
        EXPECT_ROW(*s, 0, i == 0 ? "plain 1" : "hostile " + std::to_string(i - 1));
        play(*s, ":e#<enter>");
        EXPECT_ROW(*s, 0, shown);
        EXPECT_FALSE(dir.marker());
    }
    for (size_t i = hostile_names.size() - 1; i > 0; i--) {
        play(*s, ":p");
        EXPECT_ROW(*s, 0, "hostile " + std::to_string(i - 1));
    }
    vt_type(*s, "q");
    EXPECT_EQ(vt_wait_exit(*s), 0);
    EXPECT_FALSE(dir.marker());
}

// Tags: a tags file whose names and file fields are hostile, followed from
// the command line and from the tag prompt; and such a tag name given to
// global (no index here: it finds nothing, and runs nothing).
TEST(HostileNames, TagNamesAndTagFilesRunNothing)
{
    hostile_dir dir;
    std::string tags;
    // The tags file is sorted by name.
    std::vector<std::pair<std::string, size_t>> entries;
    for (size_t i = 0; i < hostile_words.size(); i++)
        entries.emplace_back("t" + hostile_words[i], i);
    std::sort(entries.begin(), entries.end());
    for (const auto &[tag, i] : entries)
        tags += tag + "\t" + hostile_words[i] + "\t/^line " + std::to_string(i + 5) + "$/\n";
    dir.write("tags", tags);
    for (const auto &[tag, i] : entries) {
        SCOPED_TRACE(tag);
        auto s = start_in(dir, {"-e", "-t", tag});
        ASSERT_TRUE(s);
        EXPECT_ROW(*s, 0, "line " + std::to_string(i + 5));
        play(*s, ":t");
        ASSERT_ROW(*s, BOTTOM, "Tag:");
        vt_type(*s, "no" + tag);
        vt_key(*s, "enter");
        EXPECT_ROW(*s, BOTTOM, pressed("could not find relevent tag information"));
        vt_key(*s, "enter");
        vt_type(*s, "q");
        EXPECT_EQ(vt_wait_exit(*s), 0);
        EXPECT_FALSE(dir.marker());
    }
}

}  // namespace
