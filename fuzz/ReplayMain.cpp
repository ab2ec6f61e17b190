// A plain driver for a fuzz entry point: feeds every file named, and every
// file in the folders named, to it once, in name order. No fuzzing, so the
// committed seeds of past findings replay with any compiler in a test run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {
std::vector<fs::path> ListInputs(const fs::path& path)
{
    if (!fs::is_directory(path))
        return {path};
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& entry : fs::directory_iterator(path))
        if (entry.is_regular_file())
            inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

// Exactly as many bytes as the file holds, on the heap, so a sanitizer sees any read past them.
bool ReplayFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto data = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), data.get());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
    LLVMFuzzerTestOneInput(data.get(), bytes.size());
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i)
        for (const fs::path& input : ListInputs(argv[i])) {
            if (!ReplayFile(input))
                return 1;
            ++replayed;
        }
    // A folder that lost its seeds must not pass as replayed.
    if (replayed == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::fprintf(stderr, "%zu inputs replayed\n", replayed);
    return 0;
}
