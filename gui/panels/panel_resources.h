// Dialog resources of the left strip: the stage chooser (103), the eleven
// stage panels (104 to 116) and the update bar (117), and their control ids.
#pragma once

#include "gui/platform/platform.h"

enum PanelDialogIds {
    DIALOG_STAGE_CHOOSER = 103,
    DIALOG_CROP1 = 104,
    DIALOG_FILTER1 = 105,
    DIALOG_BLUR = 107,
    DIALOG_FILTER2 = 108,
    DIALOG_FILTER3 = 109,
    DIALOG_FILTER4 = 110,
    DIALOG_FILTER5 = 111,
    DIALOG_ROTATION = 112,
    DIALOG_CROP2 = 113,
    DIALOG_SAVE1 = 115,
    DIALOG_SAVE2 = 116,
    DIALOG_UPDATE_BAR = 117,
};

enum PanelControlIds {
    IDC_LABEL = -1,  // labels the panels never address
    IDC_STAGE_CHOOSER = 1001,
    IDC_COTE_FOND = 1002,
    IDC_RECADRAGE1 = 1003,
    IDC_SIDE_TOP = 1004,
    IDC_DETECT_WIDTH = 1005,
    IDC_BLACK_AND_WHITE = 1006,
    IDC_SIDE_BOTTOM = 1007,
    IDC_SIDE_LEFT = 1008,
    IDC_SIDE_RIGHT = 1009,
    IDC_DETECT_DIFF = 1010,
    IDC_BLUR_RADIUS = 1011,
    IDC_FILL_RED = 1012,
    IDC_BLUR_LIMIT = 1013,
    IDC_BROWSE1 = 1014,
    IDC_REPERTOIRE1 = 1015,
    IDC_SAUVEGARDE1 = 1016,
    IDC_FLOU = 1017,
    IDC_VISION_LIMIT1 = 1018,
    IDC_VISION_WIDTH1 = 1019,
    IDC_VISION_LIMIT2 = 1020,
    IDC_VISION_WIDTH2 = 1021,
    IDC_VISION_WIDTH3 = 1022,
    IDC_VISION_ANGLE = 1023,
    IDC_ROTATION = 1024,
    IDC_AUTOMATIC_COLOUR = 1025,
    IDC_REPERTOIRE2 = 1029,
    IDC_BROWSE2 = 1030,
    IDC_UPDATE = 1031,
    IDC_FILL_GREEN = 1032,
    IDC_FILL_BLUE = 1033,
    IDC_RECADRAGE2 = 1034,
    IDC_SAUVEGARDE2 = 1035,
    IDC_OFFSET_ANGLE = 1036,
    IDC_CHOOSE_COLOUR = 1037,
    IDC_AFFINAGE = 1038,
    IDC_AFFINAGE_PLAGE = 1039,
    IDC_DETECTED_ANGLE = 1040,  // label: the skew angle of nivelo's last run
    IDC_ANGLE_NOTE = 1041,      // label: what nivelo said about that angle
    IDC_VIEWS_STATE = 1042,     // label: says when the views are out of date
    IDC_VALUE_NOTE = 1043,      // label: why a field's value is refused
    IDC_FORMAT_SORTIE = 1044,
    IDC_QUALITE_JPEG = 1045,
    IDC_NETTOYAGE_BORDS = 1046,
    IDC_ORIENTATION = 1047,
};

constexpr int kStageCount = 11;

// Entry texts of the stage chooser, in pipeline order (index = panel).
extern const char* const kStageNames[kStageCount];

extern const DialogResource g_stage_chooser_dialog;
extern const DialogResource g_update_bar_dialog;
// The panel of each stage, by panel index.
extern const DialogResource* const kStagePanels[kStageCount];
