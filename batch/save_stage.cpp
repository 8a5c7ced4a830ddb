#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "batch/params.h"
#include "batch/pipeline.h"
#include "batch/source_guard.h"
#include "core/blit.h"
#include "core/huge_pages.h"
#include "core/support.h"
#include "formats/writers.h"
#include "tga/tga.h"
#include "tiff/tiff.h"

int BuildOutputName(const char* directory, const char* image_name, const char* extension, char* out)
{
    size_t dir_length = std::strlen(directory);
    size_t name_length = std::strlen(image_name);
    // The extension may replace a shorter one or be appended: count it whole.
    if (dir_length + name_length + std::strlen(extension) >= size_t(kTextSize)) {
        ReportError("nom de fichier trop long (plus de 255 caractères) pour le répertoire \"%s\" "
                    "et l'image \"%s\", sauvegarde abandonnée\n",
                    directory, image_name);
        return 0;
    }
    std::memcpy(out, directory, dir_length);
    std::memcpy(out + dir_length, image_name, name_length + 1);
    // A "." before the last separator belongs to a directory, not to the name.
    char* dot = std::strrchr(out, '.');
    char* slash = std::strrchr(out, '/');
    char* backslash = std::strrchr(out, '\\');
    if (backslash != nullptr && (slash == nullptr || backslash > slash)) slash = backslash;
    if (dot != nullptr && (slash == nullptr || dot > slash))
        std::strcpy(dot, extension);
    else
        std::strcat(out, extension);
    return 1;
}

int PageTaggedName(const char* image_name, uint32_t page, char* out)
{
    char tag[16];
    int tag_length = std::snprintf(tag, sizeof tag, "_p%u", page + 1);
    size_t length = std::strlen(image_name);
    if (length + size_t(tag_length) >= size_t(kTextSize)) {
        ReportError("nom de fichier trop long (plus de 255 caractères) pour l'image \"%s\", page %u\n",
                    image_name, page + 1);
        return 0;
    }
    const char* dot = std::strrchr(image_name, '.');
    const char* slash = std::strrchr(image_name, '/');
    const char* backslash = std::strrchr(image_name, '\\');
    if (backslash != nullptr && (slash == nullptr || backslash > slash)) slash = backslash;
    size_t stem = dot != nullptr && (slash == nullptr || dot > slash) ? size_t(dot - image_name) : length;
    std::memcpy(out, image_name, stem);
    std::memcpy(out + stem, tag, size_t(tag_length));
    std::memcpy(out + stem + size_t(tag_length), image_name + stem, length - stem + 1);
    return 1;
}

namespace {

// One result in the configured format; 1 when it was written.
int WriteResult(const char* name, const BITMAP* image, OutputFormat format, const ImageFacts& facts, int bilevel)
{
    switch (format) {
    case OUTPUT_PNG: return SavePNG(name, image, facts, bilevel);
    case OUTPUT_JPEG: return SaveJPEG(name, image, facts, g_params.QUALITE_JPEG, bilevel);
    case OUTPUT_TIFF: return SaveTiffCompressed(name, image, facts, bilevel);
    default: return bilevel ? SaveTIFFAt(name, image, facts.x_dpi, facts.y_dpi) : SaveTGA(name, image);
    }
}

}  // namespace

void SaveStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts)
{
    // The value was checked when the configuration was read.
    OutputFormat format = OUTPUT_TGA;
    ParseOutputFormat(g_params.FORMAT_SORTIE, &format);
    char tagged[kTextSize];
    const char* image_name = g_command.image_name;
    if (g_command.page_given) {
        if (!PageTaggedName(image_name, g_command.page, tagged)) return;
        image_name = tagged;
    }
    char name[kTextSize];
    if (!BuildOutputName(directory, image_name, OutputExtension(format, g_command.flag_b), name)) return;
    if (IsSourceImage(name)) {
        ReportError("%s: c'est l'image source, elle n'est pas écrasée\n", name);
        return;
    }
    if (!grey_source && !g_command.flag_b) {
        WriteResult(name, image, format, *facts, 0);
        return;
    }
    BITMAP grey;
    if (!BITMAP_Create(&grey, image->width, image->height, PIXEL_GREY)) return;
    AdviseHugePages(grey.pixels, BITMAP_ByteSize(grey.width, grey.height, grey.type));
    BITMAP_Blt(image, &grey, 0, 0);
    WriteResult(name, &grey, format, *facts, g_command.flag_b);
    BITMAP_Free(&grey);
}

namespace {

std::thread g_pending_save;
std::string g_save_reports;  // what that save had to say, printed when it is waited for

void SaveHoldingReports(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts)
{
    HoldReports(&g_save_reports);
    SaveStage(image, directory, grey_source, facts);
    HoldReports(nullptr);
}

}  // namespace

void StartSaveStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts)
{
    FinishSaveStage();
    try {
        g_pending_save = std::thread(SaveHoldingReports, image, directory, grey_source, facts);
    } catch (const std::system_error&) {
        SaveStage(image, directory, grey_source, facts);
    }
}

void FinishSaveStage()
{
    if (!g_pending_save.joinable()) return;
    g_pending_save.join();
    std::fputs(g_save_reports.c_str(), stdout);
    g_save_reports.clear();
}
