#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "batch/params.h"
#include "batch/pipeline.h"
#include "batch/source_guard.h"
#include "core/blit.h"
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

int ResultName(const char* directory, const char* image_name, int page_given, uint32_t page, char* out)
{
    // The value was checked when the configuration was read.
    OutputFormat format = OUTPUT_TGA;
    ParseOutputFormat(g_params.FORMAT_SORTIE, &format);
    char tagged[kTextSize];
    if (page_given && !PageTaggedName(image_name, page, tagged)) return 0;
    return BuildOutputName(directory, page_given ? tagged : image_name,
                           OutputExtension(format, g_command.flag_b), out);
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

std::atomic<int> g_unwritten{0};
// Results of this command's earlier images and of the image being treated,
// by the file they name, so that two images with one result name (p.tif
// and p.tga) never replace each other's result in silence.
std::mutex g_names_lock;
std::set<std::string> g_earlier_names, g_current_names;

std::string FileNamed(const char* path)
{
    std::error_code error;
    std::filesystem::path file = std::filesystem::weakly_canonical(path, error);
    return error ? std::string(path) : file.string();
}

// 0 after a message when an earlier image of the command wrote path.
int ClaimResultName(const char* path)
{
    std::string file = FileNamed(path);
    std::lock_guard<std::mutex> hold(g_names_lock);
    if (g_earlier_names.count(file) != 0) {
        ReportError("%s : une autre image de cette commande a déjà ce résultat, il n'est pas remplacé ; traitez "
                    "les deux images en deux fois ou renommez l'une d'elles\n",
                    path);
        return 0;
    }
    g_current_names.insert(file);
    return 1;
}

}  // namespace

void NoteUnwrittenResult() { g_unwritten++; }
int UnwrittenResults() { return g_unwritten; }

void StartImageResults()
{
    g_unwritten = 0;
    std::lock_guard<std::mutex> hold(g_names_lock);
    g_earlier_names.insert(g_current_names.begin(), g_current_names.end());
    g_current_names.clear();
}

int MakeResultFolders(const char* path)
{
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path).parent_path();
    std::error_code error;
    if (folder.empty() || fs::is_directory(folder, error)) return 1;
    // Another thread of the run may make the same folder at the same time:
    // only the one that made it says so.
    bool made = fs::create_directories(folder, error);
    std::error_code checked;
    if (!made && !fs::is_directory(folder, checked)) {
        ReportError("%s : le dossier de résultats ne peut pas être créé (%s) ; créez-le ou changez de "
                    "dossier dans la configuration\n",
                    folder.string().c_str(), error ? error.message().c_str() : "un fichier porte déjà ce nom");
        return 0;
    }
    if (made) ReportError("dossier créé : %s/\n", folder.string().c_str());
    return 1;
}

int SaveFinalStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts,
                   const CodedPage* coded)
{
    // The value was checked when the configuration was read.
    OutputFormat format = OUTPUT_TGA;
    ParseOutputFormat(g_params.FORMAT_SORTIE, &format);
    char name[kTextSize];
    int ok = 0;
    if (!ResultName(directory, g_command.image_name, g_command.page_given, g_command.page, name)) {
    } else if (IsSourceImage(name)) {
        ReportError("%s: c'est l'image source, elle n'est pas écrasée\n", name);
    } else if (!MakeResultFolders(name) || !ClaimResultName(name)) {
    } else if (coded != nullptr && CodedPageMatches(*coded, image)) {
        ok = WriteCodedPage(name, *coded, *facts);
    } else if (!grey_source && !g_command.flag_b) {
        ok = WriteResult(name, image, format, *facts, 0);
    } else {
        BITMAP grey;
        if (BITMAP_Create(&grey, image->width, image->height, PIXEL_GREY)) {
            BITMAP_Blt(image, &grey, 0, 0);
            ok = WriteResult(name, &grey, format, *facts, g_command.flag_b);
            BITMAP_Free(&grey);
        }
    }
    if (!ok) NoteUnwrittenResult();
    return ok;
}

int SaveStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts)
{
    return SaveFinalStage(image, directory, grey_source, facts, nullptr);
}

namespace {

std::thread g_pending_save;
std::string g_save_reports;  // what that save had to say, printed when it is waited for

void SaveHoldingReports(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts)
{
    HoldReports(&g_save_reports);
    SaveStage(image, directory, grey_source, facts);  // a failure is counted by SaveStage
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
