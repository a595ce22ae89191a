// Runs a fuzz target's entry point on every file of the folders given, so
// the normal build replays the fuzzers' seeds and the inputs of fixed
// findings without clang or libFuzzer. Exits non-zero when a folder is
// missing; a finding that is back crashes or trips a sanitizer as it did.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) {
            std::cerr << "No such folder: " << argv[i] << "\n";
            return 2;
        }
        for (const auto& entry : fs::recursive_directory_iterator(argv[i])) {
            // .gitkeep and the like hold a folder in place; they are no input.
            if (!entry.is_regular_file() || entry.path().filename().string().starts_with("."))
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            std::cout << entry.path().string() << "\n" << std::flush;
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::cout << replayed << " inputs replayed\n";
    return 0;
}
