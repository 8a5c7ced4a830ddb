#include "batch/pipeline.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "batch/command_line.h"
#include "batch/params.h"
#include "batch/stage_images.h"
#include "core/blit.h"
#include "core/support.h"
#include "documents/load_document.h"
#include "formats/formats.h"
#include "formats/writers.h"
#include "stages/background.h"
#include "stages/blur.h"
#include "stages/borders.h"
#include "stages/orientation.h"
#include "stages/rotation.h"
#include "stages/skew_search.h"

namespace {

// help: asked for (-h, --help, /?), when the flags meant for other programs
// are listed too; after a usage error the text stays as it always was.
void PrintUsage(bool help)
{
    std::printf("\n");
    std::printf("  nivelo 1.0 : nettoyage et redressement de pages scannées\n");
    std::printf("  usage: nivelo [flags] <fichier image> [<fichier image>...]\n");
    std::printf("\n");
    std::printf("les flags possibles sont:\n");
    std::printf("  /c<fichier de config> : le nom du fichier de configuration à utiliser\n");
    std::printf("                          exemple: nivelo /c\"config2.txt\" image1.tga\n");
    std::printf("  /f : pour sauver les résultats des filtres dans le répertoire 2\n");
    std::printf("  /b : pour sauver les images au format TIFF noir et blanc\n");
    std::printf("  /p<n> : traite la page n d'un fichier de plusieurs pages (la première sinon)\n");
    std::printf("  /d<masque> : aperçu, écrit dans le répertoire 2 les images d'étape du masque (0 à 4095)\n");
    std::printf("  -h, --help, /? : affiche cette aide\n");
    std::printf("code de sortie : 0 si tous les résultats demandés sont écrits, 1 si une image n'a pu être lue\n");
    std::printf("                 ou un résultat écrit, 2 pour une erreur d'usage ou de configuration\n");
    if (!help) return;
    std::printf("pour les programmes qui appellent nivelo :\n");
    std::printf("  /n : n'écrit rien, liste pour chaque page le nombre de pages et les noms des résultats,\n");
    std::printf("       six champs terminés par un octet nul : image, page pour /p (0 : sans), nombre de pages,\n");
    std::printf("       résultat final, résultat intermédiaire, message (vide si la page peut être écrite)\n");
}

// A file of several pages is treated one page a run: say which, and how to
// choose another.
void ReportOtherPages(const char* name, const ImageFacts& facts)
{
    if (facts.page_count <= 1) return;
    std::printf("%s : %u pages, seule la page %u est traitée (une autre avec /p<n>, par exemple /p%u)\n", name,
                facts.page_count, g_command.page + 1, g_command.page == 0 ? 2u : 1u);
}

// FORMAT_SORTIE names a format only the writers know: checked once the
// configuration is read, as a configuration error.
int CheckOutputFormat()
{
    OutputFormat format;
    if (ParseOutputFormat(g_params.FORMAT_SORTIE, &format)) return 1;
    ReportError("%s : FORMAT_SORTIE=%s n'est pas un format de sortie (TGA, PNG, JPEG ou TIFF)\n",
                g_command.config_name, g_params.FORMAT_SORTIE);
    return 0;
}

// The kind of coded stream the final result could carry over from its
// source: a JPEG into a JPEG result, a G4 page into a black-and-white TIFF.
CodedKind CarriedKind()
{
    OutputFormat format = OUTPUT_TGA;
    ParseOutputFormat(g_params.FORMAT_SORTIE, &format);
    if (g_command.preview || !g_params.SAUVEGARDE2) return CODED_NONE;
    if (format == OUTPUT_JPEG && !g_command.flag_b) return CODED_JPEG;
    if (format == OUTPUT_TIFF && g_command.flag_b) return CODED_G4;
    return CODED_NONE;
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

// Stage images 3 and 11 show the image as the save writes it: a grey copy
// for a grey or indexed source, the black-and-white result (0 and 255, cut
// as the TIFF writer cuts) with /b, the colour image otherwise.
void SaveStageImageAsSaved(int k, const BITMAP* image, int grey_source)
{
    if (!StageImageWanted(k)) return;
    if (!grey_source && !g_command.flag_b) {
        SaveStageImage(k, image);
        return;
    }
    BITMAP grey;
    if (!BITMAP_Create(&grey, image->width, image->height, PIXEL_GREY)) return;
    BITMAP_Blt(image, &grey, 0, 0);
    if (g_command.flag_b) {
        size_t count = size_t(grey.width) * grey.height;
        for (size_t i = 0; i < count; i++) grey.pixels[i] = grey.pixels[i] > 127 ? 255 : 0;
    }
    SaveStageImage(k, &grey);
    BITMAP_Free(&grey);
}

// Index of the last stage image a preview asks for (-1: none); an ordinary
// run goes through every stage.
int LastStageNeeded()
{
    if (!g_command.preview) return 11;
    int last = -1;
    for (int k = 0; k < 12; k++)
        if (StageImageWanted(k)) last = k;
    return last;
}

// The angle of the precise search, in degrees.
int PreciseAngle(const BITMAP* page, double* angle, int* measured, int* at_edge)
{
    SkewSearchResult found;
    if (!FindSkewPrecise(page, g_params.AFFINAGE_PLAGE, &found)) return 0;
    *angle = double(found.hundredths) / 100.0;
    *measured = found.measured;
    *at_edge = found.at_edge;
    return 1;
}

// The colour of what is not page: COUL_REMPLISSAGE when given (red, green,
// blue, put into the working image's byte order B, G, R), else the
// background colour.
void FillColour(const uint8_t background[3], uint8_t fill[3])
{
    if (!g_params.fill_colour_given) {
        std::memcpy(fill, background, 3);
        return;
    }
    fill[0] = g_params.fill_colour[2];
    fill[1] = g_params.fill_colour[1];
    fill[2] = g_params.fill_colour[0];
}

// The scanner's ground that NETTOYAGE_BORDS paints over at the second crop,
// traced on the page before the turn; `turned` and `angle` say how the page
// was turned since.
struct GroundTrace {
    BITMAP mask;
    int traced, reaches_middle, turned;
    double angle;
};

// Skew detection and turn.  A preview asking for a filter image runs the
// detection even with ROTATION off, since the images only show what it sees.
// The page turns by the detected angle plus OFFSET_ANGLE, its corners filled
// with COUL_REMPLISSAGE when given, else with the background colour.  The
// angle lines go through ReportError, held with the step's other messages.
// *turned receives the new page (null when there is none), *angle_turned
// its angle.
int DetectAndTurn(const BITMAP* page, const uint8_t background[3], bool turn, bool filters_wanted,
                  BITMAP** turned, double* angle_turned)
{
    // With AFFINAGE the five filters run only for their images.
    bool precise = g_params.ROTATION && g_params.AFFINAGE;
    double angle = 0.0;
    int measured = 1, at_edge = 0;
    if ((!precise || filters_wanted || g_command.flag_f) &&
        !DetectSkewAngle(page, &angle, g_params, FilterImagesOfRun(), &measured))
        return 0;
    if (!g_params.ROTATION) return 1;
    if (precise && !PreciseAngle(page, &angle, &measured, &at_edge)) return 0;
    // A page without measurable lines is not a straight page: say so.
    if (!measured) ReportError("aucune ligne de texte trouvée : angle 0\n");
    if (at_edge) ReportError("angle au bord de la plage de recherche\n");
    if (g_params.OFFSET_ANGLE != 0.0) angle += g_params.OFFSET_ANGLE;
    ReportError("%f\n", angle);
    if (!turn) return 1;
    uint8_t fill[3];
    FillColour(background, fill);
    *angle_turned = angle;
    *turned = TurnedCopy(page, angle, fill);
    return *turned != nullptr;
}

int TraceGround(const BITMAP* page, const uint8_t background[3], GroundTrace* trace)
{
    uint8_t fill[3];
    FillColour(background, fill);
    trace->traced = TraceScannerGround(page, background, fill, g_params, &trace->mask, &trace->reaches_middle);
    return trace->traced;
}

// NETTOYAGE_BORDS: the ground traced before the turn (or now, when the page
// was not turned) takes the fill colour.  0 after a message when memory
// runs out.
int CleanGround(BITMAP* page, const uint8_t background[3], GroundTrace* trace)
{
    if (!trace->traced && !TraceGround(page, background, trace)) return 0;
    if (trace->reaches_middle)
        std::printf("NETTOYAGE_BORDS : le fond du scanner atteint le milieu de %s, les bords restent tels quels "
                    "(COTE_FOND est-il bien un côté du fond ?)\n",
                    g_command.image_name);
    uint8_t fill[3];
    FillColour(background, fill);
    return PaintScannerGround(page, &trace->mask, trace->turned, trace->angle, fill);
}

// ORIENTATION: the page put the right way up by a quarter turn, or left as
// it is when it does not show enough text to tell.  The turn is found on the
// page as read, before the first crop: that crop takes the paper's colour
// from one named side and cuts from the sides inward, so on a page fed
// sideways or upside down it works from another edge of the paper and may
// cut away lines of print (a faded page fed sideways lost half of them),
// and the answer would then depend on how the page was fed.  The turn is
// made where it always was, before the intermediate save and the stage
// images, so that everything after it (the saved page, the skew search,
// the second crop) sees the page upright.
int OrientStep(BITMAP** slot, const OrientationResult& found)
{
    if (!found.decided) {
        ReportError("orientation incertaine : page laissée telle quelle\n");
        return 1;
    }
    ReportError("orientation : %d\n", found.turn);
    if (found.turn == 0) return 1;
    BITMAP* turned = QuarterTurnedCopy(*slot, found.turn);
    if (turned == nullptr) return 0;
    BITMAP_Free(*slot);
    FreeMemory(slot);
    *slot = turned;
    return 1;
}

// The intermediate save may still be reading the page and printing: the
// step's messages are held and printed after the save's, as in a run that
// saved first, and the page is replaced only once the save is over.
int RotateStep(BITMAP** slot, const uint8_t background[3], int last, GroundTrace* trace)
{
    bool filters_wanted = false;
    for (int k = 4; k <= 8; k++) filters_wanted = filters_wanted || StageImageWanted(k);
    bool turn = g_params.ROTATION && last >= 9;
    if (!turn && !filters_wanted) return 1;
    std::string said;
    BITMAP* turned = nullptr;
    HoldReports(&said);
    int ok = (!turn || !g_params.NETTOYAGE_BORDS || last < 10 || TraceGround(*slot, background, trace)) &&
             DetectAndTurn(*slot, background, turn, filters_wanted, &turned, &trace->angle);
    trace->turned = turned != nullptr;
    HoldReports(nullptr);
    FinishSaveStage();
    std::fputs(said.c_str(), stdout);
    if (turned != nullptr) {
        BITMAP_Free(*slot);
        FreeMemory(slot);
        *slot = turned;
    }
    return ok;
}

// One image through the pipeline, on an allocated record; the caller frees
// it and the ground trace.  A preview (/d) writes the stage images it asked
// for instead of the ordinary saves, and stops after the last of them.
// Returns 1 when the image was read and every result asked for was written.
int ProcessImage(BITMAP** slot, GroundTrace* trace)
{
    const char* name = g_command.image_name;
    ImageFacts facts;
    if (LoadDocumentPage(name, g_command.page, *slot, &facts) != 1) return 0;
    ReportOtherPages(name, facts);
    CodedPage coded;
    FindCodedPage(name, g_command.page, CarriedKind(), &coded);
    int grey_source = 0;
    if (!ConvertToWorkingType(slot, &grey_source)) return 0;
    uint8_t background[3];
    GetBackgroundColour(*slot, background, g_params);
    int last = LastStageNeeded();
    bool saves = !g_command.preview;
    SaveStageImage(0, *slot);
    OrientationResult found;
    bool orient = last >= 2 && g_params.ORIENTATION;
    if (orient && !FindOrientation(*slot, &found)) return 0;
    if (last >= 1) {
        if (g_params.RECADRAGE1 && CropStage(slot, background, g_params) != 1) return 0;
        SaveStageImage(1, *slot);
    }
    if (last >= 2) {
        if (g_params.FLOU && BlurStage(slot, g_params) != 1) return 0;
        if (orient && OrientStep(slot, found) != 1) return 0;
        SaveStageImage(2, *slot);
        SaveStageImageAsSaved(3, *slot, grey_source);
        // With /f the detection writes images of its own: the save is made
        // first, so that messages come in the order of the files.  Every
        // writer works a strip at a time, so a save beside the turn's two
        // pages stays within the memory the page was admitted with.
        if (saves && g_params.SAUVEGARDE1 && g_command.flag_f)
            SaveStage(*slot, g_params.REPERTOIRE1, grey_source, &facts);
        else if (saves && g_params.SAUVEGARDE1)
            StartSaveStage(*slot, g_params.REPERTOIRE1, grey_source, &facts);
    }
    if (last >= 4) {
        if (RotateStep(slot, background, last, trace) != 1) return 0;
        SaveStageImage(9, *slot);
    }
    FinishSaveStage();
    bool cropped = true;
    if (last >= 10) {
        cropped = !g_params.NETTOYAGE_BORDS || CleanGround(*slot, background, trace);
        cropped = cropped && (!g_params.RECADRAGE2 || CropStage(slot, background, g_params) == 1);
        if (cropped) {
            SaveStageImage(10, *slot);
            SaveStageImageAsSaved(11, *slot, grey_source);
        }
    }
    // A failed second crop still ends with the "done" line, but the final
    // result it kept from being written is missing all the same.
    if (!cropped && ((saves && g_params.SAUVEGARDE2) || StageImageWanted(10) || StageImageWanted(11)))
        NoteUnwrittenResult();
    if (cropped && saves && g_params.SAUVEGARDE2)
        SaveFinalStage(*slot, g_params.REPERTOIRE2, grey_source, &facts, coded.kind != CODED_NONE ? &coded : nullptr);
    std::printf("%s done.\n", name);
    return 1;
}

// One image of the command line: 0 when it could not be read or a result
// asked for was not written.
int RunOneImage(const std::string& image_name)
{
    std::memcpy(g_command.image_name, image_name.c_str(), image_name.size() + 1);
    StartImageResults();
    BITMAP* image = static_cast<BITMAP*>(AllocMemory(sizeof(BITMAP)));
    if (image == nullptr) return 0;
    BITMAP_Init(image, 0, 0, 0);
    GroundTrace trace = {};
    int ok = ProcessImage(&image, &trace);
    FinishSaveStage();  // a run given up after the intermediate save still waits for it
    BITMAP_Free(&trace.mask);
    BITMAP_Free(image);
    FreeMemory(&image);
    return ok && UnwrittenResults() == 0;
}

}  // namespace

int RunNivelo(int argc, char** argv)
{
    int status = 0;
    switch (ParseCommandLine(argc, argv)) {
    case COMMAND_HELP: PrintUsage(true); break;
    case COMMAND_USAGE: PrintUsage(false); status = 2; break;
    case COMMAND_CONFIG: status = 2; break;
    case COMMAND_RUN:
        if (!CheckOutputFormat()) {
            status = 2;
            break;
        }
        if (g_command.list_names) {
            status = ListResultNames();
            break;
        }
        for (const std::string& name : g_command.images)
            if (!RunOneImage(name)) status = 1;
        break;
    }
    std::fflush(stdout);
    return status;
}
