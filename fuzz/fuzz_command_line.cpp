// The command line: the bytes split at zeros into arguments.
#include <string>
#include <vector>

#include "batch/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words = {"nivelo"};
    std::string current;
    for (size_t i = 0; i < size; i++) {
        if (data[i] == 0) {
            words.push_back(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    words.push_back(current);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    ParseCommandLine(int(words.size()), argv.data());
    return 0;
}
