// Commands that find things: searches, marks and tags.
//
// Their arguments are parsed in full, as for every command.  The searches,
// the tags and the marks hand over to their parts.  `search` stores the
// sense of the search before the flag is looked at, so that a later
// `research` uses it.
#include <cstdio>
#include <cstring>

#include "command/command.h"
#include "commands.h"
#include "display/display.h"
#include "find/find.h"

static bool ask_pattern(bool forward, char *pattern, int size);
static void note_last_search(bool forward, const char *pattern);
static void search_other_files(bool forward, int want_match);

int search_sense;
// The last search asked for was typed with "*" first: it and its repeats go
// on into the other files of the list, whatever searchfiles says.
static int search_across;

// The longest tag name asktag reads is one less.
enum { TAG_NAME_SIZE = 100 };

// A typed pattern holds at most 99 characters.
enum { TYPED_PATTERN_SIZE = 100 };

// The sense word of `search`.  It is stored at once, whatever the condition
// flag, so that a later `research` uses it.  A rejected word fails the
// command and keeps the sense that was in force: a failed command must not
// leave a sense that is neither of the two.
static int parse_search_sense(const char **pos)
{
    int sense = choose_word(pos, 2, "noinvert", "invert");
    if (sense < 0)
        return -1;
    search_sense = sense;
    return 0;
}

const char *cmd_search(int code, const char *pos)
{
    int direction = choose_word(&pos, 6, "forw", "back", "forward", "backward",
                                "forwards", "backwards");
    if (direction < 0)
        return nullptr;
    int64_t count;
    if (get_number(&count, &pos) != 0)
        return nullptr;
    const char *pattern = "";
    if (code == CODE_SEARCH) {
        if (parse_search_sense(&pos) != 0 || (pattern = next_arg(&pos)) == nullptr)
            return nullptr;
    }
    if (!exec_flag)
        return pos;
    bool forward = direction % 2 == 0;
    char typed[TYPED_PATTERN_SIZE];
    if (code == CODE_MAGICASKSEARCH) {
        if (!ask_pattern(forward, typed, sizeof typed))
            return pos;
        pattern = typed;
    }
    if (code == CODE_SEARCH)
        search_across = 0;
    if (code != CODE_RESEARCH)
        note_last_search(forward, pattern);
    // finding nothing is no failure: the search has said so itself
    int want_match = search_sense == 0;
    if (!search_pattern(forward, pattern, count_to_int(count), want_match) &&
        (search_across || searches_files()) && search_ran_out())
        search_other_files(forward, want_match);
    return pos;
}

// Goes on into the other files of the list, one after another from the
// current one (forward the next ones, each from its first line; backward
// the previous ones, each from its end), for the first line that
// qualifies.  The file where one is found stays open, showing it, and the
// bottom line says so instead of "Pattern not found".  When none has one,
// the file the search began in is opened again where it was.
static void search_other_files(bool forward, int want_match)
{
    int origin = file_index;
    file_pos top = screen_pos(SCREEN_TOP);
    int step = forward ? 1 : -1;
    for (int i = origin + step; i >= 0 && i < file_count; i += step) {
        if (pending_signals != 0)
            break;
        if (!open_file_at(i))
            continue;   // said why; the next one is searched
        if (search_opened_file(forward, want_match)) {
            discard_messages();
            set_message("Found in %s (file %d of %d)", current_file, i + 1, file_count);
            return;
        }
    }
    if (file_index != origin && open_file_at(origin) && top != -1)
        jump_pos(top);
}

// The mark letter asked for on the bottom line: one key, or 0 when the
// user gave none (RETURN, or the prompt cancelled).
static int ask_mark_letter(int code)
{
    char answer[2];
    set_one_key_read();
    if (read_line(code == CODE_SETMARK ? "set mark: " : "goto mark: ", answer,
                  sizeof answer) != 0)
        return 0;
    return static_cast<unsigned char>(answer[0]);
}

// What set_mark and gomark have to say is shown after the command: it
// succeeds whatever they report.
const char *cmd_mark(int code, const char *pos)
{
    const char *mark = next_arg(&pos);
    if (mark == nullptr)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (strlen(mark) != 1) {
        set_error(ERR_COMMAND, "bad mark character");
        return nullptr;
    }
    int letter = static_cast<unsigned char>(mark[0]);
    if (letter == '?')
        letter = ask_mark_letter(code);
    if (letter == 0)
        return pos;
    mark_view view;
    if (code == CODE_SETMARK)
        set_mark(letter);
    // A file that cannot be opened again leaves another one current: the
    // mark's position means nothing there, so the view stays as it is.
    else if (gomark(letter, &view) && open_file(view.file.c_str(), 1))
        show_mark_view(view);
    return pos;
}

// searchfiles on|off: whether searches go on into the other files of the
// list (-a), with the toggle pair `_searchfiles`.
const char *cmd_searchfiles(int, const char *pos)
{
    int state = choose_word(&pos, 2, "on", "off");
    if (state < 0)
        return nullptr;
    if (exec_flag)
        set_search_files(state == 0);
    return pos;
}

const char *cmd_listbmarks(int, const char *pos)
{
    if (!exec_flag)
        return pos;
    return list_marks() == 0 ? pos : nullptr;
}

// asktag, nexttag, prevtag: find the tag or step to it, then show its
// file at its place.  Without a current tag afterwards the command fails;
// the tag functions have shown why.
const char *cmd_tag(int code, const char *pos)
{
    int64_t count = 0;
    if (code != CODE_ASKTAG && get_number(&count, &pos) != 0)
        return nullptr;
    if (!exec_flag)
        return pos;
    if (code == CODE_ASKTAG) {
        char name[TAG_NAME_SIZE];
        if (read_line("Tag: ", name, sizeof name) != 0 || name[0] == '\0')
            return pos;
        find_tag(name);
    } else if (code == CODE_NEXTTAG) {
        next_tag(count);
    } else {
        prev_tag(count);
    }
    if (tag_file == nullptr)
        return nullptr;
    if (open_file(tag_file, 1))
        go_to_tag();
    return pos;
}

void find_commands_reset()
{
    search_sense = 0;
    search_across = 0;
}

// Asks for a pattern: one key first, then, unless it was RETURN, the whole
// line.  A "!" asks for lines that do not match, a "*" for a search that
// goes on into the other files of the list; each is taken once, in either
// order, and is not part of the pattern.  Any other key is handed back to
// start the line.  False when a reading was cancelled.
static bool ask_pattern(bool forward, char *pattern, int size)
{
    char key[2];
    search_sense = 0;
    search_across = 0;
    pattern[0] = 0;
    char prompt[16];
    for (;;) {
        snprintf(prompt, sizeof prompt, "Search: %s%s%c", search_across ? "*" : "",
                 search_sense ? "!" : "", forward ? '/' : '?');
        set_one_key_read();
        if (read_line(prompt, key, sizeof key) != 0)
            return false;
        if (key[0] == 0)
            return true;
        if (key[0] == '!' && !search_sense) {
            search_sense = 1;
        } else if (key[0] == '*' && !search_across) {
            search_across = 1;
        } else {
            break;
        }
    }
    push_back_key(static_cast<unsigned char>(key[0]));
    return read_line(prompt, pattern, size) == 0;
}

// The direction, sense and pattern of the last search, for the bindings
// that repeat it.
static void note_last_search(bool forward, const char *pattern)
{
    settog("_ls_direction", forward ? 0 : 1, 2, "forw", "back");
    settog("_ls_sense", search_sense != 0 ? 1 : 0, 2, "noinvert", "invert");
    if (*pattern != 0)
        set_variable("_ls_regexp", pattern);
}
