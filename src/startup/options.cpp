// Start-up: the option settings, and the choice between copy mode and
// paging mode.
//
// Options come first from the VORN environment variable (its whole value is
// one argument word), then from the command line; each scan restarts getopt
// from scratch and never permutes, so the first file name ends the options.
// The option settings are written only here, while the options are parsed.
//
// On the command line, a word beginning with "+" where an option could
// stand (before the first file name and before "--") is the initial
// command: keys run once the first screen is shown ("+G", "+100").  A
// "+/pattern" word anywhere is "-/pattern", as it always was; VORN's word
// is options only.
#include "startup.h"

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "command/command.h"
#include "display/display.h"
#include "file/file.h"
#include "find/find.h"
#include "terminal/terminal.h"

const char *first_pattern;
const char *first_filter;
int opt_clear;
int opt_stay_at_end;
int opt_ignore_case;
int show_line_numbers = 1;
int opt_squeeze;
int opt_tag;
int opt_no_overstrike;
int opt_bytes;
int tab_width = 8;
const char *initial_command;

namespace {

// The argument word made of VORN's value; options may point into it, so it
// lives for the whole run.
char *vorn_variable_word;

// atoi's reading of the number, without its undefined overflow: values too
// large for an int are taken as the largest int.  Below 1 means 8.
int parse_tab_width(const char *text)
{
    long value = strtol(text, nullptr, 10);
    if (value < 1)
        return 8;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// The lines of -H: none below 0, the largest int for more.
int parse_header_lines(const char *text)
{
    long value = strtol(text, nullptr, 10);
    if (value < 0)
        return 0;
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// The line an unknown option prints: the short reminder it has always
// been.  --help starts with the synopsis of every option instead.
const char usage_line[] =
    "usage: vorn [-ceinsu] [-t tag] [-x tabs] [-/ pattern] [file ...]\n";
const char help_usage_line[] =
    "usage: vorn [-abcefFiMnNRsSuWZ] [-H lines] [-t tag] [-x tabs] [-/ pattern] [-& filter] [+command] [file ...]\n";

const char option_summary[] =
    "  -a          searches go on into the other files of the list\n"
    "  -b          text byte by byte, also in a UTF-8 locale\n"
    "  -c          moves of a screenful or more repaint from the top\n"
    "  -e          stay at the end of the last file instead of ending\n"
    "  -f          accepted and ignored\n"
    "  -F          follow the first file: show text as it arrives\n"
    "  -H lines    keep the first lines of the file on top as a header\n"
    "  -i          searches ignore case\n"
    "  -M          scroll by the mouse wheel, three lines a notch\n"
    "  -n          no line numbers\n"
    "  -N          line numbers in a column left of the text\n"
    "  -R          show the colour sequences of the text as colours\n"
    "  -s          squeeze runs of empty lines into one\n"
    "  -S          start with long lines cut at the right edge, not wrapped\n"
    "  -t tag      start at the tag\n"
    "  -u          show overstruck text as it is, not as underline and bold\n"
    "  -W          follow a file by name: reopen it when it was replaced\n"
    "  -x tabs     tab stops every tabs columns (8 when below 1)\n"
    "  -Z          compressed files as their bytes, not their text\n"
    "  -/ pattern  start at the first line matching pattern (or +/pattern)\n"
    "  -& filter   show only the lines matching filter (!filter: not matching)\n"
    "  +command    keys run once the first screen is shown (+G, +100, +F)\n"
    "  --help      show this summary and exit\n"
    "  --version   show the version and exit\n";

[[noreturn]] void print_and_exit(const char *text)
{
    fputs(text, stdout);
    exit(fflush(stdout) == 0 ? 0 : 1);
}

// The letters of the option string that take an argument.
bool takes_argument(char letter)
{
    return letter == '/' || letter == '&' || letter == 'H' || letter == 't' || letter == 'x';
}

// --help and --version, wherever they stand among the option words of the
// command line (before the first file name or "--").  An option letter that
// takes an argument takes the rest of its word, or else the next word.
void answer_long_options(int argc, char **argv)
{
    for (int i = 1; i < argc && argv[i] != nullptr; i++) {
        const char *word = argv[i];
        if (strcmp(word, "--help") == 0)
            print_and_exit((std::string(help_usage_line) + option_summary).c_str());
        if (strcmp(word, "--version") == 0)
            print_and_exit("vorn " VORN_VERSION "\n");
        bool option = (word[0] == '-' || word[0] == '+') && word[1] != '\0';
        if (!option || strcmp(word, "--") == 0)
            return;
        if (word[0] == '+' && word[1] != '/')
            continue;   // an initial command, no option letters
        for (const char *letter = word + 1; *letter != '\0'; letter++) {
            if (takes_argument(*letter)) {
                if (letter[1] == '\0')
                    i++;
                break;
            }
        }
    }
}

// The scanner's own diagnostic for a bad option, with the option byte and
// the program name in their visible form: the byte is the user's input
// and may be a control byte the terminal would act on.
void report_bad_option(const char *program, int letter, bool missing_argument)
{
    char option[2] = {static_cast<char>(letter), '\0'};
    fprintf(stderr, "%s: %s -- '%s'\n", visible_text(program).c_str(),
            missing_argument ? "option requires an argument" : "invalid option",
            visible_text(option).c_str());
}

// The word at optind, where getopt stopped, as the initial command: when
// it begins with "+" and getopt did not stop behind a "--" (one that was
// not the argument of an option).  A "+" alone stays a file name.
bool take_initial_command(int argc, char **argv, const char *last_argument)
{
    if (optind >= argc || argv[optind] == nullptr)
        return false;
    const char *word = argv[optind];
    const char *before = argv[optind - 1];
    if (optind > 1 && before != last_argument && strcmp(before, "--") == 0)
        return false;
    if (word[0] != '+' || word[1] == '\0')
        return false;
    initial_command = word + 1;
    optind++;
    return true;
}

} // namespace

[[noreturn]] void print_usage_and_exit()
{
    fputs(usage_line, stderr);
    exit(1);
}

int scan_options(int argc, char **argv, bool command_line)
{
    for (int i = 0; i < argc && argv[i] != nullptr; i++)
        if (argv[i][0] == '+' && argv[i][1] == '/')
            argv[i][0] = '-';
    // glibc re-initialises its scanner completely (including the state of a
    // half-read group of option letters) only when optind is 0; it then
    // starts at index 1.  The leading "+" stops scanning at the first
    // argument that is not an option.
    optind = 0;
    // The scanner is silent (opterr, and the ':' that tells a missing
    // argument from an unknown option): its diagnostic is written here.
    opterr = 0;
    // the last option argument, which may be a "--" without ending options
    const char *last_argument = nullptr;
    for (;;) {
        int c = getopt(argc, argv, "+:/:&:abceFH:iMnNRsSt:uWx:Zf");
        if (c == -1) {
            if (command_line && take_initial_command(argc, argv, last_argument))
                continue;   // options may follow it
            break;
        }
        if (takes_argument(static_cast<char>(c)))
            last_argument = optarg;
        switch (c) {
        case '/': first_pattern = optarg; break;
        case '&': first_filter = optarg; break;
        // the search's setting, which the searchfiles command changes later
        case 'a': set_search_files(1); break;
        case 'b': opt_bytes = 1; break;
        case 'c': opt_clear = 1; break;
        case 'e': opt_stay_at_end = 1; break;
        case 'f': break;
        // the follow settings, which the follow commands change later
        case 'F': request_follow(); break;
        // the display's setting, which the header command changes later
        case 'H': set_header_lines(parse_header_lines(optarg)); break;
        case 'i': opt_ignore_case = 1; break;
        case 'n': show_line_numbers = 0; break;
        // the terminal's setting, which the mouse command changes later
        case 'M': set_mouse_wheel(1); break;
        // the display's setting, which the numbers command changes later
        case 'N': set_number_column(1); break;
        // the display's setting, which the colour command changes later
        case 'R': set_show_colour(1); break;
        case 's': opt_squeeze = 1; break;
        // the display's setting, which the chop command changes later
        case 'S': set_start_chopped(1); break;
        case 't':
            opt_tag = 1;
            find_tag(optarg);
            report_messages();
            break;
        case 'u': opt_no_overstrike = 1; break;
        case 'W': set_follow_by_name(1); break;
        case 'x': tab_width = parse_tab_width(optarg); break;
        // the file layer's setting, which the decompress command changes later
        case 'Z': set_decompress_files(0); break;
        default:
            report_bad_option(argv[0], optopt, c == ':');
            print_usage_and_exit();
        }
    }
    return optind;
}

// The first input of paging mode; 0 when none could be opened (the reasons
// went to standard error).
static int open_first_file()
{
    if (opt_tag)
        return tag_file != nullptr && open_file(tag_file, 0) && go_to_tag() == 0;
    if (file_count < 1)
        return open_file("-", 0);
    for (int i = 0; i < file_count; i++)
        if (open_file_at(i))
            return 1;
    return 0;
}

void paging_mode()
{
    exit_restores_terminal();
    set_tty_mode(1);
    read_termcap();
    term_init();
    // The set-up reaches the terminal before anything is written to standard
    // error, so that early messages land on the screen being set up.
    out_flush();
    if (term_switches_screen())
        hold_early_messages();
    install_signals(1);
    // the filter holds from the first screen on (a tag's too)
    if (first_filter != nullptr)
        set_filter(first_filter);
    int opened = open_first_file();
    report_messages();
    if (!opened)
        finish_and_exit(EXIT_FAILURE);
    load_init_scripts();
    command_loop(initial_command);
}

// Descriptors 0 to 2 that the program was started without are opened on
// /dev/null before anything else is opened, so that no file of ours lands
// on one of them and is taken for standard input, the screen or the
// keyboard.  Standard error is opened for writing only: with no terminal
// to take keys from, the first read of the keyboard fails and the run ends
// with a failure status.
static void open_missing_standard_descriptors()
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor: fd itself, since those below are open.
        int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened > fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

int vorn_main(int argc, char **argv)
{
    open_missing_standard_descriptors();
    setlocale(LC_ALL, "");
    answer_long_options(argc, argv);
    const char *variable = getenv("VORN");
    if (variable != nullptr) {
        static char program_word[] = "vorn";
        vorn_variable_word = save_string(variable);
        char *words[] = {program_word, vorn_variable_word, nullptr};
        scan_options(2, words, false);
    }
    int first = scan_options(argc, argv);
    charset_init(!opt_bytes);
    set_file_list(argv + first, argc - first);
    init_marks();
    if (isatty(1))
        paging_mode();
    return copy_mode();
}

void vorn_assert_fail(const char *func, const char *file, int line, const char *expr)
{
    fprintf(stderr, "%s: %s:%d: failed assertion `%s'\n", func, file, line, expr);
    abort();
}

void options_reset()
{
    first_pattern = nullptr;
    first_filter = nullptr;
    initial_command = nullptr;
    opt_clear = opt_stay_at_end = opt_ignore_case = opt_squeeze = 0;
    opt_tag = opt_no_overstrike = opt_bytes = 0;
    show_line_numbers = 1;
    tab_width = 8;
}
