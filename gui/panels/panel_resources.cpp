// Positions and sizes are in dialog units (a quarter of the dialog font's
// average character width, an eighth of its height); every dialog is 91
// units wide so that the strip left of the views holds it.
#include "gui/panels/panel_resources.h"

namespace {

constexpr int kWidth = 91;
constexpr int kPanelY = 40;  // panels sit between the chooser and the update bar

template <int N>
constexpr DialogResource Dialog(int id, int y, int height, const ControlResource (&controls)[N])
{
    return {id, DIALOG_CHILD, nullptr, 0, y, kWidth, height, controls, N};
}

const ControlResource kChooserControls[] = {
    {IDC_STAGE_CHOOSER, CONTROL_COMBO, nullptr, 7, 7, 77, 239, 0},
};

const ControlResource kCrop1Controls[] = {
    {IDC_LABEL, CONTROL_LABEL, "Coté détection fond", 7, 23, 77, 8, 0},
    {IDC_COTE_FOND, CONTROL_COMBO, nullptr, 7, 33, 77, 123, 0},
    {IDC_RECADRAGE1, CONTROL_CHECK_BOX, "Activer", 7, 7, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "Cotés recadrage", 7, 53, 77, 8, 0},
    {IDC_SIDE_TOP, CONTROL_CHECK_BOX, "Haut", 7, 62, 34, 13, 0},
    {IDC_SIDE_BOTTOM, CONTROL_CHECK_BOX, "Bas", 50, 62, 34, 13, 0},
    {IDC_SIDE_LEFT, CONTROL_CHECK_BOX, "Gauche", 7, 75, 37, 13, 0},
    {IDC_SIDE_RIGHT, CONTROL_CHECK_BOX, "Droite", 50, 75, 34, 13, 0},
    {IDC_LABEL, CONTROL_LABEL, "Limite de contraste", 7, 94, 77, 8, 0},
    {IDC_DETECT_DIFF, CONTROL_NUMBER_EDIT, nullptr, 7, 103, 77, 12, 0},
    {IDC_LABEL, CONTROL_LABEL, "Largeur de détection", 7, 124, 77, 8, 0},
    {IDC_DETECT_WIDTH, CONTROL_NUMBER_EDIT, nullptr, 7, 133, 77, 12, 0},
};

const ControlResource kFilter1Controls[] = {
    {IDC_LABEL, CONTROL_LABEL, "Limite de contraste", 7, 7, 77, 8, 0},
    {IDC_VISION_LIMIT1, CONTROL_NUMBER_EDIT, nullptr, 7, 15, 77, 12, 0},
};

const ControlResource kBlurControls[] = {
    {IDC_FLOU, CONTROL_CHECK_BOX, "Activer", 7, 7, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "Rayon", 7, 24, 77, 8, 0},
    {IDC_BLUR_RADIUS, CONTROL_NUMBER_EDIT, nullptr, 7, 33, 77, 12, 0},
    {IDC_LABEL, CONTROL_LABEL, "Limite de contraste", 7, 54, 77, 8, 0},
    {IDC_BLUR_LIMIT, CONTROL_NUMBER_EDIT, nullptr, 7, 63, 77, 12, 0},
};

const ControlResource kFilter2Controls[] = {
    {IDC_LABEL, CONTROL_LABEL, "Largeur de la fenêtre", 7, 7, 77, 8, 0},
    {IDC_VISION_WIDTH1, CONTROL_NUMBER_EDIT, nullptr, 7, 16, 77, 12, 0},
    {IDC_LABEL, CONTROL_LABEL, "Nombre de points", 7, 37, 77, 8, 0},
    {IDC_VISION_LIMIT2, CONTROL_NUMBER_EDIT, nullptr, 7, 46, 77, 12, 0},
};

const ControlResource kFilter3Controls[] = {
    {IDC_LABEL, CONTROL_LABEL, "Largeur de trou max", 7, 7, 77, 8, 0},
    {IDC_VISION_WIDTH2, CONTROL_NUMBER_EDIT, nullptr, 7, 15, 77, 12, 0},
};

const ControlResource kFilter4Controls[] = {
    {IDC_LABEL, CONTROL_LABEL, "Rien à régler", 7, 7, 77, 8, 0},
};

const ControlResource kFilter5Controls[] = {
    {IDC_LABEL, CONTROL_LABEL, "Longueur maxi", 7, 7, 77, 8, 0},
    {IDC_VISION_WIDTH3, CONTROL_NUMBER_EDIT, nullptr, 7, 16, 77, 12, 0},
    {IDC_LABEL, CONTROL_LABEL, "Angle maxi", 7, 37, 77, 8, 0},
    {IDC_VISION_ANGLE, CONTROL_EDIT, nullptr, 7, 46, 77, 12, 0},
};

const ControlResource kRotationControls[] = {
    {IDC_ROTATION, CONTROL_CHECK_BOX, "Activer", 7, 7, 77, 8, 0},
    {IDC_ORIENTATION, CONTROL_CHECK_BOX, "Remettre à l'endroit", 7, 15, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "Offset angle", 7, 24, 77, 8, 0},
    {IDC_OFFSET_ANGLE, CONTROL_EDIT, nullptr, 7, 33, 77, 12, 0},
    {IDC_LABEL, CONTROL_LABEL, "Couleur de fond", 7, 68, 77, 8, 0},
    {IDC_FILL_RED, CONTROL_NUMBER_EDIT, nullptr, 17, 79, 22, 12, 0},
    {IDC_AUTOMATIC_COLOUR, CONTROL_CHECK_BOX, "Couleur Auto", 7, 54, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "R", 7, 81, 8, 8, 0},
    {IDC_CHOOSE_COLOUR, CONTROL_BUTTON, "Changer...", 42, 80, 42, 11, 0},
    {IDC_FILL_BLUE, CONTROL_NUMBER_EDIT, nullptr, 17, 106, 22, 12, 0},
    {IDC_LABEL, CONTROL_LABEL, "B", 7, 107, 8, 8, 0},
    {IDC_FILL_GREEN, CONTROL_NUMBER_EDIT, nullptr, 17, 92, 22, 12, 0},
    {IDC_LABEL, CONTROL_LABEL, "V", 7, 94, 8, 8, 0},
    {IDC_AFFINAGE, CONTROL_CHECK_BOX, "Affiner l'angle", 7, 124, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "Plage (degrés)", 7, 136, 77, 8, 0},
    {IDC_AFFINAGE_PLAGE, CONTROL_EDIT, nullptr, 7, 145, 77, 12, 0},
    {IDC_DETECTED_ANGLE, CONTROL_LABEL, "Angle détecté : -", 7, 161, 77, 8, 0},
    {IDC_ANGLE_NOTE, CONTROL_LABEL, "", 7, 171, 77, 26, 0},
};

const ControlResource kCrop2Controls[] = {
    {IDC_RECADRAGE2, CONTROL_CHECK_BOX, "Activer", 7, 7, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "Cette partie utilise les paramètres de \"Recadrage 1\"", 7, 24, 77, 26, 0},
    {IDC_NETTOYAGE_BORDS, CONTROL_CHECK_BOX, "Nettoyer les bords", 7, 52, 77, 8, 0},
};

const ControlResource kSave1Controls[] = {
    {IDC_SAUVEGARDE1, CONTROL_CHECK_BOX, "Activer", 7, 7, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "Répertoire", 7, 41, 77, 8, 0},
    {IDC_REPERTOIRE1, CONTROL_EDIT, nullptr, 7, 50, 61, 12, 0},
    {IDC_BLACK_AND_WHITE, CONTROL_CHECK_BOX, "Noir et Blanc", 7, 25, 77, 8, 0},
    {IDC_BROWSE1, CONTROL_BUTTON, "...", 70, 50, 14, 12, 0},
};

const ControlResource kSave2Controls[] = {
    {IDC_LABEL, CONTROL_LABEL, "Répertoire", 7, 25, 77, 8, 0},
    {IDC_BROWSE2, CONTROL_BUTTON, "...", 70, 34, 14, 12, 0},
    {IDC_REPERTOIRE2, CONTROL_EDIT, nullptr, 7, 34, 61, 12, 0},
    {IDC_SAUVEGARDE2, CONTROL_CHECK_BOX, "Activer", 7, 7, 77, 8, 0},
    {IDC_LABEL, CONTROL_LABEL, "Format des résultats", 7, 52, 77, 8, 0},
    {IDC_FORMAT_SORTIE, CONTROL_COMBO, nullptr, 7, 61, 77, 60, 0},
    {IDC_LABEL, CONTROL_LABEL, "Qualité JPEG (1 à 100)", 7, 79, 77, 8, 0},
    {IDC_QUALITE_JPEG, CONTROL_NUMBER_EDIT, nullptr, 7, 88, 30, 12, 0},
};

const ControlResource kUpdateBarControls[] = {
    {IDC_UPDATE, CONTROL_BUTTON, "Mettre à jour", 7, 7, 77, 12, 0},
    {IDC_VIEWS_STATE, CONTROL_LABEL, "", 7, 22, 77, 9, CONTROL_CENTERED},
    {IDC_VALUE_NOTE, CONTROL_LABEL, "", 7, 33, 77, 56, 0},
};

const DialogResource kCrop1Dialog = Dialog(DIALOG_CROP1, kPanelY, 153, kCrop1Controls);
const DialogResource kFilter1Dialog = Dialog(DIALOG_FILTER1, kPanelY, 34, kFilter1Controls);
const DialogResource kBlurDialog = Dialog(DIALOG_BLUR, kPanelY, 82, kBlurControls);
const DialogResource kFilter2Dialog = Dialog(DIALOG_FILTER2, kPanelY, 65, kFilter2Controls);
const DialogResource kFilter3Dialog = Dialog(DIALOG_FILTER3, kPanelY, 34, kFilter3Controls);
const DialogResource kFilter4Dialog = Dialog(DIALOG_FILTER4, kPanelY, 23, kFilter4Controls);
const DialogResource kFilter5Dialog = Dialog(DIALOG_FILTER5, kPanelY, 65, kFilter5Controls);
const DialogResource kRotationDialog = Dialog(DIALOG_ROTATION, kPanelY, 200, kRotationControls);
const DialogResource kCrop2Dialog = Dialog(DIALOG_CROP2, kPanelY, 67, kCrop2Controls);
const DialogResource kSave1Dialog = Dialog(DIALOG_SAVE1, kPanelY, 70, kSave1Controls);
const DialogResource kSave2Dialog = Dialog(DIALOG_SAVE2, kPanelY, 107, kSave2Controls);

}  // namespace

const char* const kStageNames[kStageCount] = {
    "Recadrage 1", "Flou", "Sauvegarde 1", "Filtre 1", "Filtre 2",    "Filtre 3",
    "Filtre 4",    "Filtre 5", "Rotation", "Recadrage 2", "Sauvegarde 2",
};

const DialogResource g_stage_chooser_dialog = Dialog(DIALOG_STAGE_CHOOSER, 0, 26, kChooserControls);

// Below the tallest panel (Rotation), so that no panel hides it.
const DialogResource g_update_bar_dialog = Dialog(DIALOG_UPDATE_BAR, kPanelY + 204, 94, kUpdateBarControls);

const DialogResource* const kStagePanels[kStageCount] = {
    &kCrop1Dialog,   &kBlurDialog,    &kSave1Dialog,    &kFilter1Dialog, &kFilter2Dialog, &kFilter3Dialog,
    &kFilter4Dialog, &kFilter5Dialog, &kRotationDialog, &kCrop2Dialog,   &kSave2Dialog,
};
