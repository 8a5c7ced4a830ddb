#include "batch/stage_images.h"

#include <cstdio>
#include <cstring>

#include "batch/params.h"
#include "batch/pipeline.h"
#include "batch/source_guard.h"
#include "core/support.h"
#include "tga/tga.h"

bool StageImageWanted(int k)
{
    return g_command.preview && k >= 0 && k < 12 && ((g_command.stage_mask >> k) & 1) != 0;
}

void SaveInRepertoire2(const char* name, const BITMAP* image)
{
    const char* directory = g_params.REPERTOIRE2;
    size_t directory_length = std::strlen(directory), name_length = std::strlen(name);
    char path[kTextSize];
    int ok = 0;
    if (directory_length + name_length >= size_t(kTextSize)) {
        ReportError("Chemin trop long, image non sauvée: %s%s\n", directory, name);
    } else {
        std::memcpy(path, directory, directory_length);
        std::memcpy(path + directory_length, name, name_length + 1);
        if (IsSourceImage(path))
            ReportError("%s: c'est l'image source, elle n'est pas écrasée\n", path);
        else
            ok = MakeResultFolders(path) && SaveTGA(path, image);
    }
    if (!ok) NoteUnwrittenResult();
}

void SaveStageImage(int k, const BITMAP* image)
{
    if (!StageImageWanted(k)) return;
    char name[16];
    std::snprintf(name, sizeof name, "save%d.tga", k);
    SaveInRepertoire2(name, image);
}

FilterImageSink FilterImagesOfRun()
{
    FilterImageSink sink;
    sink.wanted = [](int k) { return g_command.flag_f || StageImageWanted(k + 3); };
    sink.save = [](int k, const BITMAP* image) {
        if (g_command.flag_f) {
            char name[32];
            std::snprintf(name, sizeof name, "nivelo_filtre%d.tga", k);
            SaveInRepertoire2(name, image);
        }
        SaveStageImage(k + 3, image);
    };
    return sink;
}
