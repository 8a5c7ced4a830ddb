// What the panels show of the values and of nivelo's last run.
#include <functional>

#include "gui/gui_params.h"
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
    PlatformSetEditText(g_current_panel_window, IDC_OFFSET_ANGLE, "0.5");
    EXPECT_EQ(state(), "Vues pas à jour");
    Update();
    EXPECT_EQ(state(), "");
    ChooseStage(8);  // rebuilt from the set: no run of zeros
    EXPECT_EQ(HeadlessFind(DIALOG_ROTATION, IDC_OFFSET_ANGLE)->text, "0.5");
    EXPECT_EQ(HeadlessFind(DIALOG_ROTATION, IDC_AFFINAGE_PLAGE)->text.find("000"), std::string::npos);
    // A cancelled run leaves the views it had, marked.
    PlatformSetEditText(g_current_panel_window, IDC_OFFSET_ANGLE, "1");
    g_headless.running = 1;
    g_headless.actions.push_back([] { HeadlessClick(DIALOG_WAIT, IDC_WAIT_CANCEL); });
    Update();
    EXPECT_EQ(state(), "Vues pas à jour");
    ExpectPair(3, 9);
}

// Each answer to the questions before quitting: does the program end, and
// are the settings saved.
TEST_F(GuiTest, QuittingWithChangedSettingsAsks)
{
    struct Case {
        int change;
        std::vector<int> answers;  // "Enregistrer...", "Quitter sans enregistrer", "Annuler"
        int save_dialog_answered, quits, questions;
    } cases[] = {
        {0, {}, 0, 1, 0}, {1, {2}, 0, 0, 1}, {1, {1}, 0, 1, 1}, {1, {0}, 1, 1, 1}, {1, {0}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        g_headless.quit_posted = 0;
        g_headless.messages.clear();
        if (c.change) PlatformSetEditText(g_current_panel_window, IDC_DETECT_WIDTH, std::to_string(30 + (&c - cases)).c_str());
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
    ChooseStage(10);
    PlatformSetEditText(g_current_panel_window, IDC_REPERTOIRE2, "/tmp/r2");
    g_headless.procedure(MSG_SIZE, 900 | 700 << 16);
    g_headless.question_answers = {1};  // quit without saving
    HeadlessMenu(ID_QUIT);
    ASSERT_EQ(RunGui(), 0);
    Reset();
    char program[] = "nivelo_gui";
    char* argv[] = {program, nullptr};
    ASSERT_EQ(StartGui(1, argv), 1);
    EXPECT_EQ(g_gui_params.BLUR_RADIUS, 7);
    EXPECT_STREQ(g_gui_params.REPERTOIRE2, "/tmp/r2/");
    EXPECT_EQ(std::string(g_config_directory) + g_config_name, start_ + "c.txt");
    EXPECT_STREQ(g_image_directory, start_.c_str());
    int width, height;
    MainWindowSize(&width, &height);
    EXPECT_EQ(width * 10000 + height, 9000700);
    HeadlessMenu(ID_QUIT);  // nothing changed since the start: no question
    EXPECT_TRUE(g_headless.messages.empty());
}

// The keyboard's commands, as the window system hands them over.
TEST_F(GuiTest, KeyboardCommands)
{
    LoadImage(MakePage());
    ChooseStage(1);
    struct Step {
        std::function<void()> key;
        int zoom;
        size_t runs;  // runs of nivelo so far
    } steps[] = {
        {[] { HeadlessMenu(ID_ZOOM_IN); }, ZOOM_50, 1},      // Ctrl++
        {[] { HeadlessMenu(ID_ZOOM_IN); }, ZOOM_100, 1},
        {[] { HeadlessMenu(ID_ZOOM_IN); }, ZOOM_100, 1},
        {[] { HeadlessMenu(ID_ZOOM_OUT); }, ZOOM_50, 1},     // Ctrl+-
        {[] { HeadlessMenu(ID_UPDATE_VIEWS); }, ZOOM_50, 2},  // F5
        {[] { g_current_panel_window->procedure(g_current_panel_window, MSG_COMMAND, IDC_BLUR_RADIUS, NOTIFY_RETURN); },
         ZOOM_50, 3},  // Return in a field
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(&s - steps);
        s.key();
        EXPECT_EQ(g_display.zoom_mode, s.zoom);
        EXPECT_EQ(Runs(), s.runs);
    }
    // Escape during a run closes the wait box, which cancels it.
    g_headless.running = 1;
    g_headless.actions.push_back([] {
        PlatformDialog* wait = HeadlessFindDialog(DIALOG_WAIT);
        wait->procedure(wait, MSG_COMMAND, CONTROL_ID_CLOSE, NOTIFY_CLICKED);
    });
    Update();
    EXPECT_EQ(g_headless.kills, 1);
}
