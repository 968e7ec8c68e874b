// Runs a fuzz target without libFuzzer: every file of the given files and folders once,
// then deterministic random inputs and mutations of those files until the time is up.
//
//   fuzz_target [-seconds=N] [-seed=N] [file-or-folder ...]
//
// The options take libFuzzer's form (one dash, value after "="), so the same command line
// suits both builds.

#include <chrono>
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

using Bytes = std::vector<std::uint8_t>;

void addFile(const std::filesystem::path& p, std::vector<Bytes>& corpus) {
    std::ifstream in(p, std::ios::binary);
    corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void run(const Bytes& input) {
    // A copy of exactly the input's size, so that a read past its end is a read past
    // the allocation (caught by AddressSanitizer builds).
    std::uint8_t* copy = static_cast<std::uint8_t*>(std::malloc(input.empty() ? 1 : input.size()));
    if (!input.empty()) std::memcpy(copy, input.data(), input.size());
    LLVMFuzzerTestOneInput(copy, input.size());
    std::free(copy);
}

Bytes mutate(const Bytes& base, std::mt19937& rng) {
    Bytes b = base;
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
        switch (rng() % 6) {
            case 0:
                if (!b.empty()) b[rng() % b.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                break;
            case 1:
                if (!b.empty()) b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
                break;
            case 2:
                b.insert(b.begin() + static_cast<long>(b.empty() ? 0 : rng() % b.size()), static_cast<std::uint8_t>(rng() % 4));
                break;
            case 3:
                if (!b.empty()) b.erase(b.begin() + static_cast<long>(rng() % b.size()));
                break;
            case 4:
                if (!b.empty()) b.resize(rng() % b.size());
                break;
            default: {
                static const std::uint8_t sc[] = {0, 0, 0, 1};
                const std::size_t at = b.empty() ? 0 : rng() % b.size();
                b.insert(b.begin() + static_cast<long>(at), sc + (rng() % 2), sc + 4);
                break;
            }
        }
    }
    return b;
}

int usageError(const std::string& program, const std::string& message) {
    std::fprintf(stderr, "%s: %s (see --help)\n", program.c_str(), message.c_str());
    return 2;
}

// The whole text after "=" as a number; false when it is not one.
bool readNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = std::filesystem::path(argv[0]).filename().string();
    double seconds = 3;
    unsigned seed = 1;
    std::vector<Bytes> corpus;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        double number = 0;
        if (arg == "--help" || arg == "-help" || arg == "-help=1" || arg == "-h") {
            std::printf("usage: %s [-seconds=N] [-seed=N] [file-or-folder ...]\n\n"
                        "Runs the fuzz target over every file given (a folder: each file in it) once,\n"
                        "then over random inputs and mutations of those files until N seconds have\n"
                        "passed (default 3). The same seed (default 1) gives the same inputs. Exit\n"
                        "status 0 when no input crashed it.\n",
                        program.c_str());
            return 0;
        } else if (arg.rfind("-seconds=", 0) == 0) {
            if (!readNumber(arg.substr(9), number) || !(number >= 0 && number <= 1e9))
                return usageError(program, "the argument ('" + arg.substr(9) + "') for option '-seconds' is invalid");
            seconds = number;
        } else if (arg.rfind("-seed=", 0) == 0) {
            if (!readNumber(arg.substr(6), number) || number < 0 || number > 4294967295.0 || number != static_cast<unsigned long>(number))
                return usageError(program, "the argument ('" + arg.substr(6) + "') for option '-seed' is invalid");
            seed = static_cast<unsigned>(number);
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError(program, "unrecognised option '" + arg + "'");
        } else if (std::filesystem::is_directory(arg)) {
            for (const auto& e : std::filesystem::directory_iterator(arg))
                if (e.is_regular_file()) addFile(e.path(), corpus);
        } else if (std::filesystem::is_regular_file(arg)) {
            addFile(arg, corpus);
        } else {
            return usageError(program, "no such file or folder: " + arg);
        }
    }
    for (const Bytes& b : corpus) run(b);

    std::mt19937 rng(seed);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    unsigned long runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int k = 0; k < 64; ++k, ++runs) {
            if (!corpus.empty() && rng() % 4 != 0) {
                const Bytes& base = corpus[rng() % corpus.size()];
                // Mostly a window of the corpus item, so mutations stay near real units.
                const std::size_t from = base.empty() ? 0 : rng() % base.size();
                const std::size_t len = std::min<std::size_t>(base.size() - from, 1 + rng() % 2048);
                run(mutate(Bytes(base.begin() + static_cast<long>(from), base.begin() + static_cast<long>(from + len)), rng));
            } else {
                Bytes b(rng() % 512);
                for (auto& x : b) x = static_cast<std::uint8_t>(rng() % 3 == 0 ? rng() % 4 : rng());
                run(b);
            }
        }
    }
    std::fprintf(stderr, "%lu inputs, %zu corpus files, no crash\n", runs + corpus.size(), corpus.size());
    return 0;
}
