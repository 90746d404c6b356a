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

int main(int argc, char **argv) {
    size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;
        fs::path p(argv[i]);
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
    }
    std::printf("replayed %zu inputs\n", runs);
    return 0;
}
