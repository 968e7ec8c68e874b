// Runs a fuzz target without libFuzzer (for compilers that lack it): every file given on
// the command line (or in a directory given), then a fixed number of deterministic random
// inputs, some built from valid frames and mutated. Exits non-zero only by crashing.
//
//   nimbrosta-fuzz-frame-reader [--runs N] [corpus files or directories...]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
void runFile(const std::filesystem::path& path, std::vector<std::vector<std::uint8_t>>& seeds) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    seeds.push_back(std::move(bytes));
}
}  // namespace

int main(int argc, char** argv) {
    long runs = 20000;
    std::vector<std::vector<std::uint8_t>> seeds;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::atol(argv[++i]);
            continue;
        }
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& entry : std::filesystem::directory_iterator(p))
                if (entry.is_regular_file()) runFile(entry.path(), seeds);
        } else {
            runFile(p, seeds);
        }
    }
    std::mt19937 random(12345);
    for (long run = 0; run < runs; ++run) {
        std::vector<std::uint8_t> input;
        if (!seeds.empty() && run % 2 == 0) {
            input = seeds[random() % seeds.size()];
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int f = 0; f < flips && !input.empty(); ++f) {
                switch (random() % 3) {
                case 0: input[random() % input.size()] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
                case 1: input.insert(input.begin() + static_cast<long>(random() % input.size()), static_cast<std::uint8_t>(random())); break;
                default: input.erase(input.begin() + static_cast<long>(random() % input.size())); break;
                }
            }
        } else {
            input.resize(random() % 512);
            for (auto& b : input) b = static_cast<std::uint8_t>(random());
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld inputs, %zu seeds: no fault\n", runs, seeds.size());
    return 0;
}
