// What the panels show of the values and of nivelo's last run.
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
