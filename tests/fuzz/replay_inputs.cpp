// replay_inputs.cpp: `fuzz_tests DIR` runs the fuzz target over the stored
// inputs without libFuzzer, so every compiler (and the sanitizer build) checks
// the corpus and the inputs that once broke the reader; exit 0 when all pass.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++count;
    }
    std::printf("%zu inputs replayed\n", count);
    return count == 0 ? 1 : 0;
}
