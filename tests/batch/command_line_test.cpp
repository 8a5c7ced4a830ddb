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

TEST(Config, LenientWhereTheIntentIsPlain)
{
    // A byte-order mark, blanks around the key and the value, CRLF, a lower-case key.
    EXPECT_EQ(ParseConfig("\xEF\xBB\xBF detect_width = 30 \r\n# comment line\n\nAFFINAGE\t=\tO\r\n"
                          "FLOU=yes\nROTATION=Non\nRECADRAGE1=1\nRECADRAGE2=n\nSAUVEGARDE1=OUI\nSAUVEGARDE2=\n"
                          "COTE_RECADRAGE=h, b\n"),
              "");
    EXPECT_EQ(g_params.DETECT_WIDTH, 30);
    EXPECT_EQ(g_params.AFFINAGE, 1);
    EXPECT_EQ(g_params.FLOU, 1);
    EXPECT_EQ(g_params.ROTATION, 0);
    EXPECT_EQ(g_params.RECADRAGE1, 1);
    EXPECT_EQ(g_params.RECADRAGE2, 0);
    EXPECT_EQ(g_params.SAUVEGARDE1, 1);
    EXPECT_EQ(g_params.SAUVEGARDE2, 0);  // an empty yes/no is no
    EXPECT_EQ(g_params.COTE_RECADRAGE, SIDE_TOP | SIDE_BOTTOM);
}
// A faulty line leaves its value alone (nivelo_gui keeps the rest of such a
// file); the messages themselves are in the console table.
TEST(Config, FaultyLinesChangeNothing)
{
    std::string said = ParseConfig("FLOU=N\nDETECT_DIFF=abc\nBLUR_RADIUS=-1\nAFFINAGE_PLAGE=90\n"
                                   "COTE_RECADRAGE=XYZ\nCOUL_REMPLISSAGE=1,2\nFLOU=peut-être\n");
    EXPECT_NE(said.find("c.txt : 6 lignes en faute, rien n'est traité"), std::string::npos) << said;
    EXPECT_EQ(g_params.DETECT_DIFF, 25);
    EXPECT_EQ(g_params.BLUR_RADIUS, 3);
    EXPECT_EQ(g_params.AFFINAGE_PLAGE, 10.0);
    EXPECT_EQ(g_params.COTE_RECADRAGE, SIDE_BOTTOM | SIDE_RIGHT);
    EXPECT_EQ(g_params.FLOU, 0);  // the good line before them was taken
    EXPECT_EQ(g_params.fill_colour_given, 0);
}

// Numbers keep the meaning they have always had: read in single precision.
TEST(Config, NumbersAtTheEdgesOfTheirRanges)
{
    EXPECT_EQ(ParseConfig("VISION_ANGLE=0.1\nAFFINAGE_PLAGE=0.01\nOFFSET_ANGLE=-180\nDETECT_DIFF=+0\n"
                          "VISION_WIDTH3=065535\nCOUL_REMPLISSAGE= 0 , 255,9\n"),
              "");
    EXPECT_EQ(g_params.VISION_ANGLE, double(0.1f));
    EXPECT_EQ(g_params.AFFINAGE_PLAGE, double(0.01f));
    EXPECT_EQ(g_params.OFFSET_ANGLE, -180.0);
    EXPECT_EQ(g_params.DETECT_DIFF, 0);
    EXPECT_EQ(g_params.VISION_WIDTH3, 65535);
    EXPECT_EQ(g_params.fill_colour[1], 255);
    EXPECT_EQ(g_params.fill_colour_given, 1);
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

TEST(Config, OverlongLineIsRefusedWhole)
{
    std::string dir(300, 'a');
    std::string out = ParseConfig("REPERTOIRE1=" + dir + "/\nDETECT_WIDTH=9\n");
    EXPECT_NE(out.find("c.txt, ligne 1 : ligne trop longue (plus de 255 caractères)"), std::string::npos) << out;
    EXPECT_STREQ(g_params.REPERTOIRE1, "out/intermediaire/");  // not a cut directory
    EXPECT_EQ(g_params.DETECT_WIDTH, 9);                       // the next line is read normally
}

TEST(CommandLine, FlagsConfigNameAndImage)
{
    EXPECT_EQ(Parse({"/f", "/bx", "one.tga", "two.tga"}), "");
    EXPECT_EQ(g_command.flag_f, 1);
    EXPECT_EQ(g_command.flag_b, 1);
    EXPECT_EQ(g_command.images, (std::vector<std::string>{"one.tga", "two.tga"}));
    EXPECT_STREQ(g_command.image_name, "one.tga");
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
    Parse({"/cdir/conf.txt", "p.tga"});  // still the configuration flag
    EXPECT_STREQ(g_command.config_name, "dir/conf.txt");
}
