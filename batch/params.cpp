#include "batch/params.h"

#include <cstring>

#include "batch/command_line.h"

ParameterSet g_params;
CommandLine g_command;

void SetDefaultParameters()
{
    ParameterSet& p = g_params;
    p.DETECT_WIDTH = 20;
    p.DETECT_DIFF = 25;
    p.VISION_LIMIT1 = 64;
    p.VISION_LIMIT2 = 3;
    p.VISION_WIDTH1 = 16;
    p.VISION_WIDTH2 = 16;
    p.VISION_WIDTH3 = 128;
    p.VISION_ANGLE = 3.0;
    p.BLUR_RADIUS = 3;
    p.BLUR_LIMIT = 50;
    std::strcpy(p.REPERTOIRE1, "c:/t/");
    std::strcpy(p.REPERTOIRE2, "c:/trot/");
    p.COTE_RECADRAGE = SIDE_BOTTOM | SIDE_RIGHT;
    p.COTE_FOND = SIDE_RIGHT;
    p.RECADRAGE1 = 1;
    p.FLOU = 1;
    p.SAUVEGARDE1 = 1;
    p.ROTATION = 1;
    p.RECADRAGE2 = 1;
    p.SAUVEGARDE2 = 1;
    p.OFFSET_ANGLE = 0.0;
    p.fill_colour_given = 0;
    p.fill_colour[0] = p.fill_colour[1] = p.fill_colour[2] = 0;
    p.AFFINAGE = 0;
    p.AFFINAGE_PLAGE = 10.0;
}
