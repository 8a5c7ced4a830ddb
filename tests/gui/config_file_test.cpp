// Configuration files written by nivelo_gui: read back by it and by nivelo.
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

// The start values give the documented file, colour line only without
// automatic colour.
TEST_F(ConfigFile, StartValuesGiveTheDocumentedLines)
{
    EXPECT_EQ(Write(), kStartFile);
    g_gui_params.fill_colour[0] = 255;
    g_gui_params.automatic_colour = 0;
    EXPECT_EQ(Write(), std::string(kStartFile) + "COUL_REMPLISSAGE=255,0,0\n");
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
