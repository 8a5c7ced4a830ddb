// Configuration files written and read by nivelo_gui, and read by nivelo.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/bitmap.h"
#include "gui/config_file.h"
#include "gui/gui_params.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace testing_support;

namespace {

const char kStartFile[] =
    "DETECT_WIDTH=20\n"
    "DETECT_DIFF=25\n"
    "VISION_LIMIT1=64\n"
    "VISION_LIMIT2=3\n"
    "VISION_WIDTH1=16\n"
    "VISION_WIDTH2=16\n"
    "VISION_WIDTH3=128\n"
    "VISION_ANGLE=3.000000\n"
    "BLUR_RADIUS=3\n"
    "BLUR_LIMIT=50\n"
    "REPERTOIRE1=\"c:\\t\\\"\n"
    "REPERTOIRE2=\"c:\\trot\\\"\n"
    "COTE_RECADRAGE=BD\n"
    "COTE_FOND=D\n"
    "OFFSET_ANGLE=0.000000\n"
    "RECADRAGE1=O\n"
    "FLOU=O\n"
    "SAUVEGARDE1=O\n"
    "ROTATION=O\n"
    "RECADRAGE2=O\n"
    "SAUVEGARDE2=O\n"
    "AFFINAGE=O\n"
    "AFFINAGE_PLAGE=10.000000\n";

class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override { SetGuiParameterDefaults(); }

    std::string Write()
    {
        WriteConfigFile(path.c_str(), g_gui_params.REPERTOIRE1, g_gui_params.REPERTOIRE2);
        return ReadFileBytes(path);
    }
    // Reads text as a configuration file; returns what was printed.
    std::string Read(const std::string& text)
    {
        WriteFileBytes(path, text);
        ::testing::internal::CaptureStdout();
        ReadConfigFile(path.c_str());
        return ::testing::internal::GetCapturedStdout();
    }

    ScratchDir dir;
    std::string path = dir / "conf.txt";
};

TEST_F(ConfigFile, StartValuesGiveTheDocumentedLines)
{
    EXPECT_EQ(Write(), kStartFile);
}

TEST_F(ConfigFile, ColourLineOnlyWithoutAutomaticColour)
{
    GuiParameterSet& p = g_gui_params;
    p.fill_colour[0] = 255;
    p.fill_colour[1] = 128;
    p.fill_colour[2] = 0;
    EXPECT_EQ(Write(), kStartFile);  // automatic colour: no line
    p.automatic_colour = 0;
    EXPECT_EQ(Write(), std::string(kStartFile) + "COUL_REMPLISSAGE=255,128,0\n");
}

TEST_F(ConfigFile, SideLettersAndSwitches)
{
    GuiParameterSet& p = g_gui_params;
    p.COTE_RECADRAGE = 15;
    p.COTE_FOND = 0;
    p.FLOU = 0;
    p.SAUVEGARDE2 = 0;
    std::string text = Write();
    EXPECT_NE(text.find("\nCOTE_RECADRAGE=HBGD\nCOTE_FOND=\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nFLOU=N\nSAUVEGARDE1=O\nROTATION=O\nRECADRAGE2=O\nSAUVEGARDE2=N\n"), std::string::npos);
}

TEST_F(ConfigFile, ReadsKeysInAnyCaseAndColourBytes)
{
    EXPECT_EQ(Read("offset_angle=1.5\nCOUL_REMPLISSAGE=300,0,0\ncomment line\naffinage=n\nAFFINAGE_PLAGE=4.5\n"), "");
    EXPECT_EQ(g_gui_params.OFFSET_ANGLE, 1.5);
    EXPECT_EQ(g_gui_params.AFFINAGE, 0);
    EXPECT_EQ(g_gui_params.AFFINAGE_PLAGE, 4.5);
    EXPECT_EQ(g_gui_params.fill_colour[0], 44);  // low byte of 300
    EXPECT_EQ(g_gui_params.automatic_colour, 0);
    g_gui_params.fill_colour[1] = 7;
    g_gui_params.fill_colour[2] = 9;
    Read("COUL_REMPLISSAGE=1,x,5\n");  // a short colour keeps the missing bytes
    EXPECT_EQ(g_gui_params.fill_colour[0], 1);
    EXPECT_EQ(g_gui_params.fill_colour[1], 7);
    EXPECT_EQ(g_gui_params.fill_colour[2], 9);
}

TEST_F(ConfigFile, MissingFileChangesNothing)
{
    g_gui_params.automatic_colour = 0;
    ReadConfigFile((dir / "absent.txt").c_str());
    EXPECT_EQ(g_gui_params.automatic_colour, 0);
    WriteConfigFile((dir / "no/such/dir.txt").c_str(), "", "");  // nothing to check but no crash
}

TEST_F(ConfigFile, UnknownKeysAndBadValues)
{
    std::string printed = Read("DETECT_WIDTH =30\nDETECT_DIFF=abc\nVISION_ANGLE=abc\nCOTE_FOND=xd\n");
    EXPECT_EQ(printed, "paramètre inconnu \"DETECT_WIDTH \"\n");
    EXPECT_EQ(g_gui_params.DETECT_WIDTH, 20);
    EXPECT_EQ(g_gui_params.DETECT_DIFF, 25);
    EXPECT_EQ(g_gui_params.VISION_ANGLE, 0.0);
    EXPECT_EQ(g_gui_params.COTE_FOND, 8);
}

TEST_F(ConfigFile, OverlongLineIsRefusedWhole)
{
    std::string long_dir(300, 'a');
    std::string printed = Read("REPERTOIRE1=\"" + long_dir + "\"\nBLUR_RADIUS=9\n");
    EXPECT_NE(printed.find("REPERTOIRE1"), std::string::npos);
    EXPECT_STREQ(g_gui_params.REPERTOIRE1, "c:\\t\\");  // not a cut directory
    EXPECT_EQ(g_gui_params.BLUR_RADIUS, 9);
}

TEST_F(ConfigFile, RoundTripRestoresEveryValue)
{
    GuiParameterSet& p = g_gui_params;
    p.DETECT_WIDTH = -7;
    p.DETECT_DIFF = 2147483647;
    p.VISION_LIMIT1 = 1;
    p.VISION_LIMIT2 = 2;
    p.VISION_WIDTH1 = 3;
    p.VISION_WIDTH2 = 4;
    p.VISION_WIDTH3 = 5;
    p.VISION_ANGLE = 2.25;
    p.BLUR_RADIUS = 6;
    p.BLUR_LIMIT = 7;
    std::strcpy(p.REPERTOIRE1, "/data/un dossier/");
    std::strcpy(p.REPERTOIRE2, "d:\\sortie\\");
    p.COTE_RECADRAGE = 5;
    p.COTE_FOND = 4;
    p.OFFSET_ANGLE = -0.5;
    p.RECADRAGE1 = p.FLOU = p.SAUVEGARDE1 = p.ROTATION = p.RECADRAGE2 = p.SAUVEGARDE2 = 0;
    p.fill_colour[0] = 1;
    p.fill_colour[1] = 2;
    p.fill_colour[2] = 250;
    p.automatic_colour = 0;
    std::string written = Write();

    // Every value differs from its start value: the same file written
    // again after reading back shows that each one was restored.
    SetGuiParameterDefaults();
    EXPECT_EQ(Read(written), "");
    EXPECT_EQ(Write(), written);

    // And automatic colour back on, with the colour bytes kept.
    p.automatic_colour = 1;
    Write();
    p.automatic_colour = 0;
    Read(ReadFileBytes(path));
    EXPECT_EQ(p.automatic_colour, 1);
    EXPECT_EQ(p.fill_colour[2], 250);
}

TEST(ParseInteger, WrapsInsteadOfOverflowing)
{
    int32_t value = 99;
    const char* end = nullptr;
    EXPECT_EQ(ParseInteger("  -12x", &value, &end), 1);
    EXPECT_EQ(value, -12);
    EXPECT_EQ(*end, 'x');
    EXPECT_EQ(ParseInteger("4294967316", &value, nullptr), 1);  // 2^32 + 20
    EXPECT_EQ(value, 20);
    EXPECT_EQ(ParseInteger("", &value, nullptr), 0);
    EXPECT_EQ(ParseInteger("-", &value, nullptr), 0);
    EXPECT_EQ(value, 20);
}

// nivelo takes the GUI's file: its directories (quoted) decide where the
// results go, and it knows every key the GUI writes, the fill colour too.
TEST_F(ConfigFile, NiveloReadsAFileWrittenByTheGui)
{
    ScratchDir work;
    {
        TestImage page(40, 30, 4);
        ASSERT_EQ(SaveTGA((work / "page.tga").c_str(), &page.bitmap), 1);
    }
    std::string first = work / "un/";
    std::string second = work / "deux/";
    ASSERT_EQ(RunProgram("/bin/mkdir", {first, second}, work.path).status, 0);
    g_gui_params.automatic_colour = 0;
    g_gui_params.ROTATION = 0;
    g_gui_params.OFFSET_ANGLE = 1.5;
    ASSERT_EQ(WriteConfigFile(path.c_str(), first.c_str(), second.c_str()), 1);
    ASSERT_NE(ReadFileBytes(path).find("COUL_REMPLISSAGE="), std::string::npos);

    RunResult run = RunNivelo({"/c\"" + path + "\"", "page.tga"}, work.path);
    EXPECT_TRUE(FileExists(first + "page.tga")) << run.output;
    EXPECT_TRUE(FileExists(second + "page.tga")) << run.output;
    EXPECT_EQ(run.output.find("inconnu"), std::string::npos) << run.output;
}

}  // namespace
