// Every handler below takes the parameter set as the one truth: a panel
// holds no value of its own and is rebuilt from the set each time it is
// shown.  Handlers that change a value that feeds a stage mark the stage
// images from the current panel on as stale.
#include "gui/panels/panels.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/support.h"
#include "gui/views/display.h"
#include "formats/writers.h"
#include "gui/settings/gui_params.h"
#include "gui/panels/panel_resources.h"
#include "gui/previews/previews.h"
#include "gui/previews/run_report.h"

int g_current_panel;
PlatformDialog* g_current_panel_window;
int g_valid_limit;
PlatformDialog* g_update_bar;

namespace {

PlatformDialog* g_stage_chooser;
int g_filling;  // FillPanel is putting the set into the controls

const char kFolderTitle[] = "Choisissez un répertoire de sauvegarde";
const char* const kSideNames[] = {"Haut", "Bas", "Gauche", "Droite"};
const uint8_t kSideBits[] = {SIDE_TOP, SIDE_BOTTOM, SIDE_LEFT, SIDE_RIGHT};  // list entry -> COTE_FOND, check boxes -> COTE_RECADRAGE

// An edit in the current panel makes its stage's result and everything
// after it stale.  Never raises the limit: images already stale stay so.
void MarkStale()
{
    if (g_valid_limit > g_current_panel) g_valid_limit = g_current_panel;
    ShowViewsState();
}

void SetEditInteger(PlatformDialog* dialog, int id, int32_t value)
{
    char text[256];
    std::snprintf(text, sizeof text, "%d", value);
    SetEditText(dialog, id, text);
}

void SetEditReal(PlatformDialog* dialog, int id, double value)
{
    // Six decimals, as a file holds them, but without the zeros that end
    // them: 0.5 and 3 read better than 0.500000 and 3.000000.
    char text[256];
    std::snprintf(text, sizeof text, "%f", value);
    char* end = text + std::strlen(text);
    while (end > text && end[-1] == '0') *--end = '\0';
    if (end > text && end[-1] == '.') *--end = '\0';
    SetEditText(dialog, id, std::strcmp(text, "-0") == 0 ? "0" : text);
}

void SetCheck(PlatformDialog* dialog, int id, int value)
{
    PlatformSetCheck(dialog, id, value != 0);
}

void EnableColourControls(PlatformDialog* dialog, int enabled)
{
    for (int id : {IDC_FILL_RED, IDC_FILL_GREEN, IDC_FILL_BLUE, IDC_CHOOSE_COLOUR})
        PlatformEnableControl(dialog, id, enabled);
}

// Index of the side list's entry for COTE_FOND; -1 (nothing selected) when
// it holds several sides or none.
int SideListIndex(uint8_t sides)
{
    for (int i = 0; i < 4; i++)
        if (sides == kSideBits[i]) return i;
    return -1;
}

uint8_t* SwitchOf(int id)
{
    switch (id) {
    case IDC_RECADRAGE1: return &g_gui_params.RECADRAGE1;
    case IDC_SAUVEGARDE1: return &g_gui_params.SAUVEGARDE1;
    case IDC_FLOU: return &g_gui_params.FLOU;
    case IDC_ROTATION: return &g_gui_params.ROTATION;
    case IDC_RECADRAGE2: return &g_gui_params.RECADRAGE2;
    case IDC_SAUVEGARDE2: return &g_gui_params.SAUVEGARDE2;
    case IDC_BLACK_AND_WHITE: return &g_gui_params.black_and_white;
    case IDC_AFFINAGE: return &g_gui_params.AFFINAGE;
    case IDC_NETTOYAGE_BORDS: return &g_gui_params.NETTOYAGE_BORDS;
    case IDC_ORIENTATION: return &g_gui_params.ORIENTATION;
    default: return nullptr;
    }
}

int SideBitOf(int id)
{
    switch (id) {
    case IDC_SIDE_TOP: return SIDE_TOP;
    case IDC_SIDE_BOTTOM: return SIDE_BOTTOM;
    case IDC_SIDE_LEFT: return SIDE_LEFT;
    case IDC_SIDE_RIGHT: return SIDE_RIGHT;
    default: return 0;
    }
}

void ChooseColourFromButton(PlatformDialog* dialog)
{
    MarkStale();
    uint32_t colour = g_gui_params.fill_colour[0] + 256u * g_gui_params.fill_colour[1] + 65536u * g_gui_params.fill_colour[2];
    colour = ChooseFillColour(colour);
    for (int i = 0; i < 3; i++) g_gui_params.fill_colour[i] = uint8_t(colour >> (8 * i));
    SetEditInteger(dialog, IDC_FILL_RED, g_gui_params.fill_colour[0]);
    SetEditInteger(dialog, IDC_FILL_GREEN, g_gui_params.fill_colour[1]);
    SetEditInteger(dialog, IDC_FILL_BLUE, g_gui_params.fill_colour[2]);
}

int OnClick(PlatformDialog* dialog, int id)
{
    if (uint8_t* value = SwitchOf(id)) {
        MarkStale();
        *value = PlatformGetCheck(dialog, id) ? 1 : 0;
        return 1;
    }
    if (int bit = SideBitOf(id)) {
        MarkStale();
        if (PlatformGetCheck(dialog, id))
            g_gui_params.COTE_RECADRAGE |= uint8_t(bit);
        else
            g_gui_params.COTE_RECADRAGE &= uint8_t(~bit);
        return 1;
    }
    switch (id) {
    case IDC_AUTOMATIC_COLOUR:
        MarkStale();
        g_gui_params.fill_colour_given = PlatformGetCheck(dialog, id) ? 0 : 1;
        EnableColourControls(dialog, g_gui_params.fill_colour_given);
        return 1;
    case IDC_CHOOSE_COLOUR: ChooseColourFromButton(dialog); return 1;
    // The folders do not change any stage image: the valid limit stays.
    case IDC_BROWSE1:
        ChooseFolder(g_gui_params.REPERTOIRE1);
        SetEditText(dialog, IDC_REPERTOIRE1, g_gui_params.REPERTOIRE1);
        return 1;
    case IDC_BROWSE2:
        ChooseFolder(g_gui_params.REPERTOIRE2);
        SetEditText(dialog, IDC_REPERTOIRE2, g_gui_params.REPERTOIRE2);
        return 1;
    case IDC_UPDATE: RunUpdateCommand(); return 1;
    default: return 0;
    }
}

// What the user types in a folder field is a folder: the value gets its
// final separator, or the results would land beside the folder, named
// "out2page.tga".  A value shown from a configuration file keeps its form, a
// name prefix included.
void ReadFolderEdit(PlatformDialog* dialog, int id, char* folder)
{
    ReadEditText(dialog, id, folder);
    size_t length = std::strlen(folder);
    // A full field keeps its text; the conversion then checks its folder.
    if (g_filling || length == 0 || folder[length - 1] == kPathSeparator || length + 1 >= size_t(kTextSize)) return;
    folder[length] = kPathSeparator;
    folder[length + 1] = '\0';
}

int OnEditChange(PlatformDialog* dialog, int id)
{
    if (TakeFieldValue(dialog, id)) {
        MarkStale();
        return 1;
    }
    switch (id) {
    case IDC_REPERTOIRE1: ReadFolderEdit(dialog, id, g_gui_params.REPERTOIRE1); return 1;
    case IDC_REPERTOIRE2: ReadFolderEdit(dialog, id, g_gui_params.REPERTOIRE2); return 1;
    default: return 0;
    }
}

// The panel shown is replaced even when the same stage is chosen again, so
// that a panel never keeps state of its own.
void ShowStage(int panel)
{
    g_current_panel = panel;
    PlatformDestroyDialog(&g_current_panel_window);
    ForgetRefusals();
    g_current_panel_window = PlatformCreateDialog(kStagePanels[panel], PanelProc);
    RefreshPreviews();
}

int OnListChoice(PlatformDialog* dialog, int id)
{
    int choice = PlatformGetListSelection(dialog, id);
    switch (id) {
    // The results' format changes no stage image: the valid limit stays.
    case IDC_FORMAT_SORTIE:
        if (choice >= 0 && choice < kOutputFormatCount)
            std::snprintf(g_gui_params.FORMAT_SORTIE, sizeof g_gui_params.FORMAT_SORTIE, "%s", kOutputFormatNames[choice]);
        return 1;
    case IDC_COTE_FOND:
        MarkStale();
        if (choice >= 0 && choice < 4) g_gui_params.COTE_FOND = kSideBits[choice];
        return 1;
    case IDC_STAGE_CHOOSER:
        if (choice >= 0 && choice < kStageCount) ShowStage(choice);
        return 1;
    default: return 0;
    }
}

}  // namespace

void ShowViewsState()
{
    bool stale = g_display.image_loaded && g_valid_limit < AfterImageOf(g_current_panel);
    PlatformSetControlText(g_update_bar, IDC_VIEWS_STATE, stale ? "Vues pas à jour" : "");
}

void SetPanelDefaults()
{
    g_current_panel = 0;
    g_valid_limit = 0;
}

int CreatePanels()
{
    g_stage_chooser = PlatformCreateDialog(&g_stage_chooser_dialog, PanelProc);
    g_current_panel_window = PlatformCreateDialog(kStagePanels[g_current_panel], PanelProc);
    g_update_bar = PlatformCreateDialog(&g_update_bar_dialog, PanelProc);
    if (g_stage_chooser != nullptr && g_current_panel_window != nullptr && g_update_bar != nullptr) return 1;
    ReportError("Impossible de créer les panneaux de réglage\n");
    DestroyPanels();
    return 0;
}

void DestroyPanels()
{
    PlatformDestroyDialog(&g_update_bar);
    PlatformDestroyDialog(&g_current_panel_window);
    PlatformDestroyDialog(&g_stage_chooser);
}

int PanelProc(PlatformDialog* dialog, int message, int id, int code)
{
    if (message == MSG_INITDIALOG) {
        // Filling the edits raises their change notifications, which would
        // mark images stale although no value changed.
        int kept = g_valid_limit;
        FillPanel(dialog, 1);
        g_valid_limit = kept;
        return 1;
    }
    if (message != MSG_COMMAND) return 0;
    switch (code) {
    case NOTIFY_CLICKED:
        return (id >= IDC_RECADRAGE1 && id <= IDC_AFFINAGE) || id == IDC_NETTOYAGE_BORDS || id == IDC_ORIENTATION
                   ? OnClick(dialog, id)
                   : 0;
    case NOTIFY_CHANGE: return OnEditChange(dialog, id);
    // Return in a value's field runs the stage with it, as "Mettre à jour".
    case NOTIFY_RETURN:
        if (id == IDC_REPERTOIRE1 || id == IDC_REPERTOIRE2) return 0;
        RunUpdateCommand();
        return 1;
    case NOTIFY_SELENDOK: return OnListChoice(dialog, id);
    default: return 0;
    }
}

void FillPanel(PlatformDialog* dialog, int creating)
{
    if (dialog == nullptr) return;
    g_filling = 1;
    if (creating && PlatformHasControl(dialog, IDC_STAGE_CHOOSER)) {
        for (const char* name : kStageNames) PlatformAddListItem(dialog, IDC_STAGE_CHOOSER, name);
        PlatformSetListSelection(dialog, IDC_STAGE_CHOOSER, g_current_panel);
    }
    if (PlatformHasControl(dialog, IDC_COTE_FOND)) {
        if (creating)
            for (const char* name : kSideNames) PlatformAddListItem(dialog, IDC_COTE_FOND, name);
        PlatformSetListSelection(dialog, IDC_COTE_FOND, SideListIndex(g_gui_params.COTE_FOND));
    }
    if (PlatformHasControl(dialog, IDC_FORMAT_SORTIE)) {
        if (creating)
            for (const char* name : kOutputFormatNames) PlatformAddListItem(dialog, IDC_FORMAT_SORTIE, name);
        OutputFormat format = OUTPUT_TGA;
        ParseOutputFormat(g_gui_params.FORMAT_SORTIE, &format);
        PlatformSetListSelection(dialog, IDC_FORMAT_SORTIE, int(format));
    }
    SetEditInteger(dialog, IDC_QUALITE_JPEG, g_gui_params.QUALITE_JPEG);
    SetCheck(dialog, IDC_RECADRAGE1, g_gui_params.RECADRAGE1);
    SetCheck(dialog, IDC_SAUVEGARDE1, g_gui_params.SAUVEGARDE1);
    SetCheck(dialog, IDC_FLOU, g_gui_params.FLOU);
    SetCheck(dialog, IDC_ROTATION, g_gui_params.ROTATION);
    SetCheck(dialog, IDC_RECADRAGE2, g_gui_params.RECADRAGE2);
    SetCheck(dialog, IDC_SAUVEGARDE2, g_gui_params.SAUVEGARDE2);
    SetCheck(dialog, IDC_NETTOYAGE_BORDS, g_gui_params.NETTOYAGE_BORDS);
    for (int id : {IDC_SIDE_TOP, IDC_SIDE_BOTTOM, IDC_SIDE_LEFT, IDC_SIDE_RIGHT})
        SetCheck(dialog, id, g_gui_params.COTE_RECADRAGE & SideBitOf(id));

    SetEditInteger(dialog, IDC_DETECT_DIFF, g_gui_params.DETECT_DIFF);
    SetEditInteger(dialog, IDC_DETECT_WIDTH, g_gui_params.DETECT_WIDTH);
    SetEditInteger(dialog, IDC_BLUR_RADIUS, g_gui_params.BLUR_RADIUS);
    SetEditInteger(dialog, IDC_BLUR_LIMIT, g_gui_params.BLUR_LIMIT);
    SetCheck(dialog, IDC_BLACK_AND_WHITE, g_gui_params.black_and_white);
    SetEditText(dialog, IDC_REPERTOIRE1, g_gui_params.REPERTOIRE1);
    SetEditInteger(dialog, IDC_VISION_LIMIT1, g_gui_params.VISION_LIMIT1);
    SetEditInteger(dialog, IDC_VISION_LIMIT2, g_gui_params.VISION_LIMIT2);
    SetEditInteger(dialog, IDC_VISION_WIDTH1, g_gui_params.VISION_WIDTH1);
    SetEditInteger(dialog, IDC_VISION_WIDTH2, g_gui_params.VISION_WIDTH2);
    SetEditInteger(dialog, IDC_VISION_WIDTH3, g_gui_params.VISION_WIDTH3);
    SetEditReal(dialog, IDC_VISION_ANGLE, g_gui_params.VISION_ANGLE);
    SetEditReal(dialog, IDC_OFFSET_ANGLE, g_gui_params.OFFSET_ANGLE);
    SetCheck(dialog, IDC_AFFINAGE, g_gui_params.AFFINAGE);
    SetEditReal(dialog, IDC_AFFINAGE_PLAGE, g_gui_params.AFFINAGE_PLAGE);
    SetCheck(dialog, IDC_ORIENTATION, g_gui_params.ORIENTATION);

    SetCheck(dialog, IDC_AUTOMATIC_COLOUR, !g_gui_params.fill_colour_given);
    EnableColourControls(dialog, g_gui_params.fill_colour_given);
    SetEditInteger(dialog, IDC_FILL_RED, g_gui_params.fill_colour[0]);
    SetEditInteger(dialog, IDC_FILL_GREEN, g_gui_params.fill_colour[1]);
    SetEditInteger(dialog, IDC_FILL_BLUE, g_gui_params.fill_colour[2]);
    SetEditText(dialog, IDC_REPERTOIRE2, g_gui_params.REPERTOIRE2);
    PlatformSetControlText(dialog, IDC_DETECTED_ANGLE, DetectedAngleText().c_str());
    PlatformSetControlText(dialog, IDC_ANGLE_NOTE, g_angle_note.c_str());
    if (creating) SetPanelTooltips(dialog);
    g_filling = 0;
}

void SetEditText(PlatformDialog* dialog, int id, const char* text)
{
    if (dialog != nullptr && PlatformHasControl(dialog, id)) PlatformSetEditText(dialog, id, text);
}

void ReadEditText(const PlatformDialog* dialog, int id, char* directory)
{
    if (dialog == nullptr || !PlatformHasControl(dialog, id)) return;
    PlatformGetControlText(dialog, id, directory, kTextSize);
}

uint32_t ChooseFillColour(uint32_t colour)
{
    uint32_t chosen;
    return PlatformChooseColour(colour, &chosen) ? chosen : colour;
}

void ChooseFolder(char* directory)
{
    std::string path;
    if (!PlatformChooseFolder(kFolderTitle, &path) || path.empty()) return;
    // Directory values are joined to file names without a separator.
    if (path.back() != kPathSeparator) path += kPathSeparator;
    if (path.size() >= size_t(kTextSize)) {
        ReportError("Répertoire trop long (plus de %d caractères): %s\n", kTextSize - 1, path.c_str());
        return;
    }
    std::memcpy(directory, path.c_str(), path.size() + 1);
}
