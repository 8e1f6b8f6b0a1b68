// Replays saved inputs through a fuzz target without the fuzzing engine, so that the normal
// build and test suite run every input that once broke a target.
// Usage: <replay> PATH...   (files, or folders whose files are replayed in name order)
// Fails when no input was found: a missing folder must not pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> InputsOf(const fs::path& path) {
    std::vector<fs::path> inputs;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        for (const auto& entry : fs::directory_iterator(path, ec))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
    } else if (fs::is_regular_file(path, ec)) {
        inputs.push_back(path);
    }
    return inputs;
}

bool Replay(const fs::path& input) {
    std::ifstream stream(input, std::ios::binary);
    if (!stream) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    std::printf("replaying %s (%zu bytes)\n", input.c_str(), bytes.size());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& input : InputsOf(argv[i])) {
            if (!Replay(input)) {
                std::fprintf(stderr, "cannot read %s\n", input.c_str());
                return 1;
            }
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::printf("%d inputs replayed\n", replayed);
    return 0;
}
