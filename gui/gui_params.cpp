#include "gui/gui_params.h"

#include <cstring>

GuiParameterSet g_gui_params;

void SetGuiParameterDefaults()
{
    GuiParameterSet& p = g_gui_params;
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
    // Backslashes, unlike nivelo's own defaults: these are the folders the
    // GUI proposed on the system it was first written for.
    std::strcpy(p.REPERTOIRE1, "c:\\t\\");
    std::strcpy(p.REPERTOIRE2, "c:\\trot\\");
    p.COTE_RECADRAGE = 10;  // B and D
    p.COTE_FOND = 8;        // D
    p.OFFSET_ANGLE = 0.0;
    p.RECADRAGE1 = 1;
    p.FLOU = 1;
    p.SAUVEGARDE1 = 1;
    p.ROTATION = 1;
    p.RECADRAGE2 = 1;
    p.SAUVEGARDE2 = 1;
    p.fill_colour[0] = p.fill_colour[1] = p.fill_colour[2] = 0;
    p.automatic_colour = 1;
    p.black_and_white = 0;
    // Someone tuning a page should see the best angle nivelo can find.
    p.AFFINAGE = 1;
    p.AFFINAGE_PLAGE = 10.0;
}

int ParseInteger(const char* text, int32_t* value, const char** end)
{
    const char* c = text;
    while (*c == ' ' || (*c >= '\t' && *c <= '\r')) c++;
    bool negative = false;
    if (*c == '+' || *c == '-') negative = *c++ == '-';
    if (*c < '0' || *c > '9') return 0;
    uint32_t number = 0;  // unsigned: wraps modulo 2^32 instead of overflowing
    for (; *c >= '0' && *c <= '9'; c++) number = number * 10u + uint32_t(*c - '0');
    if (negative) number = 0u - number;
    *value = int32_t(number);
    if (end != nullptr) *end = c;
    return 1;
}
