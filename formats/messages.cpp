#include "formats/messages.h"

#include "core/memory_budget.h"
#include "core/support.h"
#include "formats/known_formats.h"

int RefuseDamaged(const char* name, const char* format, const char* library_said)
{
    if (library_said != nullptr && library_said[0] != '\0')
        ReportError("%s : fichier %s endommagé ou incomplet (%s)\n", name, format, library_said);
    else
        ReportError("%s : fichier %s endommagé ou incomplet\n", name, format);
    return 0;
}

int RefuseUnsupported(const char* name, const char* format, const char* what)
{
    ReportError("%s : fichier %s d'un type que nivelo ne lit pas (%s)\n", name, format, what);
    return 0;
}

int CheckPageSides(const char* name, uint64_t width, uint64_t height)
{
    if (width == 0 || height == 0) return RefuseDamaged(name, "image", "largeur ou hauteur nulle");
    if (width <= kMostSide && height <= kMostSide) return 1;
    ReportError("%s : image de %llu x %llu pixels, trop grande (nivelo traite au plus %llu pixels de côté)\n",
                name, (unsigned long long)width, (unsigned long long)height, (unsigned long long)kMostSide);
    return 0;
}

int CheckPageBudget(const char* name, unsigned width, unsigned height, unsigned type, uint64_t extra)
{
    if (RunMemoryNeed(width, height, type, extra) <= PhysicalMemory()) return 1;
    ReportError("%s : image de %u x %u pixels, trop grande pour la mémoire de cette machine (Not enough memory)\n",
                name, width, height);
    return 0;
}

int RefuseNotAnImage(const char* name, const char* other_format)
{
    if (other_format != nullptr)
        ReportError("%s : image %s, un format que nivelo ne lit pas ; convertissez-la en PNG ou en TIFF "
                    "(nivelo lit %s)\n",
                    name, other_format, known_formats::kReadFormatsText);
    else
        ReportError("%s : ce fichier n'est pas une image dans un format que nivelo lit (%s)\n", name,
                    known_formats::kReadFormatsText);
    return 0;
}
