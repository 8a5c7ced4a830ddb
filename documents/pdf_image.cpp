#include "documents/pdf_image.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/image_facts.h"
#include "core/support.h"
#include "documents/fax_tiff.h"
#include "documents/pdf_samples.h"
#include "documents/pdf_stream.h"
#include "formats/messages.h"
#include "formats/orientation.h"
#include "formats/readers.h"

namespace {

// A coded stream may exceed its pixels' raw size only by its headers and
// tables (progressive JPEG scans, fax codes worse than raw on noise): this
// many times the raw size, plus this many bytes.
constexpr uint64_t kCodedGrowth = 4;
constexpr uint64_t kCodedSlack = 1u << 20;

int RefuseCoding(const char* label, const char* coding)
{
    ReportError("%s : image codée en %s, que nivelo ne décode pas ; convertissez ce PDF (en TIFF par exemple) "
                "pour le traiter\n",
                label, coding);
    return 0;
}

int RefuseKind(const char* label, const char* what)
{
    ReportError("%s : image d'un type que nivelo ne lit pas (%s)\n", label, what);
    return 0;
}

int RefuseImage(const char* label, const char* why)
{
    ReportError("%s : image endommagée ou incomplète (%s)\n", label, why);
    return 0;
}

int IntKey(QPDFObjectHandle dict, const char* key, long long fallback)
{
    if (!dict.isDictionary()) return int(fallback);
    QPDFObjectHandle v = dict.getKey(key);
    if (!v.isInteger()) return int(fallback);
    long long n = v.getIntValue();
    return n < -1000000000 ? -1000000000 : n > 1000000000 ? 1000000000 : int(n);
}

bool BoolKey(QPDFObjectHandle dict, const char* key)
{
    if (!dict.isDictionary()) return false;
    QPDFObjectHandle v = dict.getKey(key);
    return v.isBool() && v.getBoolValue();
}

// Components of a colour space that is not Indexed; 0 for a space nivelo
// does not read, named in *what.
unsigned Components(QPDFObjectHandle space, const char** what)
{
    *what = "espace de couleur inconnu";
    QPDFObjectHandle family = space;
    if (space.isArray() && space.getArrayNItems() > 0) family = space.getArrayItem(0);
    if (!family.isName()) return 0;
    std::string n = family.getName();
    if (n == "/DeviceGray" || n == "/G" || n == "/CalGray") return 1;
    if (n == "/DeviceRGB" || n == "/RGB" || n == "/CalRGB") return 3;
    if (n == "/DeviceCMYK" || n == "/CMYK") return 4;
    if (n == "/ICCBased" && space.isArray() && space.getArrayNItems() > 1 && space.getArrayItem(1).isStream()) {
        int count = IntKey(space.getArrayItem(1).getDict(), "/N", 0);
        if (count == 1 || count == 3 || count == 4) return unsigned(count);
        *what = "profil ICC sans nombre de composantes lisible";
        return 0;
    }
    if (n == "/Lab") *what = "couleurs Lab";
    if (n == "/Separation" || n == "/DeviceN") *what = "couleurs d'impression séparées";
    return 0;
}

// The palette of an Indexed space [/Indexed base highest lookup].
int ReadPalette(QPDF& pdf, QPDFObjectHandle space, const char* label, PdfSamples* s)
{
    const char* what = "";
    unsigned colours = space.getArrayNItems() == 4 ? Components(space.getArrayItem(1), &what) : 0;
    if (colours == 0) return RefuseKind(label, "palette d'un espace de couleur inconnu");
    QPDFObjectHandle h = space.getArrayItem(2);
    int highest = h.isInteger() && h.getIntValue() >= 0 ? int(h.getIntValue() > 255 ? 255 : h.getIntValue()) : -1;
    if (highest < 0) return RefuseImage(label, "palette sans taille");
    uint64_t size = uint64_t(highest + 1) * colours;
    QPDFObjectHandle lookup = space.getArrayItem(3);
    std::string table;
    if (lookup.isString()) {
        table = lookup.getStringValue();
    } else if (lookup.isStream()) {
        std::vector<Filter> filters;
        bool complete = false;
        if (!ReadFilters(lookup.getDict(), &filters) ||
            !StreamData(pdf, lookup, filters, false, size, &table, &complete))
            return RefuseImage(label, "palette illisible");
    }
    SetPdfPalette(s, reinterpret_cast<const uint8_t*>(table.data()), table.size(), colours, unsigned(highest));
    return 1;
}

// The sample layout of the image dictionary: sides, components, bits,
// /Decode.  1, or 0 after one message.
int DescribeSamples(QPDF& pdf, QPDFObjectHandle dict, const char* label, PdfSamples* s)
{
    std::memset(s, 0, sizeof *s);
    int width = IntKey(dict, "/Width", 0), height = IntKey(dict, "/Height", 0);
    if (!CheckPageSides(label, uint64_t(width < 0 ? 0 : width), uint64_t(height < 0 ? 0 : height))) return 0;
    s->width = uint32_t(width);
    s->height = uint32_t(height);
    if (BoolKey(dict, "/ImageMask")) {
        s->components = 1;
        s->bits = 1;
    } else {
        int bits = IntKey(dict, "/BitsPerComponent", 8);
        if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
            return RefuseImage(label, "nombre de bits par composante impossible");
        s->bits = unsigned(bits);
        QPDFObjectHandle space = dict.getKey("/ColorSpace");
        if (space.isArray() && space.getArrayNItems() > 0 && space.getArrayItem(0).isNameAndEquals("/Indexed")) {
            if (bits == 16) return RefuseImage(label, "palette indexée sur 16 bits");
            s->components = 1;
            if (!ReadPalette(pdf, space, label, s)) return 0;
        } else {
            const char* what = "";
            s->components = space.isNull() ? 1 : Components(space, &what);
            if (s->components == 0) return RefuseKind(label, what);
        }
    }
    QPDFObjectHandle decode = dict.getKey("/Decode");
    if (decode.isArray() && unsigned(decode.getArrayNItems()) >= 2 * s->components)
        for (unsigned c = 0; c < s->components; c++) {
            QPDFObjectHandle low = decode.getArrayItem(int(2 * c)), high = decode.getArrayItem(int(2 * c + 1));
            s->inverted[c] = low.isNumber() && high.isNumber() && low.getNumericValue() > high.getNumericValue();
        }
    return 1;
}

// The memory rule for the page and its turn, with the reader's own bytes.
int CheckMemory(const char* label, const PdfSamples& s, unsigned orientation, uint64_t extra)
{
    unsigned type = PdfPixelType(s);
    uint64_t turn = OrientationMemory(orientation, s.width, s.height, type);
    return CheckPageBudget(label, s.width, s.height, type, extra + turn);
}

uint64_t CodedLimit(const PdfSamples& s)
{
    uint64_t raw = uint64_t(s.width) * s.height * (s.components > 3 ? 4 : 3);
    return raw * kCodedGrowth + kCodedSlack;
}

void Invert(BITMAP* image)
{
    uint64_t size = BITMAP_ByteSize(image->width, image->height, image->type);
    for (uint64_t i = 0; i < size; i++) image->pixels[i] = uint8_t(255 - image->pixels[i]);
}

int ReadDct(QPDF& pdf, QPDFObjectHandle image, const std::vector<Filter>& filters, const PdfSamples& s,
            const char* label, BITMAP* record)
{
    std::string coded;
    bool complete = false;
    if (!StreamData(pdf, image, filters, true, CodedLimit(s), &coded, &complete))
        return RefuseKind(label, "filtre inconnu avant le JPEG");
    if (!complete) return RefuseImage(label, "flux JPEG illisible");
    ImageFacts ignored;
    const uint8_t* jpeg = reinterpret_cast<const uint8_t*>(coded.data());
    if (!LoadJPEGMemory(label, "PDF", jpeg, coded.size(), record, &ignored))
        return 0;
    // /Decode [1 0 ...] turns grey and RGB samples over; CMYK ones the JPEG
    // reader has already put right from the file's own marker.
    bool all = true;
    for (unsigned c = 0; c < s.components; c++) all = all && s.inverted[c];
    if (all && s.components != 4) Invert(record);
    return 1;
}

// The decoder gives black runs as 1 bits; BlackIs1 and /Decode [1 0] each
// swap which value the page shows as black.  TIFF's photometric: 0 when a
// 1 bit is black.
uint16_t FaxPhotometric(QPDFObjectHandle parms, bool inverted)
{
    return BoolKey(parms, "/BlackIs1") != inverted ? 1 : 0;
}

int ReadFax(QPDF& pdf, QPDFObjectHandle image, const std::vector<Filter>& filters, const PdfSamples& s,
            const char* label, BITMAP* record)
{
    QPDFObjectHandle parms = filters.back().parms;
    int k = IntKey(parms, "/K", 0);
    bool end_of_line = BoolKey(parms, "/EndOfLine"), byte_align = BoolKey(parms, "/EncodedByteAlign");
    int columns = IntKey(parms, "/Columns", s.width);
    if (columns != int(s.width)) return RefuseImage(label, "largeur du flux CCITT différente de celle de l'image");
    FaxLayout layout = {s.width, s.height, 4, 0, 0};
    if (k == 0) layout.compression = end_of_line ? 3 : 2;
    if (k > 0) {
        if (!end_of_line) return RefuseKind(label, "CCITT G3 à deux dimensions sans fins de ligne");
        layout.compression = 3;
        layout.t4_options = 1;
    }
    layout.photometric = FaxPhotometric(parms, s.inverted[0]);
    std::string coded, tiff;
    bool complete = false;
    if (!StreamData(pdf, image, filters, true, CodedLimit(s), &coded, &complete))
        return RefuseKind(label, "filtre inconnu avant le CCITT");
    if (!complete) return RefuseImage(label, "flux CCITT illisible");
    if (!BuildFaxTiff(layout, reinterpret_cast<const uint8_t*>(coded.data()), coded.size(), 0.0, 0.0, &tiff))
        return RefuseImage(label, "flux CCITT trop grand");
    ImageFacts ignored;
    const uint8_t* file = reinterpret_cast<const uint8_t*>(tiff.data());
    return LoadTiffMemory(label, "PDF", file, tiff.size(), byte_align, record, &ignored);
}

int ReadSampled(QPDF& pdf, QPDFObjectHandle image, const std::vector<Filter>& filters, const PdfSamples& s,
                const char* label, unsigned orientation, BITMAP* record)
{
    uint64_t need = PdfRowBytes(s) * s.height;
    if (PdfRowBytes(s) == 0) return RefuseImage(label, "lignes trop longues");
    if (!CheckMemory(label, s, orientation, need)) return 0;
    std::string samples;
    bool complete = false;
    if (!StreamData(pdf, image, filters, false, need, &samples, &complete))
        return RefuseKind(label, ("filtre " + (filters.empty() ? std::string() : filters.back().name)).c_str());
    // Bytes past the rows are of no use; fewer than the rows is a cut stream.
    if (samples.size() < need) return RefuseImage(label, "données plus courtes que l'image");
    if (!BITMAP_Create(record, s.width, s.height, PdfPixelType(s))) return 0;
    ConvertPdfSamples(s, reinterpret_cast<const uint8_t*>(samples.data()), record);
    return 1;
}

}  // namespace

int ReadPdfImage(QPDF& pdf, QPDFObjectHandle image, const char* label, unsigned orientation, BITMAP* record)
{
    QPDFObjectHandle dict = image.getDict();
    std::vector<Filter> filters;
    if (!ReadFilters(dict, &filters)) return RefuseImage(label, "filtres illisibles");
    std::string coding = filters.empty() ? "" : filters.back().name;
    if (coding == "/JBIG2Decode") return RefuseCoding(label, "JBIG2");
    if (coding == "/JPXDecode") return RefuseCoding(label, "JPEG 2000");
    PdfSamples s;
    if (!DescribeSamples(pdf, dict, label, &s)) return 0;
    if (coding == "/DCTDecode") {
        return CheckMemory(label, s, orientation, 0) && ReadDct(pdf, image, filters, s, label, record);
    }
    if (coding == "/CCITTFaxDecode") {
        if (s.components != 1 || s.indexed) return RefuseImage(label, "image CCITT en couleur");
        return CheckMemory(label, s, orientation, 0) && ReadFax(pdf, image, filters, s, label, record);
    }
    return ReadSampled(pdf, image, filters, s, label, orientation, record);
}

int TakeCodedStream(QPDF& pdf, QPDFObjectHandle image, CodedKind wanted, CodedPage* coded)
{
    QPDFObjectHandle dict = image.getDict();
    std::vector<Filter> filters;
    if (!ReadFilters(dict, &filters) || filters.empty()) return 0;
    int width = IntKey(dict, "/Width", 0), height = IntKey(dict, "/Height", 0);
    if (width <= 0 || height <= 0 || uint64_t(width) > kMostSide || uint64_t(height) > kMostSide) return 0;
    const Filter& coding = filters.back();
    bool inverted = false;
    QPDFObjectHandle decode = dict.getKey("/Decode");
    if (decode.isArray() && decode.getArrayNItems() >= 2 && decode.getArrayItem(0).isNumber() &&
        decode.getArrayItem(1).isNumber())
        inverted = decode.getArrayItem(0).getNumericValue() > decode.getArrayItem(1).getNumericValue();
    if (wanted == CODED_G4) {
        if (coding.name != "/CCITTFaxDecode" || IntKey(coding.parms, "/K", 0) >= 0 ||
            BoolKey(coding.parms, "/EncodedByteAlign") || IntKey(coding.parms, "/Columns", width) != width)
            return 0;
        coded->width = uint32_t(width);
        coded->height = uint32_t(height);
        coded->photometric = FaxPhotometric(coding.parms, inverted);
    } else if (wanted != CODED_JPEG || coding.name != "/DCTDecode") {
        return 0;
    }
    bool complete = false;
    uint64_t limit = uint64_t(width) * uint64_t(height) * 4 * kCodedGrowth + kCodedSlack;
    if (!StreamData(pdf, image, filters, true, limit, &coded->bytes, &complete) || !complete) return 0;
    coded->from_pdf = true;
    return 1;
}
