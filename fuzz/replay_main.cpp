// Runs a fuzz target's entry point on files, without the fuzzing engine: the
// ordinary test run replays every committed regression input this way.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    // Every file is read first: a target may change the current directory.
    std::vector<std::vector<uint8_t>> inputs;
    for (int i = 1; i < argc; i++) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) return std::fprintf(stderr, "cannot read %s\n", argv[i]), 1;
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (std::vector<uint8_t>& bytes : inputs) LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}
