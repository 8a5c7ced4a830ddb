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
// Each faulty line is named with its number, and leaves its value alone.
TEST(Config, FaultsNameTheirLineAndChangeNothing)
{
    struct Fault {
        const char* line;
        const char* said;  // the message after "c.txt, ligne N : "
    };
    const Fault faults[] = {
        {"DETECT_DIFF=abc", "valeur \"abc\" refusée pour DETECT_DIFF : il faut un nombre entier de 0 à 255"},
        {"DETECT_WIDTH=3.5", "valeur \"3.5\" refusée pour DETECT_WIDTH : il faut un nombre entier de 1 à 65535"},
        {"BLUR_RADIUS=-1", "valeur \"-1\" refusée pour BLUR_RADIUS : il faut un nombre entier de 0 à 1000"},
        {"VISION_LIMIT1=99999999999999", "valeur \"99999999999999\" refusée pour VISION_LIMIT1 : il faut un nombre "
                                         "entier de 0 à 255"},
        {"AFFINAGE_PLAGE=90", "valeur \"90\" refusée pour AFFINAGE_PLAGE : il faut un nombre de 0.01 à 45 (point "
                              "décimal)"},
        {"VISION_ANGLE=2,5", "valeur \"2,5\" refusée pour VISION_ANGLE : il faut un nombre de 0 à 90 (point décimal)"},
        {"OFFSET_ANGLE=nan", "valeur \"nan\" refusée pour OFFSET_ANGLE : il faut un nombre de -180 à 180 (point "
                             "décimal)"},
        {"COTE_RECADRAGE=XYZ", "valeur \"XYZ\" refusée pour COTE_RECADRAGE : il faut des côtés parmi H (haut), B "
                               "(bas), G (gauche), D (droite)"},
        {"FLOU=peut-être", "valeur \"peut-être\" refusée pour FLOU : il faut O ou N (oui/non, yes/no, 1/0)"},
        {"COUL_REMPLISSAGE=255,300,0", "valeur \"255,300,0\" refusée pour COUL_REMPLISSAGE : il faut trois nombres "
                                       "de 0 à 255 : rouge,vert,bleu"},
        {"COUL_REMPLISSAGE=1,2", "valeur \"1,2\" refusée pour COUL_REMPLISSAGE : il faut trois nombres de 0 à 255 "
                                 ": rouge,vert,bleu"},
        {"FORMAT_SORTIE=GIF", "valeur \"GIF\" refusée pour FORMAT_SORTIE : il faut l'un de TGA,PNG,JPEG,TIFF,JPG,TIF"},
        {"AFFINAGE_PLAN=O", "paramètre inconnu \"AFFINAGE_PLAN\""},
    };
    std::string text = "FLOU=N\n", expected;
    int line = 2;
    for (const Fault& f : faults) {
        text += std::string(f.line) + "\n";
        expected += "ligne " + std::to_string(line++) + " : " + f.said + "\n";
    }
    std::string said = ParseConfig(text);
    std::string lines;  // without the folder of the file
    for (size_t at = 0; (at = said.find("c.txt, ", at)) != std::string::npos; at += 7)
        lines += said.substr(at + 7, said.find('\n', at) - at - 6);
    EXPECT_EQ(lines, expected);
    EXPECT_NE(said.find("c.txt : 13 lignes en faute, rien n'est traité"), std::string::npos) << said;
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
