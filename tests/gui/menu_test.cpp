// The menu's file commands and the configuration files they write.
#include <cstring>

#include "gui/settings/config_file.h"
#include "gui/settings/file_names.h"
#include "gui/settings/gui_params.h"
#include "tests/gui/gui_fixture.h"
#include "tiff/tiff.h"

using namespace gui_testing;

TEST(GuiSplitPath, SplitsAtTheLastSlashOnly)
{
    // A colon or a backslash is part of a name here, as in a scan named by
    // its time.
    for (std::string c : {"/scans/|page 12:30.tga", "a/|b\\c.tga", "|C:page.tga", "|"}) {
        char path[kGuiPathSize], directory[kGuiPathSize] = "old";
        std::strcpy(path, (c.substr(0, c.find('|')) + c.substr(c.find('|') + 1)).c_str());
        SplitPath(path, directory);
        EXPECT_EQ(std::string(directory) + "|" + path, c);
    }
}

// A file written, read back and written again is the same file, so every
// value came back.
TEST_F(GuiTest, ConfigurationFilesRoundTrip)
{
    std::string path = start_ + "conf.txt";
    GuiParameterSet& p = app_.params;
    auto write = [&] { return WriteConfigFile(p, path.c_str(), p.REPERTOIRE1, p.REPERTOIRE2) ? ReadFileBytes(path) : ""; };
    p = GuiParameterSet{{7, 255, 1, 2, 3, 4, 5, 2.25, 6, 7, "/data/un dossier/", "d:\\sortie\\", 5, 4, 0, 0,
                         0, 0, 0, 0, -0.5, 1, {1, 2, 250}, 0, 4.5, 1, "PNG", 75, 1}, 0};
    std::string written = write();
    EXPECT_NE(written.find("COTE_RECADRAGE=HG\nCOTE_FOND=G\n"), std::string::npos);
    EXPECT_NE(written.find("\nCOUL_REMPLISSAGE=1,2,250\nNETTOYAGE_BORDS=O\n"), std::string::npos);
    EXPECT_NE(written.find("\nORIENTATION=O\n"), std::string::npos);
    SetGuiParameterDefaults(app_.params);
    ReadConfigFile(app_.params, path.c_str());
    EXPECT_EQ(write(), written);
    WriteFileBytes(path, "offset_angle=1.5\n");  // no colour line: the colour is automatic again
    ReadConfigFile(app_.params, path.c_str());
    EXPECT_EQ(p.OFFSET_ANGLE, 1.5);
    EXPECT_EQ(p.fill_colour_given, 0);
    EXPECT_EQ(p.fill_colour[2], 250);
}

TEST_F(GuiTest, FileCommandsKeepTheirFolder)
{
    LoadImage(MakePage());
    HeadlessMenu(ID_LOAD_IMAGE);  // cancelled: nothing changes
    EXPECT_EQ(g_headless.file_dialogs.back(), start_ + "|page.tga");
    EXPECT_EQ(std::string(app_.image.directory) + app_.image.name, start_ + "page.tga");
    EXPECT_TRUE(app_.display.image_loaded);
    TestImage grey(40, 30, PIXEL_GREY);
    ASSERT_EQ(SaveTIFF((start_ + "scan.tiff").c_str(), &grey.bitmap), 1);
    LoadImage(start_ + "scan.tiff");
    EXPECT_EQ(g_headless.runs.back().args.back(), start_ + "scan.tiff");

    // A configuration saved under the chosen name; loading opens where the
    // save left off; an existing file is replaced only when the user says so.
    std::filesystem::create_directory(start_ + "conf");
    g_headless.file_answers.push_back({start_ + "conf/reglages"});
    HeadlessMenu(ID_SAVE_CONFIG);
    EXPECT_EQ(ListFiles(start_ + "conf"), std::vector<std::string>{"reglages"});
    HeadlessMenu(ID_LOAD_CONFIG);
    EXPECT_EQ(g_headless.file_dialogs.back(), start_ + "conf/|reglages");
    WriteFileBytes(start_ + "conf/reglages", "ancien\n");
    g_headless.file_answers.push_back({start_ + "conf/reglages"});
    HeadlessMenu(ID_SAVE_CONFIG);  // "Remplacer ?" answered "Non"
    EXPECT_EQ(ReadFileBytes(start_ + "conf/reglages"), "ancien\n");
}

TEST_F(GuiTest, ConvertRunsOncePerImageInOrderAndLeavesThePreviewsAlone)
{
    std::strcpy(app_.params.REPERTOIRE1, "c:\\t\\");  // from a configuration made on Windows
    std::strcpy(app_.params.REPERTOIRE2, "c:\\trot\\");
    g_headless.file_answers.push_back({"/scans/a.tga"});
    HeadlessMenu(ID_CONVERT);  // Windows folders, and the chooser cancelled: no run
    EXPECT_NE(g_headless.messages.at(0).find(": c:\\t\\ et c:\\trot\\."), std::string::npos);
    EXPECT_EQ(Runs(), 0u);

    LoadImage(MakePage());
    ChooseStage(3);
    int presents = g_headless.presents;
    std::strcpy(app_.params.REPERTOIRE1, "sortie/");  // relative: from the start directory; made when asked
    std::strcpy(app_.params.REPERTOIRE2, start_.c_str());
    g_headless.question_answers.push_back(1);
    g_headless.file_answers.push_back({"/scans/a.tga", "/scans/b.tga", "/scans/c.tga"});
    HeadlessMenu(ID_CONVERT);
    ASSERT_EQ(Runs(), 4u);
    std::string conf = std::string(app_.folders.work) + "nivelo_gui_conf.txt";
    for (int i = 0; i < 3; i++) {
        const HeadlessRun& run = g_headless.runs[1 + i];
        EXPECT_EQ(run.args, (std::vector<std::string>{"/c" + conf, std::string(1, char('a' + i)) + ".tga"}));
        EXPECT_EQ(run.working_directory + run.popup_texts[0], "/scans/Conversion : image " + std::to_string(i + 1) + " / 3");
    }
    EXPECT_NE(ReadFileBytes(conf).find("REPERTOIRE1=\"" + start_ + "sortie/\"\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(start_ + "sortie"));
    EXPECT_EQ(app_.valid_limit, 12);
    EXPECT_EQ(g_headless.presents, presents);
    EXPECT_STREQ(app_.image.name, "page.tga");
}
