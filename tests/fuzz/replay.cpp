// A fuzz target as a plain program: every file in the directories named on
// the command line is given to the target once, in name order.  The test
// suite builds each target this way (with the compiler and sanitizers of
// the build) and replays its seed corpus and the inputs that once made it
// fail (fuzz/regressions/NAME), so a fault the fuzzer found stays mended.
// The target aborts on a broken property; a directory without a single
// input fails too, so that a mistyped path cannot pass unnoticed.
//
// The inputs are read before the target starts: a target may change the
// working directory or descriptor 1.  Messages go to descriptor 2.
#include <dirent.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// Optional in a target, as under libFuzzer.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

namespace {

struct input {
    std::string path;
    std::string bytes;
};

// The regular files of `dir`, sorted by name; false when it cannot be read.
bool read_inputs(const std::string &dir, std::vector<input> *inputs)
{
    DIR *stream = opendir(dir.c_str());
    if (stream == nullptr)
        return false;
    std::vector<std::string> names;
    while (const dirent *entry = readdir(stream)) {
        if (entry->d_name[0] != '.')
            names.push_back(entry->d_name);
    }
    closedir(stream);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        std::string path = dir + "/" + name;
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return false;
        inputs->push_back({path, std::string(std::istreambuf_iterator<char>(file), {})});
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<input> inputs;
    for (int i = 1; i < argc; i++) {
        size_t before = inputs.size();
        if (!read_inputs(argv[i], &inputs) || inputs.size() == before) {
            fprintf(stderr, "replay: no inputs in %s\n", argv[i]);
            return 1;
        }
    }
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const input &in : inputs) {
        fprintf(stderr, "replay: %s\n", in.path.c_str());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(in.bytes.data()),
                               in.bytes.size());
    }
    fprintf(stderr, "replay: %zu inputs, none failed\n", inputs.size());
    return 0;
}
