#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/command_line.h"
#include "batch/params.h"
#include "tests/support/test_support.h"

using namespace testing_support;

namespace {

// Parses a configuration file holding text, after the defaults; returns what
// the parser printed.
std::string ParseConfig(const std::string& text)
{
    ScratchDir dir;
    WriteFileBytes(dir / "c.txt", text);
    std::string flag = "/c" + (dir / "c.txt");
    std::vector<std::string> words = {"nivelo", flag, "page.tga"};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    testing::internal::CaptureStdout();
    ParseCommandLine(int(argv.size()), argv.data());
    return testing::internal::GetCapturedStdout();
}

std::string Parse(std::vector<std::string> words)
{
    words.insert(words.begin(), "nivelo");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    testing::internal::CaptureStdout();
    ParseCommandLine(int(argv.size()), argv.data());
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(Config, KeysAreUpperCasedButNotTrimmed)
{
    EXPECT_EQ(ParseConfig("detect_width=30\nDETECT_DIFF =7\n# comment line\n\n"),
              "paramètre inconnu \"DETECT_DIFF \"\n");
    EXPECT_EQ(g_params.DETECT_WIDTH, 30);
    EXPECT_EQ(g_params.DETECT_DIFF, 25);
}

TEST(Config, ValuesFollowTheirTypeGrammar)
{
    EXPECT_EQ(ParseConfig("DETECT_WIDTH=abc\nBLUR_RADIUS= -4x\nVISION_ANGLE=2,5\n"
                          "COTE_RECADRAGE=hbgd\nCOTE_FOND=XD\nFLOU=Oui\nROTATION=yes\nRECADRAGE1=\n"
                          "SAUVEGARDE1=o\nRECADRAGE2=1\n"),
              "");
    EXPECT_EQ(g_params.DETECT_WIDTH, 20);  // unreadable integer keeps its value
    EXPECT_EQ(g_params.BLUR_RADIUS, -4);
    EXPECT_EQ(g_params.VISION_ANGLE, 2.0);  // the comma ends the number
    EXPECT_EQ(g_params.COTE_RECADRAGE, 15);
    EXPECT_EQ(g_params.COTE_FOND, 8);
    EXPECT_EQ(g_params.FLOU, 1);
    EXPECT_EQ(g_params.ROTATION, 0);
    EXPECT_EQ(g_params.RECADRAGE1, 0);
    EXPECT_EQ(g_params.SAUVEGARDE1, 1);
    EXPECT_EQ(g_params.RECADRAGE2, 0);

    ParseConfig("VISION_ANGLE=abc\nVISION_LIMIT1=3.5\nCOTE_FOND=\nVISION_ANGLE=0.1\n");
    EXPECT_EQ(g_params.VISION_ANGLE, double(0.1f));  // read in single precision
    EXPECT_EQ(g_params.VISION_LIMIT1, 3);
    EXPECT_EQ(g_params.COTE_FOND, 0);
}

TEST(Config, TextValuesLoseQuotesAndTrailingBlanks)
{
    ParseConfig("REPERTOIRE1=\"c:/t/\"  \r\nREPERTOIRE2=\"\"\n");
    EXPECT_STREQ(g_params.REPERTOIRE1, "c:/t/");
    EXPECT_STREQ(g_params.REPERTOIRE2, "");
    ParseConfig("REPERTOIRE1=out/a b/  \nREPERTOIRE2=x\nREPERTOIRE2=y/\n");  // the later line wins
    EXPECT_STREQ(g_params.REPERTOIRE1, "out/a b/");
    EXPECT_STREQ(g_params.REPERTOIRE2, "y/");
}

TEST(Config, OverlongLineIsRefusedWholeWithItsKey)
{
    std::string dir(300, 'a');
    std::string out = ParseConfig("REPERTOIRE1=" + dir + "/\nDETECT_WIDTH=9\n");
    EXPECT_NE(out.find("\"REPERTOIRE1\""), std::string::npos) << out;
    EXPECT_NE(out.find("255"), std::string::npos) << out;
    EXPECT_STREQ(g_params.REPERTOIRE1, "c:/t/");  // not a cut directory
    EXPECT_EQ(g_params.DETECT_WIDTH, 9);         // the next line is read normally
}

TEST(CommandLine, FlagsConfigNameAndImage)
{
    EXPECT_EQ(Parse({"/f", "/bx", "one.tga", "two.tga"}), "");
    EXPECT_EQ(g_command.flag_f, 1);
    EXPECT_EQ(g_command.flag_b, 1);
    EXPECT_STREQ(g_command.image_name, "two.tga");
    EXPECT_STREQ(g_command.config_name, "config.txt");
    Parse({"/c\"my conf.txt\"", "\"a b.tga\""});
    EXPECT_STREQ(g_command.config_name, "my conf.txt");
    EXPECT_STREQ(g_command.image_name, "a b.tga");
    Parse({"/cmy.txt", "p.tga"});
    EXPECT_STREQ(g_command.config_name, "my.txt");
}

TEST(CommandLine, UnknownOrOverlongArgumentsEmptyTheImageName)
{
    EXPECT_EQ(Parse({"p.tga", "/x", "q.tga"}), "parametre inconnu: \"/x\"\n");
    EXPECT_STREQ(g_command.image_name, "");
    EXPECT_EQ(Parse({"/F", "p.tga"}), "parametre inconnu: \"/F\"\n");  // flags are case-sensitive
    std::string long_name(256, 'n');
    EXPECT_NE(Parse({long_name}).find("nom d'image trop long"), std::string::npos);
    EXPECT_STREQ(g_command.image_name, "");
    std::string long_conf = "/c" + std::string(256, 'c');
    EXPECT_NE(Parse({long_conf, "p.tga"}).find("nom de fichier de configuration trop long"), std::string::npos);
    EXPECT_STREQ(g_command.image_name, "");
    Parse({std::string(255, 'n')});  // 255 characters fit
    EXPECT_EQ(std::string(g_command.image_name).size(), 255u);
}

TEST(CommandLine, AbsoluteImagePathsAreNotFlags)
{
    ScratchDir dir;
    WriteFileBytes(dir / "page.tga", "x");
    EXPECT_EQ(Parse({dir / "page.tga"}), "");
    EXPECT_EQ(std::string(g_command.image_name), dir / "page.tga");
    EXPECT_EQ(Parse({"/no/such/page.tga"}), "");  // left for the loaders to report
    EXPECT_STREQ(g_command.image_name, "/no/such/page.tga");
    EXPECT_EQ(Parse({"/cdir/conf.txt", "p.tga"}), "");  // still the configuration flag
    EXPECT_STREQ(g_command.config_name, "dir/conf.txt");
}
