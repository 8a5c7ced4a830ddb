#include "batch/pipeline.h"

#include <cstdio>

#include "batch/command_line.h"
#include "batch/params.h"
#include "core/blit.h"
#include "core/support.h"
#include "stages/background.h"
#include "stages/blur.h"
#include "stages/rotation.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

namespace {

void PrintUsage()
{
    std::printf("\n");
    std::printf("  nivelo 1.0 : nettoyage et redressement de pages scannées\n");
    std::printf("  usage: nivelo [flags] <fichier image>\n");
    std::printf("\n");
    std::printf("les flags possibles sont:\n");
    std::printf("  /c<fichier de config> : le nom du fichier config a utiliser\n");
    std::printf("                          exemple: nivelo /c\"config2.txt\" image1.tga\n");
    std::printf("  /f : pour sauver les resultats des fitres dans le repertoire 2\n");
    std::printf("  /b : pour sauver les images au format TIFF noir et blanc\n");
}

// Brings the loaded image to the working type 4; sets *grey_source for grey
// and indexed images.  0 when a conversion fails.
int ConvertToWorkingType(BITMAP** slot, int* grey_source)
{
    switch ((*slot)->type) {
    case PIXEL_INDEXED:
        *grey_source = 1;
        return BITMAP_Convert(slot, PIXEL_GREY) && BITMAP_Convert(slot, PIXEL_BGR);
    case PIXEL_GREY:
        *grey_source = 1;
        return BITMAP_Convert(slot, PIXEL_BGR);
    case PIXEL_RGB:
        *grey_source = 0;
        return BITMAP_Convert(slot, PIXEL_BGR);
    case PIXEL_BGR:
        *grey_source = 0;
        return 1;
    default:
        return 0;
    }
}

// Steps 4 to 13 of a run on an allocated record; the caller frees it.
void ProcessImage(BITMAP** slot)
{
    const char* name = g_command.image_name;
    if (LoadTIFF(name, *slot) != 1 && LoadTGA(name, *slot) != 1) return;
    int grey_source = 0;
    if (!ConvertToWorkingType(slot, &grey_source)) return;
    uint8_t background[3];
    GetBackgroundColour(*slot, background);
    if (g_params.RECADRAGE1 && CropStage(slot, background) != 1) return;
    if (g_params.FLOU && BlurStage(slot) != 1) return;
    if (g_params.SAUVEGARDE1) SaveStage(*slot, g_params.REPERTOIRE1, grey_source);
    if (g_params.ROTATION && RotationStage(slot, background) != 1) return;
    bool cropped = !g_params.RECADRAGE2 || CropStage(slot, background) == 1;
    if (cropped && g_params.SAUVEGARDE2) SaveStage(*slot, g_params.REPERTOIRE2, grey_source);
    std::printf("%s done.\n", name);
}

}  // namespace

int RunNivelo(int argc, char** argv)
{
    ParseCommandLine(argc, argv);
    if (g_command.image_name[0] == '\0') {
        PrintUsage();
        return 0;
    }
    BITMAP* image = static_cast<BITMAP*>(AllocMemory(sizeof(BITMAP)));
    if (image == nullptr) return 0;
    BITMAP_Init(image, 0, 0, 0);
    ProcessImage(&image);
    BITMAP_Free(image);
    FreeMemory(&image);
    std::fflush(stdout);
    return 0;
}
