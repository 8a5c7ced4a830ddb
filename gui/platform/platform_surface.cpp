// The display surface's memory, the same for every backend: rows of
// 3 x width bytes rounded up to a multiple of 4, as a bitmap section has them.
#include "core/support.h"
#include "gui/platform/platform.h"

int PlatformCreateSurface(int width, int height, PlatformSurface* surface)
{
    surface->width = width;
    surface->height = height;
    surface->pitch = (3 * width + 3) / 4 * 4;
    surface->pixels = static_cast<uint8_t*>(AllocMemory(size_t(surface->pitch) * size_t(height)));
    if (surface->pixels == nullptr) {
        surface->width = surface->height = surface->pitch = 0;
        return 0;
    }
    return 1;
}

void PlatformReleaseSurface(PlatformSurface* surface)
{
    FreeMemory(&surface->pixels);
    surface->width = surface->height = surface->pitch = 0;
}
