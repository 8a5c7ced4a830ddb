// The menu's file commands, played through the headless window system with
// nivelo recorded (preview_fixture.h).
#include <cstring>

#include "gui/config_file.h"
#include "gui/file_names.h"
#include "tests/gui/preview_fixture.h"

using namespace gui_testing;
using testing_support::FileExists;
using testing_support::ReadFileBytes;

namespace {

TEST(SplitPath, SplitsAtTheLastBackslashColonOrSlash)
{
    struct Case {
        const char* path;
        const char* directory;
        const char* name;
    } cases[] = {
        {"D:\\scans\\page1.tga", "D:\\scans\\", "page1.tga"},
        {"C:page.tga", "C:", "page.tga"},
        {"a/b\\c.tga", "a/b\\", "c.tga"},
        {"page.tga", "", "page.tga"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        char path[kGuiPathSize], directory[kGuiPathSize] = "old";
        std::strcpy(path, c.path);
        SplitPath(path, directory);
        EXPECT_STREQ(directory, c.directory) << c.path;
        EXPECT_STREQ(path, c.name) << c.path;
    }
}

TEST_F(PreviewTest, LoadImageOpensWhereTheLastOneWasAndACancelChangesNothing)
{
    std::string page = MakePage();
    LoadImage(page);
    EXPECT_STREQ(g_image_name, "page.tga");
    EXPECT_EQ(std::string(g_image_directory), start_);
    ASSERT_TRUE(g_display.image_loaded);

    HeadlessSetProcessResult(1, 0, 0);
    HeadlessChooseMenu(ID_LOAD_IMAGE);  // no answer queued: cancelled
    const HeadlessFileDialogCall& call = HeadlessFileDialogs().back();
    EXPECT_EQ(call.mode, FILE_OPEN_ONE);
    EXPECT_EQ(call.title, "Charger une image");
    EXPECT_EQ(call.directory, start_);
    EXPECT_EQ(call.name, "page.tga");
    ASSERT_EQ(call.filters.size(), 2u);
    EXPECT_STREQ(call.filters[0].description, "Targa Files (.tga)");
    EXPECT_STREQ(call.filters[1].pattern, "*.tif;*.tiff");

    EXPECT_STREQ(g_image_name, "page.tga");
    EXPECT_EQ(std::string(g_image_directory), start_);
    EXPECT_TRUE(g_display.image_loaded);
    EXPECT_EQ(HeadlessWindowTitle(), "Nivelo gui v1.0 - page.tga");
    EXPECT_EQ(Runs(), 1u);
}

TEST_F(PreviewTest, SaveConfigWritesExactlyTheChosenNameAndSharesTheFolder)
{
    std::filesystem::create_directory(start_ + "conf");
    HeadlessQueueFileAnswer({start_ + "conf/reglages"});
    HeadlessChooseMenu(ID_SAVE_CONFIG);
    EXPECT_EQ(HeadlessFileDialogs().back().mode, FILE_SAVE);
    EXPECT_EQ(HeadlessFileDialogs().back().title, "Sauver un fichier de config");
    EXPECT_EQ(testing_support::ListFiles(start_ + "conf"), std::vector<std::string>{"reglages"});
    EXPECT_NE(ReadFileBytes(start_ + "conf/reglages").find("REPERTOIRE1=\"c:\\t\\\"\n"), std::string::npos);

    HeadlessChooseMenu(ID_LOAD_CONFIG);  // opens where the save left off
    EXPECT_EQ(HeadlessFileDialogs().back().directory, start_ + "conf/");
    EXPECT_EQ(HeadlessFileDialogs().back().name, "reglages");
}

TEST_F(PreviewTest, ConvertRunsOncePerImageInOrderAndLeavesThePreviewsAlone)
{
    LoadImage(MakePage());
    ChooseStage(3);
    int limit = g_valid_limit;
    int presented = HeadlessPresentCount();
    std::strcpy(g_gui_params.REPERTOIRE1, "sortie/");
    std::strcpy(g_gui_params.REPERTOIRE2, "final/");
    std::filesystem::create_directory(start_ + "sortie");
    std::filesystem::create_directory(start_ + "final");
    HeadlessQueueFileAnswer({"/scans/a.tga", "/scans/b.tga", "/scans/c.tga"});
    HeadlessChooseMenu(ID_CONVERT);

    EXPECT_EQ(HeadlessFileDialogs().back().mode, FILE_OPEN_MANY);
    EXPECT_EQ(HeadlessFileDialogs().back().title, "Choisir les images");
    ASSERT_EQ(Runs(), 4u);
    std::string conf = start_ + "nivelo_gui_conf.txt";
    for (int i = 0; i < 3; i++) {
        const HeadlessProcessRun& run = HeadlessProcessRuns()[1 + i];
        std::string name = std::string(1, char('a' + i)) + ".tga";
        EXPECT_EQ(run.args, (std::vector<std::string>{"/c" + conf, name}));
        EXPECT_EQ(run.working_directory, "/scans/");
        EXPECT_EQ(run.output_header.compare(0, run.output_header.find(" >"),
                                            "nivelo /c\"" + conf + "\"  /scans/" + name),
                  0);
        EXPECT_EQ(run.popup_texts[0], "Conversion : image " + std::to_string(i + 1) + " / 3");
    }
    // The user's folders, relative ones taken from the start directory.
    std::string written = ReadFileBytes(conf);
    EXPECT_NE(written.find("REPERTOIRE1=\"" + start_ + "sortie/\"\n"), std::string::npos);
    EXPECT_NE(written.find("REPERTOIRE2=\"" + start_ + "final/\"\n"), std::string::npos);

    EXPECT_EQ(g_valid_limit, limit);
    EXPECT_EQ(HeadlessPresentCount(), presented);
    EXPECT_EQ(std::string(g_image_directory), start_);  // several files: the current image stays
    EXPECT_EQ(HeadlessFindDialog(DIALOG_WAIT), nullptr);
}

}  // namespace
