// The command line: the bytes split at zeros into arguments.
#include <string>
#include <vector>

#include "batch/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words = {"nivelo", ""};
    for (size_t i = 0; i < size; i++) data[i] == 0 ? words.emplace_back() : words.back() += char(data[i]);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    ParseCommandLine(int(words.size()), argv.data());
    return 0;
}
