// Helpers for unit tests that need real files and real descriptors: a
// temporary directory removed at the end of the test, files written into it,
// and the capture of what the code under test writes to descriptor 1 or 2.
#ifndef VORN_TEST_FILES_H
#define VORN_TEST_FILES_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

struct temp_dir {
    std::string path;
    temp_dir()
    {
        char pattern[] = "/tmp/vorn-unit-XXXXXX";
        const char *made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path = made ? made : "/tmp";
    }
    ~temp_dir()
    {
        std::string command = "rm -rf '" + path + "'";
        if (system(command.c_str()) != 0)
            ADD_FAILURE() << "could not remove " << path;
    }
    temp_dir(const temp_dir &) = delete;
    temp_dir &operator=(const temp_dir &) = delete;

    // Writes `bytes` to the file `name` in the directory; returns its path.
    std::string write(const std::string &name, const std::string &bytes) const
    {
        std::string file = path + "/" + name;
        FILE *stream = fopen(file.c_str(), "wb");
        EXPECT_NE(stream, nullptr) << file;
        if (stream) {
            EXPECT_EQ(fwrite(bytes.data(), 1, bytes.size(), stream), bytes.size());
            fclose(stream);
        }
        return file;
    }
};

// Everything written to descriptor `fd` between start_capture and
// end_capture lands in a temporary file and is returned by end_capture.
struct fd_capture {
    int fd;
    int saved;
    FILE *sink;
};

inline fd_capture start_capture(int fd)
{
    fflush(stdout);
    fflush(stderr);
    fd_capture capture{fd, dup(fd), tmpfile()};
    dup2(fileno(capture.sink), fd);
    return capture;
}

// The bytes written so far, without ending the capture.
inline std::string captured_so_far(const fd_capture &capture)
{
    std::string text;
    char chunk[4096];
    size_t n;
    rewind(capture.sink);
    while ((n = fread(chunk, 1, sizeof chunk, capture.sink)) > 0)
        text.append(chunk, n);
    return text;
}

inline std::string end_capture(fd_capture &capture)
{
    fflush(stdout);
    fflush(stderr);
    dup2(capture.saved, capture.fd);
    close(capture.saved);
    std::string text = captured_so_far(capture);
    fclose(capture.sink);
    return text;
}

#endif
