#include "documents/pdf_reader.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFLogger.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "core/support.h"
#include "documents/fax_tiff.h"
#include "documents/pdf_file_source.h"
#include "documents/pdf_content.h"
#include "documents/pdf_image.h"
#include "formats/exif.h"
#include "formats/messages.h"
#include "formats/orientation.h"

namespace {

// The page's /Rotate as the orientation code of formats/orientation.h: a
// page shown turned a quarter clockwise is code 6.  Values that are no
// multiple of 90 are ignored, as PDF readers ignore them.
unsigned RotateOrientation(QPDFPageObjectHelper& page)
{
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    if (!rotate.isInteger()) return 1;
    long long turn = rotate.getIntValue() % 360;
    if (turn < 0) turn += 360;
    return turn == 90 ? 6u : turn == 180 ? 3u : turn == 270 ? 8u : 1u;
}

// Dots per inch of width x height pixels spread over the page's visible
// box, under the readers' rule for believable resolutions; an axis the box
// gives no believable size takes the other's.
void PageResolution(QPDFPageObjectHelper& page, unsigned width, unsigned height, ImageFacts* facts)
{
    QPDFObjectHandle box = page.getCropBox(false, false);
    if (!box.isRectangle()) return;
    QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    double across = std::fabs(r.urx - r.llx), down = std::fabs(r.ury - r.lly);
    if (std::isfinite(across) && across > 0.0) facts->x_dpi = DotsPerInch(double(width) * 72.0 / across, 2);
    if (std::isfinite(down) && down > 0.0) facts->y_dpi = DotsPerInch(double(height) * 72.0 / down, 2);
    if (facts->x_dpi == 0.0) facts->x_dpi = facts->y_dpi;
    if (facts->y_dpi == 0.0) facts->y_dpi = facts->x_dpi;
}

bool OneImage(const PageDrawing& d)
{
    return d.too_big == 0 && d.text == 0 && d.images == 1 && d.inline_images == 0 && d.drawn_after == 0;
}

// One message for a page that is not one image, 0 when it is one.
int RefuseNotOneImage(const char* label, const PageDrawing& d)
{
    if (OneImage(d)) return 0;
    char why[96];
    if (d.too_big > 0)
        std::snprintf(why, sizeof why, "son contenu dépasse 8 Mo une fois décompressé");
    else if (d.text > 0)
        std::snprintf(why, sizeof why, "elle porte du texte");
    else if (d.images + d.inline_images > 1)
        std::snprintf(why, sizeof why, "elle a %u images", d.images + d.inline_images);
    else if (d.inline_images == 1)
        std::snprintf(why, sizeof why, "son image est écrite dans le contenu de la page");
    else if (d.images == 0)
        std::snprintf(why, sizeof why, d.too_deep ? "ses dessins s'imbriquent trop" : "elle n'a aucune image");
    else if (d.drawn_after > 0)
        std::snprintf(why, sizeof why, "elle dessine par-dessus son image");
    else
        return 0;
    ReportError("%s : ce n'est pas une page scannée faite d'une seule image (%s) ; nivelo ne lit que ces pages "
                "d'un PDF\n",
                label, why);
    return 1;
}

// The pages of the page tree, 0 after a message when there is none: what
// qpdf's repair makes of a file cut before its page tree.
int CountPages(const PdfSource& source, const std::vector<QPDFPageObjectHelper>& pages)
{
    if (pages.empty()) return RefuseDamaged(source.name, "PDF", "aucune page trouvée");
    return 1;
}

int ReadPage(QPDF& pdf, const PdfSource& source, uint32_t page, BITMAP* record, ImageFacts* facts, std::string* label)
{
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    if (!CountPages(source, pages)) return 0;
    facts->page_count = uint32_t(pages.size() > UINT32_MAX ? UINT32_MAX : pages.size());
    if (page >= pages.size()) {
        ReportError("%s : le fichier a %u page(s), il n'a pas de page %u\n", source.name, facts->page_count,
                    page + 1);
        return 0;
    }
    *label = std::string(source.name) + ", page " + std::to_string(page + 1);
    QPDFPageObjectHelper& p = pages[page];
    PageDrawing drawing;
    FindPageDrawing(p, &drawing);
    if (RefuseNotOneImage(label->c_str(), drawing)) return 0;
    unsigned orientation = RotateOrientation(p);
    if (!ReadPdfImage(pdf, drawing.image, label->c_str(), orientation, record)) return 0;
    PageResolution(p, record->width, record->height, facts);
    return ApplyOrientation(record, orientation, &facts->x_dpi, &facts->y_dpi);
}

int RefuseProtected(const char* name)
{
    ReportError("%s : PDF protégé par un mot de passe ; nivelo ne lit que les PDF qui s'ouvrent sans mot de "
                "passe (enregistrez-en une copie sans protection)\n",
                name);
    return 0;
}

// Opens the PDF with qpdf's repair on and its output silenced, and runs
// `read` on it.  Every exception ends here as one message, about *label
// (the file, or the page once `read` has chosen one).
template <class Read>
int WithPdf(const PdfSource& source, std::string* label, Read read)
{
    *label = source.name;
    try {
        QPDF pdf;
        std::shared_ptr<QPDFLogger> quiet = QPDFLogger::create();
        quiet->setInfo(quiet->discard());
        quiet->setWarn(quiet->discard());
        quiet->setError(quiet->discard());
        pdf.setLogger(quiet);
        pdf.setSuppressWarnings(true);
        if (source.data != nullptr)
            pdf.processMemoryFile(source.name, reinterpret_cast<const char*>(source.data), size_t(source.size));
        else if (std::shared_ptr<InputSource> file = OpenCachedFile(source.name))
            pdf.processInputSource(file);
        else
            pdf.processFile(source.name);  // which says why the file does not open
        return read(pdf);
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password) return RefuseProtected(source.name);
        return RefuseDamaged(label->c_str(), "PDF", e.getMessageDetail().c_str());
    } catch (const std::bad_alloc&) {
        ReportError("Not enough memory\n");
        return 0;
    } catch (const std::exception& e) {
        return RefuseDamaged(label->c_str(), "PDF", e.what());
    } catch (...) {
        return RefuseDamaged(label->c_str(), "PDF", nullptr);
    }
}

}  // namespace

int LoadPdfPage(const PdfSource& source, uint32_t page, BITMAP* record, ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    std::string label;
    int ok =
        WithPdf(source, &label, [&](QPDF& pdf) { return ReadPage(pdf, source, page, record, facts, &label); });
    if (!ok) BITMAP_Free(record);
    return ok;
}

int PdfPageCount(const PdfSource& source, uint32_t* count)
{
    *count = 0;
    std::string label;
    return WithPdf(source, &label, [&](QPDF& pdf) {
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (!CountPages(source, pages)) return 0;
        *count = uint32_t(pages.size() > UINT32_MAX ? UINT32_MAX : pages.size());
        return 1;
    });
}

int PdfCodedPage(const PdfSource& source, uint32_t page, CodedKind wanted, CodedPage* coded)
{
    // Silent: a page that cannot be carried over is simply coded again.
    std::string label, held;
    HoldReports(&held);
    int ok = WithPdf(source, &label, [&](QPDF& pdf) {
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (page >= pages.size() || RotateOrientation(pages[page]) != 1) return 0;
        PageDrawing drawing;
        FindPageDrawing(pages[page], &drawing);
        return int(OneImage(drawing) && TakeCodedStream(pdf, drawing.image, wanted, coded));
    });
    HoldReports(nullptr);
    return ok;
}
