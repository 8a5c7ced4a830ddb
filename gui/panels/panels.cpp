// Every handler below takes the parameter set as the one truth: a panel
// holds no value of its own and is rebuilt from the set each time it is
// shown.  Handlers that change a value that feeds a stage mark the stage
// images from the current panel on as stale.
#include "gui/panels/panels.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/support.h"
#include "formats/writers.h"
#include "gui/panels/panel_resources.h"
#include "gui/panels/panel_tips.h"
#include "gui/panels/panel_values.h"
#include "gui/settings/gui_params.h"

namespace {

const char kFolderTitle[] = "Choisissez un répertoire de sauvegarde";
const char* const kSideNames[] = {"Haut", "Bas", "Gauche", "Droite"};
const uint8_t kSideBits[] = {SIDE_TOP, SIDE_BOTTOM, SIDE_LEFT, SIDE_RIGHT};  // list entry -> COTE_FOND, check boxes -> COTE_RECADRAGE

// An edit in the current panel makes its stage's result and everything
// after it stale.
void MarkStale(App& app)
{
    if (app.hooks.values_edited != nullptr) app.hooks.values_edited(app);
}

void UpdateAsked(App& app)
{
    if (app.hooks.update_asked != nullptr) app.hooks.update_asked(app);
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

uint8_t* SwitchOf(GuiParameterSet& p, int id)
{
    switch (id) {
    case IDC_RECADRAGE1: return &p.RECADRAGE1;
    case IDC_SAUVEGARDE1: return &p.SAUVEGARDE1;
    case IDC_FLOU: return &p.FLOU;
    case IDC_ROTATION: return &p.ROTATION;
    case IDC_RECADRAGE2: return &p.RECADRAGE2;
    case IDC_SAUVEGARDE2: return &p.SAUVEGARDE2;
    case IDC_BLACK_AND_WHITE: return &p.black_and_white;
    case IDC_AFFINAGE: return &p.AFFINAGE;
    case IDC_NETTOYAGE_BORDS: return &p.NETTOYAGE_BORDS;
    case IDC_ORIENTATION: return &p.ORIENTATION;
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

void ChooseColourFromButton(App& app, PlatformDialog* dialog)
{
    MarkStale(app);
    GuiParameterSet& p = app.params;
    uint32_t colour = p.fill_colour[0] + 256u * p.fill_colour[1] + 65536u * p.fill_colour[2];
    colour = ChooseFillColour(colour);
    for (int i = 0; i < 3; i++) p.fill_colour[i] = uint8_t(colour >> (8 * i));
    SetEditInteger(dialog, IDC_FILL_RED, p.fill_colour[0]);
    SetEditInteger(dialog, IDC_FILL_GREEN, p.fill_colour[1]);
    SetEditInteger(dialog, IDC_FILL_BLUE, p.fill_colour[2]);
}

int OnClick(App& app, PlatformDialog* dialog, int id)
{
    GuiParameterSet& p = app.params;
    if (uint8_t* value = SwitchOf(p, id)) {
        MarkStale(app);
        *value = PlatformGetCheck(dialog, id) ? 1 : 0;
        return 1;
    }
    if (int bit = SideBitOf(id)) {
        MarkStale(app);
        if (PlatformGetCheck(dialog, id))
            p.COTE_RECADRAGE |= uint8_t(bit);
        else
            p.COTE_RECADRAGE &= uint8_t(~bit);
        return 1;
    }
    switch (id) {
    case IDC_AUTOMATIC_COLOUR:
        MarkStale(app);
        p.fill_colour_given = PlatformGetCheck(dialog, id) ? 0 : 1;
        EnableColourControls(dialog, p.fill_colour_given);
        return 1;
    case IDC_CHOOSE_COLOUR: ChooseColourFromButton(app, dialog); return 1;
    // The folders do not change any stage image: the valid limit stays.
    case IDC_BROWSE1:
        ChooseFolder(p.REPERTOIRE1);
        SetEditText(dialog, IDC_REPERTOIRE1, p.REPERTOIRE1);
        return 1;
    case IDC_BROWSE2:
        ChooseFolder(p.REPERTOIRE2);
        SetEditText(dialog, IDC_REPERTOIRE2, p.REPERTOIRE2);
        return 1;
    case IDC_UPDATE: UpdateAsked(app); return 1;
    default: return 0;
    }
}

// What the user types in a folder field is a folder: the value gets its
// final separator, or the results would land beside the folder, named
// "out2page.tga".  A value shown from a configuration file keeps its form, a
// name prefix included.
void ReadFolderEdit(const App& app, PlatformDialog* dialog, int id, char* folder)
{
    ReadEditText(dialog, id, folder);
    size_t length = std::strlen(folder);
    // A full field keeps its text; the conversion then checks its folder.
    if (app.panels.filling || length == 0 || folder[length - 1] == kPathSeparator || length + 1 >= size_t(kTextSize))
        return;
    folder[length] = kPathSeparator;
    folder[length + 1] = '\0';
}

int OnEditChange(App& app, PlatformDialog* dialog, int id)
{
    GuiParameterSet& p = app.params;
    if (TakeFieldValue(app, dialog, id)) {
        MarkStale(app);
        return 1;
    }
    switch (id) {
    case IDC_REPERTOIRE1: ReadFolderEdit(app, dialog, id, p.REPERTOIRE1); return 1;
    case IDC_REPERTOIRE2: ReadFolderEdit(app, dialog, id, p.REPERTOIRE2); return 1;
    default: return 0;
    }
}

// The panel shown is replaced even when the same stage is chosen again, so
// that a panel never keeps state of its own.
void ShowStage(App& app, int panel)
{
    app.panels.current = panel;
    PlatformDestroyDialog(&app.panels.window);
    ForgetRefusals(app);
    app.panels.window = PlatformCreateDialog(kStagePanels[panel], PanelProc, &app);
    if (app.hooks.stage_chosen != nullptr) app.hooks.stage_chosen(app);
}

int OnListChoice(App& app, PlatformDialog* dialog, int id)
{
    GuiParameterSet& p = app.params;
    int choice = PlatformGetListSelection(dialog, id);
    switch (id) {
    // The results' format changes no stage image: the valid limit stays.
    case IDC_FORMAT_SORTIE:
        if (choice >= 0 && choice < kOutputFormatCount)
            std::snprintf(p.FORMAT_SORTIE, sizeof p.FORMAT_SORTIE, "%s", kOutputFormatNames[choice]);
        return 1;
    case IDC_COTE_FOND:
        MarkStale(app);
        if (choice >= 0 && choice < 4) p.COTE_FOND = kSideBits[choice];
        return 1;
    case IDC_STAGE_CHOOSER:
        if (choice >= 0 && choice < kStageCount) ShowStage(app, choice);
        return 1;
    default: return 0;
    }
}

}  // namespace

void SetPanelDefaults(App& app)
{
    app.panels.current = 0;
    app.valid_limit = 0;
}

int CreatePanels(App& app)
{
    PanelState& s = app.panels;
    s.chooser = PlatformCreateDialog(&g_stage_chooser_dialog, PanelProc, &app);
    s.window = PlatformCreateDialog(kStagePanels[s.current], PanelProc, &app);
    s.update_bar = PlatformCreateDialog(&g_update_bar_dialog, PanelProc, &app);
    if (s.chooser != nullptr && s.window != nullptr && s.update_bar != nullptr) return 1;
    ReportError("Impossible de créer les panneaux de réglage\n");
    DestroyPanels(app);
    return 0;
}

void DestroyPanels(App& app)
{
    PlatformDestroyDialog(&app.panels.update_bar);
    PlatformDestroyDialog(&app.panels.window);
    PlatformDestroyDialog(&app.panels.chooser);
}

int PanelProc(void* context, PlatformDialog* dialog, int message, int id, int code)
{
    App& app = *static_cast<App*>(context);
    if (message == MSG_INITDIALOG) {
        // Filling the edits raises their change notifications, which would
        // mark images stale although no value changed.
        int kept = app.valid_limit;
        FillPanel(app, dialog, 1);
        app.valid_limit = kept;
        return 1;
    }
    if (message != MSG_COMMAND) return 0;
    switch (code) {
    case NOTIFY_CLICKED:
        return (id >= IDC_RECADRAGE1 && id <= IDC_AFFINAGE) || id == IDC_NETTOYAGE_BORDS || id == IDC_ORIENTATION
                   ? OnClick(app, dialog, id)
                   : 0;
    case NOTIFY_CHANGE: return OnEditChange(app, dialog, id);
    // Return in a value's field runs the stage with it, as "Mettre à jour".
    case NOTIFY_RETURN:
        if (id == IDC_REPERTOIRE1 || id == IDC_REPERTOIRE2) return 0;
        UpdateAsked(app);
        return 1;
    case NOTIFY_SELENDOK: return OnListChoice(app, dialog, id);
    default: return 0;
    }
}

void FillPanel(App& app, PlatformDialog* dialog, int creating)
{
    if (dialog == nullptr) return;
    const GuiParameterSet& p = app.params;
    app.panels.filling = 1;
    if (creating && PlatformHasControl(dialog, IDC_STAGE_CHOOSER)) {
        for (const char* name : kStageNames) PlatformAddListItem(dialog, IDC_STAGE_CHOOSER, name);
        PlatformSetListSelection(dialog, IDC_STAGE_CHOOSER, app.panels.current);
    }
    if (PlatformHasControl(dialog, IDC_COTE_FOND)) {
        if (creating)
            for (const char* name : kSideNames) PlatformAddListItem(dialog, IDC_COTE_FOND, name);
        PlatformSetListSelection(dialog, IDC_COTE_FOND, SideListIndex(p.COTE_FOND));
    }
    if (PlatformHasControl(dialog, IDC_FORMAT_SORTIE)) {
        if (creating)
            for (const char* name : kOutputFormatNames) PlatformAddListItem(dialog, IDC_FORMAT_SORTIE, name);
        OutputFormat format = OUTPUT_TGA;
        ParseOutputFormat(p.FORMAT_SORTIE, &format);
        PlatformSetListSelection(dialog, IDC_FORMAT_SORTIE, int(format));
    }
    SetEditInteger(dialog, IDC_QUALITE_JPEG, p.QUALITE_JPEG);
    SetCheck(dialog, IDC_RECADRAGE1, p.RECADRAGE1);
    SetCheck(dialog, IDC_SAUVEGARDE1, p.SAUVEGARDE1);
    SetCheck(dialog, IDC_FLOU, p.FLOU);
    SetCheck(dialog, IDC_ROTATION, p.ROTATION);
    SetCheck(dialog, IDC_RECADRAGE2, p.RECADRAGE2);
    SetCheck(dialog, IDC_SAUVEGARDE2, p.SAUVEGARDE2);
    SetCheck(dialog, IDC_NETTOYAGE_BORDS, p.NETTOYAGE_BORDS);
    for (int id : {IDC_SIDE_TOP, IDC_SIDE_BOTTOM, IDC_SIDE_LEFT, IDC_SIDE_RIGHT})
        SetCheck(dialog, id, p.COTE_RECADRAGE & SideBitOf(id));

    SetEditInteger(dialog, IDC_DETECT_DIFF, p.DETECT_DIFF);
    SetEditInteger(dialog, IDC_DETECT_WIDTH, p.DETECT_WIDTH);
    SetEditInteger(dialog, IDC_BLUR_RADIUS, p.BLUR_RADIUS);
    SetEditInteger(dialog, IDC_BLUR_LIMIT, p.BLUR_LIMIT);
    SetCheck(dialog, IDC_BLACK_AND_WHITE, p.black_and_white);
    SetEditText(dialog, IDC_REPERTOIRE1, p.REPERTOIRE1);
    SetEditInteger(dialog, IDC_VISION_LIMIT1, p.VISION_LIMIT1);
    SetEditInteger(dialog, IDC_VISION_LIMIT2, p.VISION_LIMIT2);
    SetEditInteger(dialog, IDC_VISION_WIDTH1, p.VISION_WIDTH1);
    SetEditInteger(dialog, IDC_VISION_WIDTH2, p.VISION_WIDTH2);
    SetEditInteger(dialog, IDC_VISION_WIDTH3, p.VISION_WIDTH3);
    SetEditReal(dialog, IDC_VISION_ANGLE, p.VISION_ANGLE);
    SetEditReal(dialog, IDC_OFFSET_ANGLE, p.OFFSET_ANGLE);
    SetCheck(dialog, IDC_AFFINAGE, p.AFFINAGE);
    SetEditReal(dialog, IDC_AFFINAGE_PLAGE, p.AFFINAGE_PLAGE);
    SetCheck(dialog, IDC_ORIENTATION, p.ORIENTATION);

    SetCheck(dialog, IDC_AUTOMATIC_COLOUR, !p.fill_colour_given);
    EnableColourControls(dialog, p.fill_colour_given);
    SetEditInteger(dialog, IDC_FILL_RED, p.fill_colour[0]);
    SetEditInteger(dialog, IDC_FILL_GREEN, p.fill_colour[1]);
    SetEditInteger(dialog, IDC_FILL_BLUE, p.fill_colour[2]);
    SetEditText(dialog, IDC_REPERTOIRE2, p.REPERTOIRE2);
    PlatformSetControlText(dialog, IDC_DETECTED_ANGLE, DetectedAngleText(app.angle).c_str());
    PlatformSetControlText(dialog, IDC_ANGLE_NOTE, app.angle.note.c_str());
    if (creating) SetPanelTooltips(dialog);
    app.panels.filling = 0;
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

std::string DetectedAngleText(const DetectedAngle& a)
{
    char angle[32] = "-";
    if (a.known) std::snprintf(angle, sizeof angle, "%.2f°", a.angle);
    if (a.orientation == kNoOrientation) return std::string("Angle détecté : ") + angle;
    if (a.orientation == kOrientationUnsure) return std::string("Détecté : ") + angle + ", incertain";
    return std::string("Détecté : ") + angle + ", " + std::to_string(a.orientation) + "°";
}
