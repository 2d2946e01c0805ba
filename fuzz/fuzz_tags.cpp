// Fuzz target: the two tag indexes as they are read, a tags file and the
// output of the global program, and the search of the tag's line.
//
// The first byte chooses which.  Tags file: the name looked up is the text
// up to the first newline, the rest is the file "tags" of the working
// directory (a scratch directory) and also the file that the tag's line is
// looked for in.  Global: the rest is the program's output, read from a
// memory file as the pager reads the pipe.  What must hold:
// - a tags-file answer names a file (not empty, no blank in it) and its
//   line text holds no newline;
// - every place read from global's output has a file without blanks and a
//   line number above 0;
// - looking for the tag's line in the file ends, whatever the file.
// A failed property aborts, which the fuzzer reports as a crash.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/display.h"
#include "file/file.h"
#include "command/command.h"
#include "find/find.h"
#include "startup/startup.h"
#include "terminal/terminal.h"

namespace {

char scratch_directory[] = "/tmp/vorn-fuzz-tags-XXXXXX";
int start_directory = -1;

bool has_blank(const std::string &text)
{
    return text.find_first_of(" \t\n") != std::string::npos;
}

void write_tags_file(const std::string &text)
{
    std::string path = std::string(scratch_directory) + "/tags";
    FILE *tags = fopen(path.c_str(), "w");
    if (tags == nullptr)
        abort();
    if (!text.empty() && fwrite(text.data(), 1, text.size(), tags) != text.size())
        abort();
    fclose(tags);
}

int memory_file(const std::string &text)
{
    int fd = memfd_create("fuzz-tags", 0);
    if (fd < 0)
        abort();
    if (!text.empty() && write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        abort();
    lseek(fd, 0, SEEK_SET);
    return fd;
}

void fuzz_tags_file(const std::string &input)
{
    size_t newline = input.find('\n');
    if (newline == std::string::npos)
        return;
    std::string name = input.substr(0, newline);
    if (name.find('\0') != std::string::npos)
        return;
    std::string file = input.substr(newline + 1);
    write_tags_file(file);
    // The tags file is looked for in the working directory; the fuzzer's
    // own paths are relative to the one it was started in.
    if (chdir(scratch_directory) != 0)
        abort();
    const char *found = lookup_tags_file(name.c_str());
    if (fchdir(start_directory) != 0)
        abort();
    if (found == nullptr)
        return;
    if (found[0] == '\0' || has_blank(found) || tag_pattern.find('\n') != std::string::npos)
        abort();
    // The tag's line is looked for in the same bytes.
    int fd = memory_file(file);
    cache_open_input(fd);
    pipe_mode = 0;
    cache_init(buffer_setting);
    locate_ctag();
    cache_open_input(-1);
    close(fd);
}

void fuzz_global_output(const std::string &output)
{
    program_output out{};
    out.pid = -1;
    out.fd = memory_file(output);
    append_global_places(&out);
    finish_program(&out, 0);
    for (const tag_entry &place : tag_list) {
        if (place.file.empty() || has_blank(place.file) || place.line <= 0)
            abort();
    }
}

}  // namespace

extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libtinfo.so\n";
}

static void remove_scratch_directory()
{
    std::string tags = std::string(scratch_directory) + "/tags";
    unlink(tags.c_str());
    rmdir(scratch_directory);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    start_directory = open(".", O_RDONLY | O_DIRECTORY);
    if (start_directory < 0 || mkdtemp(scratch_directory) == nullptr)
        abort();
    atexit(remove_scratch_directory);
    int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd < 0 || dup2(null_fd, 1) != 1)
        abort();
    close(null_fd);
    setenv("TERM", "xterm", 1);
    read_termcap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    options_reset();
    scroll_reset();
    paint_reset();
    cache_reset();
    line_reset();
    linenum_clear();
    pos_reset();
    out_discard();
    reset_tags();
    messages_reset();
    std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
    if (data[0] & 1)
        fuzz_global_output(rest);
    else
        fuzz_tags_file(rest);
    out_discard();
    return 0;
}
