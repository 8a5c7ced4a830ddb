#include "gui/previews/staleness.h"

int BeforeImageOf(int panel)
{
    // The rotation turns the result of "Sauvegarde 1", not the last filter image.
    return panel == 8 ? 3 : panel;
}

int AfterImageOf(int panel) { return panel + 1; }

int StageMask(int first, int last)
{
    int mask = 0;
    for (int k = first; k <= last && k < kStageImageCount; k++)
        if (k >= 0) mask |= 1 << k;
    return mask;
}

int LimitAfterEdit(int limit, int panel)
{
    if (limit > panel) limit = panel;
    return limit;
}

int LimitAfterFailedRun(int limit, int first_image)
{
    int below = first_image - 1 < 0 ? 0 : first_image - 1;
    return limit > below ? below : limit;
}

int ViewsStale(int image_loaded, int limit, int panel) { return image_loaded && limit < AfterImageOf(panel); }
