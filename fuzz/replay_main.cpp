// Replays fuzz inputs without libFuzzer: every regular file of each directory (or each file)
// named on the command line goes once through the target, in name order so that a failure
// names the same file every time.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& path) {
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else {
        inputs.push_back(path);
    }
    return inputs;
}

bool Replay(const std::filesystem::path& input) {
    std::ifstream file(input, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", input.c_str(), bytes.size());
    // A copy of exactly the input's size, so that the address sanitizer sees a read past it.
    std::vector<uint8_t> exact(bytes);
    LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus directory or file>...\n", argv[0]);
        return 2;
    }
    size_t count = 0;
    for (int i = 1; i < argc; i++) {
        for (const std::filesystem::path& input : InputsOf(argv[i])) {
            if (!Replay(input))
                return 1;
            count++;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 1;
    }
    std::fprintf(stderr, "replay: %zu inputs passed\n", count);
    return 0;
}
