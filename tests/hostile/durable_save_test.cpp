// Results written through symbolic links, saves whose sync to disk fails,
// and saves cut short by a termination signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/support.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace testing_support;
namespace fs = std::filesystem;

TEST(DurableSave, NameThatIsALinkIsWrittenThroughIt)
{
    ScratchDir dir;
    fs::create_directories(dir / "real");
    WriteFileBytes(dir / "real/page.tga", "earlier result");
    fs::create_symlink("real/page.tga", dir / "page.tga");         // relative, to an existing file
    fs::create_symlink(dir / "real/new.tga", dir / "dangling.tga");  // absolute, to no file yet
    TestImage page(30, 20, PIXEL_GREY);
    for (const char* name : {"page.tga", "dangling.tga"})
        ASSERT_EQ(SaveTGA((dir / name).c_str(), &page.bitmap), 1) << name;
    EXPECT_TRUE(fs::is_symlink(dir / "page.tga"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.tga"));
    std::string expected = ReadFileBytes(dir / "real/page.tga");
    EXPECT_NE(expected, "earlier result");
    EXPECT_EQ(ReadFileBytes(dir / "real/new.tga"), expected);
    EXPECT_EQ(ListFiles(dir / "real"), (std::vector<std::string>{"new.tga", "page.tga"}));
}

// A sync that fails means the bytes may never reach the disk: the save is a
// failure, the earlier result stays and no partial file is left.
TEST(DurableSave, FailingSyncFailsTheSave)
{
    ScratchDir dir;
    TestImage page(64, 48, PIXEL_BGR);
    for (size_t i = 0; i < page.Size(); i++) page.bitmap.pixels[i] = uint8_t(i * 5);
    ASSERT_EQ(SaveTGA((dir / "page.tga").c_str(), &page.bitmap), 1);
    fs::create_directories(dir / "out");
    WriteFileBytes(dir / "out/page.tga", "earlier result");
    WriteFileBytes(dir / "conf.txt", "REPERTOIRE2=out/\nSAUVEGARDE1=n\nRECADRAGE1=n\nFLOU=n\nRECADRAGE2=n\n");
    setenv("LD_PRELOAD", FAIL_FSYNC_LIBRARY, 1);
    setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
    RunResult r = RunNivelo({"/cconf.txt", "page.tga"}, dir.path);
    unsetenv("LD_PRELOAD");
    unsetenv("ASAN_OPTIONS");
    EXPECT_NE(r.output.find("Error writing file out/page.tga\n"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(dir / "out/page.tga"), "earlier result");
    EXPECT_EQ(ListFiles(dir / "out"), std::vector<std::string>{"page.tga"});
}

TEST(DurableSave, TerminatedSaveLeavesNoPartialFile)
{
    ScratchDir dir;
    for (int signal : {SIGTERM, SIGINT}) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OutputFile out;
            if (OpenOutputFile(&out, (dir / "page.tga").c_str()) != 1) _exit(1);
            std::fputs("half a page", out.stream);
            raise(signal);
            _exit(2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(ListFiles(dir.path).empty());
    }
}
