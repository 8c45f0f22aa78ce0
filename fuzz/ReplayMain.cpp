// SPDX-License-Identifier: MIT
// Runs a fuzz target over files and folders of files without libFuzzer, so that the test suite
// replays every corpus file with the ordinary compiler (and under the sanitizer build).
#include "FuzzSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

int runFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << path << '\n';
        return 1;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    int failures = 0;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::vector<std::filesystem::path> paths;
        if (std::filesystem::is_directory(arg)) {
            for (const auto &entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file())
                    paths.push_back(entry.path());
            std::sort(paths.begin(), paths.end());
        } else {
            paths.push_back(arg);
        }
        for (const auto &path : paths) {
            std::cerr << "replay " << path.filename().string() << '\n';
            failures += runFile(path);
            ++files;
        }
    }
    std::cerr << files << " inputs replayed\n";
    return files == 0 || failures != 0 ? 1 : 0;
}
