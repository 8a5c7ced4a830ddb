// Nothing the user has is lost: no file replaced without a yes, folder
// fields that are folders, one work folder per window, a refused page that
// changes nothing.
#include <sys/file.h>

#include <cstring>

#include "gui/commands/conversion_targets.h"
#include "gui/settings/gui_params.h"
#include "gui/settings/work_folder.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_testing;

// Each answer to the one question: the runs it starts and what it says.
TEST_F(GuiTest, ConversionOntoExistingFilesAsksOnce)
{
    std::string scans = start_ + "scans/", out = start_ + "out/";
    std::filesystem::create_directories(scans + "autres");
    std::filesystem::create_directory(out);
    WriteFileBytes(out + "a.tga", "une autre page");
    std::strcpy(app_.params.REPERTOIRE2, out.c_str());
    app_.params.SAUVEGARDE1 = 0;
    // b.tif's result is b.tga, as b.tga's is.
    const std::vector<std::string> batch = {scans + "a.tga", scans + "b.tga", scans + "autres/b.tif"};
    struct Case {
        int answer;
        std::vector<std::string> converted;  // image names, in order
        std::string summary_head;
    } cases[] = {{0, {"a.tga", "b.tga", "b.tif"}, "3 images converties, 0 en échec"},
                 {1, {"b.tga"}, "1 image convertie, 0 en échec, 2 passée(s) pour ne rien remplacer"}, {2, {}, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        g_headless.runs.clear(), g_headless.messages.clear();
        g_headless.question_answers = {c.answer, 1};  // then "Fermer" under the summary
        g_headless.file_answers.push_back(batch);
        HeadlessMenu(ID_CONVERT);
        ASSERT_GE(g_headless.messages.size(), 1u);
        EXPECT_NE(g_headless.messages[0].find("\n  " + out + "a.tga\n  " + out + "b.tga\n"), std::string::npos);
        std::vector<std::string> converted;
        for (const HeadlessRun& run : g_headless.runs) converted.push_back(run.args.back());
        EXPECT_EQ(converted, c.converted);
        EXPECT_EQ(g_headless.messages.size(), c.summary_head.empty() ? 1u : 2u);
        if (!c.summary_head.empty()) {
            EXPECT_EQ(g_headless.messages.back().rfind(c.summary_head + "\n\nRésultats dans :\n  " + out + "\n", 0), 0u);
        }
    }
    // The scan is never its own target (nivelo refuses it), so it asks nothing.
    std::strcpy(app_.params.REPERTOIRE2, scans.c_str());
    WriteFileBytes(scans + "a.tga", "le scan");
    EXPECT_EQ(FindTargets({scans + "a.tga"}, {"", scans}, 0).existing, std::vector<std::string>{});
    EXPECT_EQ(FindTargets({scans + "a.tga"}, {"", scans}, 1).existing, std::vector<std::string>{});  // a.tif: free
    EXPECT_EQ(ResultPath("d.x/", "page", 0), "d.x/page.tga");
    // A run that ends "done." but whose exit status says a result was not
    // written is a failure.
    g_headless.exit_status = 1;
    g_headless.question_answers = {0};
    g_headless.file_answers.push_back({scans + "b.tga"});
    HeadlessMenu(ID_CONVERT);
    EXPECT_EQ(g_headless.messages.back().rfind("0 image convertie, 1 en échec", 0), 0u);
    g_headless.exit_status = 0;
    // "Ouvrir les dossiers" hands the folder to the desktop.
    g_headless.runs.clear();
    g_headless.question_answers = {0};
    g_headless.file_answers.push_back({scans + "a.tga"});
    HeadlessMenu(ID_CONVERT);
    ASSERT_EQ(Runs(), 2u);
    EXPECT_EQ(g_headless.runs[1].program + " " + g_headless.runs[1].args.at(0), "xdg-open " + scans);
}

// What a folder field holds, by where its text came from.
TEST_F(GuiTest, FolderFieldsAreFolders)
{
    std::filesystem::create_directory(start_ + "sortie");
    ChooseStage(10);
    PlatformSetEditText(app_.panels.window, IDC_REPERTOIRE2, "out2");  // typed
    EXPECT_STREQ(app_.params.REPERTOIRE2, "out2/");
    struct Case {
        const char* loaded;    // REPERTOIRE2 in a configuration file
        std::string written;   // what the conversion hands to nivelo
        int asked;             // questions before the run ("Le créer ?")
    } cases[] = {{"sortie", start_ + "sortie/", 0},  // an existing folder is that folder
                 {"sortie/lot_", start_ + "sortie/lot_", 0},  // a name prefix stays one
                 {"neuf/", start_ + "neuf/", 1}};  // created when the user agrees
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loaded);
        WriteFileBytes(start_ + "c.txt", std::string("REPERTOIRE2=") + c.loaded + "\nSAUVEGARDE1=N\n");
        g_headless.file_answers.push_back({start_ + "c.txt"});
        HeadlessMenu(ID_LOAD_CONFIG);
        EXPECT_EQ(HeadlessFind(DIALOG_SAVE2, IDC_REPERTOIRE2)->text, c.loaded);
        g_headless.messages.clear();
        g_headless.question_answers = {1, 1};
        g_headless.file_answers.push_back({"/scans/p.tga"});
        HeadlessMenu(ID_CONVERT);
        std::string conf = ReadFileBytes(std::string(app_.folders.work) + "nivelo_gui_conf.txt");
        EXPECT_NE(conf.find("REPERTOIRE2=\"" + c.written + "\"\n"), std::string::npos);
        EXPECT_EQ(g_headless.messages.size(), size_t(c.asked) + 1);  // and the summary
    }
}

// Two windows started in one folder, and a window that died.
TEST(GuiWorkFolder, OneFolderPerWindow)
{
    ScratchDir start;
    std::string base = start.path;
    WorkFolder a, b, c;
    ASSERT_EQ(OpenWorkFolder(base.c_str(), &a), 1);
    ASSERT_EQ(OpenWorkFolder(base.c_str(), &b), 1);
    EXPECT_STRNE(a.path, b.path);
    WriteFileBytes(std::string(a.path) + "save3.tga", "de a");
    std::string dead = base + "nivelo_gui_work/mort/", starting = base + "nivelo_gui_work/neuf/";
    std::filesystem::create_directory(dead);
    std::filesystem::create_directory(starting);  // no lock yet: a window being made
    WriteFileBytes(dead + "verrou", "");
    CloseWorkFolder(&b);
    EXPECT_EQ(ReadFileBytes(std::string(a.path) + "save3.tga"), "de a");
    ASSERT_EQ(OpenWorkFolder(base.c_str(), &c), 1);
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(starting));
    EXPECT_TRUE(std::filesystem::exists(a.path));
    std::filesystem::remove(starting);
    CloseWorkFolder(&a), CloseWorkFolder(&c), CloseWorkFolder(&c);
    EXPECT_FALSE(std::filesystem::exists(base + "nivelo_gui_work"));
}

// A page nivelo refuses, or whose run is cancelled, leaves the open page as
// it was: name, views, angle, stage images, no run at the next panel.
TEST_F(GuiTest, ARefusedPageChangesNothing)
{
    said_ = "1.380000\n";
    LoadImage(MakePage());
    ChooseStage(8);
    WriteFileBytes(start_ + "notes.txt", "du texte");
    refused_ = {start_ + "notes.txt"};
    for (int cancel : {0, 1}) {
        SCOPED_TRACE(cancel);
        g_headless.messages.clear();
        if (cancel) g_headless.running = 1, g_headless.actions.push_back([] { HeadlessClick(DIALOG_WAIT, IDC_WAIT_CANCEL); });
        LoadImage(start_ + "notes.txt");
        EXPECT_EQ(g_headless.messages, cancel ? std::vector<std::string>{}
                                              : std::vector<std::string>{"nivelo n'a pas traité " + start_ + "notes.txt :\nError reading file " + start_ + "notes.txt\n"});
        EXPECT_EQ(g_headless.title, "Nivelo gui v1.0 - page.tga");
        EXPECT_TRUE(app_.display.image_loaded);
        ExpectPair(3, 9);
        EXPECT_EQ(HeadlessFind(DIALOG_ROTATION, IDC_DETECTED_ANGLE)->text, "Angle détecté : 1.38°");
        size_t runs = Runs();
        ChooseStage(0);
        EXPECT_EQ(Runs(), runs);
        ExpectPair(0, 1);
        ChooseStage(8);
    }
}
