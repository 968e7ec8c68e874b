// Driver for fuzz entry points when the compiler has no libFuzzer: feeds every file of the
// folders or files given on the command line, then a fixed series of inputs mutated from
// them, to LLVMFuzzerTestOneInput. A crash fails the run.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void run(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) seeds.push_back(readFile(entry.path()));
        } else {
            seeds.push_back(readFile(path));
        }
    }
    if (seeds.empty()) seeds.push_back("{}");
    for (const std::string& seed : seeds) run(seed);

    std::mt19937 random(12345);
    const char tokens[] = "{}[]\":,0123456789.-eE tfnul\\";
    std::size_t runs = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string input = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = input.empty() ? 0 : random() % input.size();
            switch (random() % 4) {
                case 0: if (!input.empty()) input.erase(at, 1 + random() % 4); break;
                case 1: input.insert(at, 1, tokens[random() % (sizeof tokens - 1)]); break;
                case 2: if (!input.empty()) input[at] = static_cast<char>(random()); break;
                case 3: {
                    const std::string& other = seeds[random() % seeds.size()];
                    if (!other.empty()) {
                        const std::size_t from = random() % other.size();
                        input.insert(at, other.substr(from, random() % 40));
                    }
                    break;
                }
            }
        }
        run(input);
        ++runs;
    }
    std::printf("%zu seeds and %zu mutated inputs ran without a crash\n", seeds.size(), runs);
    return 0;
}
