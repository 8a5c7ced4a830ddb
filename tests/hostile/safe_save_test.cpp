// Saves cut short by a full disk, simulated by a file size limit: every
// result file (TIFF, TGA, filter and stage images) keeps its earlier
// content, no partial file stays behind, and the message names the file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace testing_support;

namespace {

constexpr rlim_t kFileLimit = 4096;  // below every result written here

// Lowers the file size limit of this process (and of the programs it starts)
// for the guard's life; writes past it fail with EFBIG instead of a signal.
struct FileSizeLimit {
    rlimit saved;
    void (*saved_handler)(int);
    FileSizeLimit()
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        saved_handler = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = {kFileLimit, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, saved_handler);
    }
};

int CountLines(const std::string& text, const std::string& line)
{
    int count = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) count++;
    return count;
}

}  // namespace

// Every kind of result of a run, each with an earlier file of its name.
TEST(SafeSave, RunThatCannotWriteKeepsEveryEarlierResult)
{
    ScratchDir dir;
    TestImage page(400, 300, PIXEL_BGR);
    for (size_t i = 0; i < page.Size(); i++) page.bitmap.pixels[i] = uint8_t(i * 7 / 3);
    ASSERT_EQ(SaveTGA((dir / "page.tga").c_str(), &page.bitmap), 1);
    WriteFileBytes(dir / "conf.txt", "REPERTOIRE1=out1/\nREPERTOIRE2=out2/\nRECADRAGE1=n\nFLOU=n\nRECADRAGE2=n\n");
    struct Run {
        std::vector<std::string> flags;
        std::vector<std::string> results;
    };
    std::vector<std::string> filters, stages;
    for (int k = 1; k <= 5; k++) filters.push_back("out2/nivelo_filtre" + std::to_string(k) + ".tga");
    for (int k = 0; k < 12; k++) stages.push_back("out2/save" + std::to_string(k) + ".tga");
    filters.insert(filters.end(), {"out1/page.tga", "out2/page.tga"});
    const Run runs[] = {
        {{"/f"}, filters},
        {{"/b"}, {"out1/page.tif", "out2/page.tif"}},
        {{"/d4095"}, stages},
    };
    for (const Run& run : runs) {
        std::filesystem::remove_all(dir / "out1");
        std::filesystem::remove_all(dir / "out2");
        std::filesystem::create_directories(dir / "out1");
        std::filesystem::create_directories(dir / "out2");
        for (const std::string& name : run.results) WriteFileBytes(dir / name, "earlier " + name);
        std::vector<std::string> args = {"/cconf.txt"};
        args.insert(args.end(), run.flags.begin(), run.flags.end());
        args.push_back("page.tga");
        RunResult r;
        {
            FileSizeLimit limit;
            r = RunNivelo(args, dir.path);
        }
        EXPECT_EQ(r.status, 1) << "a result not written is a failed run";
        for (const std::string& name : run.results) {
            EXPECT_EQ(ReadFileBytes(dir / name), "earlier " + name) << run.flags[0];
            EXPECT_EQ(CountLines(r.output, "Error writing file " + name + "\n"), 1) << r.output;
        }
        size_t files = ListFiles(dir / "out1").size() + ListFiles(dir / "out2").size();
        EXPECT_EQ(files, run.results.size()) << "partial files left by " << run.flags[0];
    }
}
