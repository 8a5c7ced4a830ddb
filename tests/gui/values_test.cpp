// What the panels show of the values and of nivelo's last run.
#include <cstring>
#include <functional>

#include "gui/settings/config_file.h"
#include "gui/settings/gui_params.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_testing;

TEST_F(GuiTest, PanelsShowNiveloWordsAndStaleViews)
{
    said_ = "1.490000\nangle au bord de la plage de recherche\n";
    LoadImage(MakePage());
    ChooseStage(8);
    EXPECT_EQ(HeadlessFind(DIALOG_ROTATION, IDC_ANGLE_NOTE)->text, "angle au bord de la plage de recherche\n");
    auto state = [] { return HeadlessFind(DIALOG_UPDATE_BAR, IDC_VIEWS_STATE)->text; };
    EXPECT_EQ(state(), "");
    PlatformSetEditText(app_.panels.window, IDC_OFFSET_ANGLE, "0.5");
    EXPECT_EQ(state(), "Vues pas à jour");
    Update();
    EXPECT_EQ(state(), "");
    ChooseStage(8);  // rebuilt from the set: no run of zeros
    EXPECT_EQ(HeadlessFind(DIALOG_ROTATION, IDC_OFFSET_ANGLE)->text, "0.5");
    EXPECT_EQ(HeadlessFind(DIALOG_ROTATION, IDC_AFFINAGE_PLAGE)->text.find("000"), std::string::npos);
    // A cancelled run leaves the views it had, marked.
    PlatformSetEditText(app_.panels.window, IDC_OFFSET_ANGLE, "1");
    g_headless.running = 1;
    g_headless.actions.push_back([] { HeadlessClick(DIALOG_WAIT, IDC_WAIT_CANCEL); });
    Update();
    EXPECT_EQ(state(), "Vues pas à jour");
    ExpectPair(3, 9);
    // The orientation found, and a page left as it was: in the panel, not in a box.
    HeadlessClick(DIALOG_ROTATION, IDC_ORIENTATION);
    EXPECT_EQ(app_.params.ORIENTATION, 1);
    for (auto [said, shown] : {std::pair{"orientation : 270\n1.380000\n", "Détecté : 1.38°, 270°"},
                               {"orientation incertaine : page laissée telle quelle\n0.500000\n", "Détecté : 0.50°, incertain"}}) {
        said_ = said, g_headless.messages.clear();
        Update();
        EXPECT_EQ(HeadlessFind(DIALOG_ROTATION, IDC_DETECTED_ANGLE)->text, shown);
        EXPECT_TRUE(g_headless.messages.empty());
    }
}

// Each answer to the questions before quitting: does the program end, and
// are the settings saved.
TEST_F(GuiTest, QuittingWithChangedSettingsAsks)
{
    struct Case {
        int change;
        std::vector<int> answers;  // "Enregistrer...", "Quitter sans enregistrer", "Annuler"
        int save_dialog_answered, quits, questions;
    } cases[] = {{0, {}, 0, 1, 0}, {1, {2}, 0, 0, 1}, {1, {1}, 0, 1, 1}, {1, {0}, 1, 1, 1}, {1, {0}, 0, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        g_headless.quit_posted = 0, g_headless.messages.clear();
        std::string width = std::to_string(30 + (&c - cases));
        if (c.change) PlatformSetEditText(app_.panels.window, IDC_DETECT_WIDTH, width.c_str());
        g_headless.question_answers.assign(c.answers.begin(), c.answers.end());
        if (c.save_dialog_answered) g_headless.file_answers.push_back({start_ + "saved.txt"});
        HeadlessMenu(ID_QUIT);
        EXPECT_EQ(PlatformQuitPosted(), c.quits);
        EXPECT_EQ(g_headless.messages.size(), size_t(c.questions));
        if (c.save_dialog_answered) {
            EXPECT_NE(ReadFileBytes(start_ + "saved.txt").find("DETECT_WIDTH=33\n"), std::string::npos);
        }
    }
}

TEST_F(GuiTest, TheNextStartRemembers)
{
    LoadImage(MakePage());
    WriteFileBytes(start_ + "c.txt", "BLUR_RADIUS=7\n");
    g_headless.file_answers.push_back({start_ + "c.txt"});
    HeadlessMenu(ID_LOAD_CONFIG);
    HeadlessMenu(ID_LOAD_CONFIG);  // cancelled: the configuration last used stays
    ChooseStage(10);
    PlatformSetEditText(app_.panels.window, IDC_REPERTOIRE2, "/tmp/r2");
    g_headless.procedure(&app_, MSG_SIZE, 900 | 700 << 16);
    g_headless.question_answers = {1};  // quit without saving
    HeadlessMenu(ID_QUIT);
    ASSERT_EQ(RunGui(app_), 0);
    End();
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(app_.params.BLUR_RADIUS, 7);
    EXPECT_STREQ(app_.params.REPERTOIRE2, "/tmp/r2/");
    EXPECT_EQ(std::string(app_.folders.config_directory) + app_.folders.config_name, start_ + "c.txt");
    EXPECT_STREQ(app_.image.directory, start_.c_str());
    EXPECT_EQ(app_.session.client_width * 10000 + app_.session.client_height, 9000700);
    HeadlessMenu(ID_QUIT);  // nothing changed since the start: no question
    EXPECT_TRUE(g_headless.messages.empty());
}

// The keyboard's commands, as the window system hands them over: Ctrl++ and
// Ctrl+- stop at their ends, F5 and Return in a field run nivelo, Escape in
// the wait box cancels the run.
TEST_F(GuiTest, KeyboardCommands)
{
    LoadImage(MakePage());
    ChooseStage(1);
    const int kReturn = 0;
    struct Step {
        int key, zoom;
        size_t runs;  // runs of nivelo so far
    } steps[] = {{ID_ZOOM_IN, ZOOM_50, 1},  {ID_ZOOM_IN, ZOOM_100, 1},      {ID_ZOOM_IN, ZOOM_100, 1},
                 {ID_ZOOM_OUT, ZOOM_50, 1}, {ID_UPDATE_VIEWS, ZOOM_50, 2}, {kReturn, ZOOM_50, 3}};
    for (const Step& s : steps) {
        SCOPED_TRACE(&s - steps);
        PlatformDialog* panel = app_.panels.window;
        if (s.key == kReturn) panel->procedure(&app_, panel, MSG_COMMAND, IDC_BLUR_RADIUS, NOTIFY_RETURN);
        else HeadlessMenu(s.key);
        EXPECT_EQ(app_.display.zoom_mode, s.zoom);
        EXPECT_EQ(Runs(), s.runs);
    }
    g_headless.running = 1;
    g_headless.actions.push_back([] {
        PlatformDialog* wait = HeadlessFindDialog(DIALOG_WAIT);
        wait->procedure(wait->context, wait, MSG_COMMAND, CONTROL_ID_CLOSE, NOTIFY_CLICKED);
    });
    Update();
    EXPECT_EQ(g_headless.kills, 1);
}

// Each kind of bad value in every panel's fields: refused where it is
// typed, marked, explained with nivelo's range, and never run; a good one
// taken.  line: what the set then writes for the key.
TEST_F(GuiTest, EveryFieldRefusesWhatNiveloRefuses)
{
    enum { TAKEN, REFUSED };
    struct Case {
        int stage, id;
        const char* typed;
        int refused;
        const char* line;
    } cases[] = {
        {0, IDC_DETECT_WIDTH, "0", REFUSED, "DETECT_WIDTH=20"},     {0, IDC_DETECT_WIDTH, "", REFUSED, "DETECT_WIDTH=20"},
        {0, IDC_DETECT_DIFF, "256", REFUSED, "DETECT_DIFF=25"},     {0, IDC_DETECT_DIFF, "30", TAKEN, "DETECT_DIFF=30"},
        {1, IDC_BLUR_RADIUS, "", REFUSED, "BLUR_RADIUS=3"},         {1, IDC_BLUR_RADIUS, "1001", REFUSED, "BLUR_RADIUS=3"},
        {1, IDC_BLUR_LIMIT, "766", REFUSED, "BLUR_LIMIT=50"},       {3, IDC_VISION_LIMIT1, "300", REFUSED, "VISION_LIMIT1=64"},
        {4, IDC_VISION_WIDTH1, "0", REFUSED, "VISION_WIDTH1=16"},   {4, IDC_VISION_LIMIT2, "0", REFUSED, "VISION_LIMIT2=3"},
        {5, IDC_VISION_WIDTH2, "70000", REFUSED, "VISION_WIDTH2=16"}, {7, IDC_VISION_WIDTH3, "99999", REFUSED, "VISION_WIDTH3=128"},
        {7, IDC_VISION_ANGLE, "abc", REFUSED, "VISION_ANGLE=3.000000"}, {7, IDC_VISION_ANGLE, "2,5", REFUSED, "VISION_ANGLE=3.000000"},
        {7, IDC_VISION_ANGLE, "91", REFUSED, "VISION_ANGLE=3.000000"}, {8, IDC_OFFSET_ANGLE, "nan", REFUSED, "OFFSET_ANGLE=0.000000"},
        {8, IDC_AFFINAGE_PLAGE, "-3", REFUSED, "AFFINAGE_PLAGE=10.000000"}, {8, IDC_AFFINAGE_PLAGE, "inf", REFUSED, "AFFINAGE_PLAGE=10.000000"},
        {8, IDC_AFFINAGE_PLAGE, "0.5", TAKEN, "AFFINAGE_PLAGE=0.500000"}, {8, IDC_FILL_BLUE, "300", REFUSED, "COUL_REMPLISSAGE=0,0,0"},
        {8, IDC_FILL_RED, "12", TAKEN, "COUL_REMPLISSAGE=12,0,0"},
    };
    LoadImage(MakePage());
    app_.params.fill_colour_given = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.line) + " <- \"" + c.typed + "\"");
        ChooseStage(c.stage);
        PlatformSetEditText(app_.panels.window, c.id, c.typed);
        EXPECT_NE(("\n" + ConfigText(app_.params)).find("\n" + std::string(c.line) + "\n"), std::string::npos);
        EXPECT_EQ(HeadlessFind(kStagePanels[c.stage]->id, c.id)->marked, c.refused);
        std::string key(c.line, std::strchr(c.line, '='));
        EXPECT_EQ(HeadlessFind(DIALOG_UPDATE_BAR, IDC_VALUE_NOTE)->text.find(key) != std::string::npos, c.refused == REFUSED);
        size_t runs = Runs();
        g_headless.messages.clear();
        Update();
        EXPECT_EQ(Runs(), runs + (c.refused == TAKEN));
        EXPECT_EQ(g_headless.messages.size(), size_t(c.refused));
    }
}
