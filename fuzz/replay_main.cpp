// Runs a libFuzzer target over every file of the folders (or files) named on
// the command line, so compilers without libFuzzer still replay the corpus.
// Options (arguments starting with '-') are ignored, as libFuzzer's would be.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

static void run_file(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A heap block of the exact size lets AddressSanitizer see reads past the end.
    std::vector<uint8_t> exact(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
}

// Replays one named folder or file; answers how many inputs it held.
static size_t replay(const fs::path &p) {
    size_t runs = 0;
    if (fs::is_directory(p)) {
        for (const auto &e : fs::recursive_directory_iterator(p)) {
            if (!e.is_regular_file()) continue;
            run_file(e.path());
            ++runs;
        }
    } else if (fs::is_regular_file(p)) {
        run_file(p);
        ++runs;
    }
    return runs;
}

// A named folder without inputs fails, so a moved seed folder cannot pass as
// replayed. As with libFuzzer, the first of several folders is the one new
// inputs go to, which may still be empty.
int main(int argc, char **argv) {
    std::vector<const char *> named;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') named.push_back(argv[i]);
    size_t runs = 0;
    int status = named.empty() ? 1 : 0;
    for (size_t i = 0; i < named.size(); ++i) {
        size_t here = replay(named[i]);
        if (here == 0 && (i > 0 || named.size() == 1)) std::fprintf(stderr, "no input in %s\n", named[i]), status = 1;
        runs += here;
    }
    std::printf("replayed %zu inputs\n", runs);
    return status;
}
