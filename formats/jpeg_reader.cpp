// JPEG through libjpeg (libjpeg-turbo): grey, colour and CMYK/YCCK,
// baseline or progressive.  Grey stays grey, colour comes out in the working
// order B, G, R (libjpeg writes it so at no cost, sparing the caller a pass
// over the page); CMYK becomes colour as (255 - C)(255 - K) / 255 per
// channel, after undoing the inversion that Adobe's writers apply (their
// APP14 marker says so).  The EXIF orientation is applied, as every photo
// viewer does; the resolution comes from the JFIF header when it gives one
// in inches or centimetres, else from EXIF.
//
// A tall sequential page is decoded by two readers at once, each its own
// part of the rows (DecodeLowerHalf); NIVELO_PLAIN=1 decodes it with one.
//
// A cut-short or corrupt file is refused: libjpeg only warns about those and
// would fill the rest of the page with grey.  Harmless warnings (stray bytes
// between markers, which some cameras write) are let through.
//
// libjpeg reports errors by longjmp: as for PNG, the state lives in a plain
// record and the function with setjmp owns nothing with a destructor.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "core/environment.h"
#include "core/support.h"
#include "formats/exif.h"
#include "formats/messages.h"
#include "formats/orientation.h"
#include "formats/readers.h"

namespace {

// A progressive file with more scans than this is hostile: real encoders
// write about ten, and each scan costs a pass over the whole page.
constexpr int kMostScans = 1000;
// A sequential page of at least this many rows is decoded in two parts on
// two threads (see DecodeLowerHalf).
constexpr unsigned kLeastSplitRows = 512;
// A file is read through blocks of this size.  libjpeg-turbo's fast Huffman
// decoder runs only with a few kilobytes of the stream ahead of it (512
// bytes for each block of an MCU: 1.5 KB for a colour page without
// subsampling), so through stdio's source, 4 KB a read, about a third of
// such a page went through the slow decoder.  The whole file read at once
// would do as well, but costs a page fault every 4 KB of it, in a fresh
// process more than it saves.
constexpr size_t kSourceBytes = size_t(64) << 10;

struct JpegRead {
    jpeg_decompress_struct cinfo;  // first: libjpeg hands back a pointer to it
    jpeg_error_mgr error;
    jpeg_progress_mgr progress;
    jmp_buf jump;
    const char* name;
    FILE* file;
    const uint8_t* data;  // a stream held in memory, read instead of the file
    size_t size;
    BITMAP* image;
    ImageFacts* facts;
    unsigned orientation;
    uint8_t* cmyk_row;
    int created;
    int refused;        // 1 once a message was printed outside libjpeg's path
    unsigned first_row; // the lower half's reader: the first row it writes
    int whole;          // 1: decoded by this reader alone (after halves that failed)
    char message[JMSG_LENGTH_MAX];
};

JpegRead* Owner(j_common_ptr cinfo) { return reinterpret_cast<JpegRead*>(cinfo); }

void Fail(j_common_ptr cinfo)
{
    JpegRead* r = Owner(cinfo);
    (*cinfo->err->format_message)(cinfo, r->message);
    std::longjmp(r->jump, 1);
}

// Warnings (level -1) that mean missing or broken data stop the read.
void Warn(j_common_ptr cinfo, int level)
{
    if (level != -1) return;
    int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
        code == JWRN_MUST_RESYNC || code == JWRN_BOGUS_PROGRESSION || code == JWRN_NOT_SEQUENTIAL)
        Fail(cinfo);
}

void CountScans(j_common_ptr cinfo)
{
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMostScans) {
        std::snprintf(Owner(cinfo)->message, sizeof Owner(cinfo)->message, "plus de %d passes progressives",
                      kMostScans);
        std::longjmp(Owner(cinfo)->jump, 1);
    }
}

// libjpeg's errors and warnings routed to the reader's record.
void WatchErrors(JpegRead* r)
{
    r->cinfo.err = jpeg_std_error(&r->error);
    r->error.error_exit = Fail;
    r->error.emit_message = Warn;
}

// A file as the decoder's source, read a block at a time; as libjpeg's own
// stdio source otherwise: an empty file is an error, a file cut short gets
// a warning and the end of image marker.
struct FileSource {
    jpeg_source_mgr pub;  // first: libjpeg hands back a pointer to it
    FILE* file;
    JOCTET* block;
    bool started;
};

FileSource* Source(j_decompress_ptr c) { return reinterpret_cast<FileSource*>(c->src); }

void StartFile(j_decompress_ptr c) { Source(c)->started = false; }

boolean FillBlock(j_decompress_ptr c)
{
    FileSource* s = Source(c);
    size_t got = std::fread(s->block, 1, kSourceBytes, s->file);
    if (got == 0) {
        if (!s->started) ERREXIT(c, JERR_INPUT_EMPTY);
        WARNMS(c, JWRN_JPEG_EOF);
        s->block[0] = 0xFF;
        s->block[1] = JPEG_EOI;
        got = 2;
    }
    s->pub.next_input_byte = s->block;
    s->pub.bytes_in_buffer = got;
    s->started = true;
    return TRUE;
}

void SkipBytes(j_decompress_ptr c, long count)
{
    if (count <= 0) return;
    jpeg_source_mgr* src = c->src;
    while (size_t(count) > src->bytes_in_buffer) {
        count -= long(src->bytes_in_buffer);
        FillBlock(c);  // never short: at the end it makes an end of image
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= size_t(count);
}

void EndFile(j_decompress_ptr) {}

// The file, or the stream held in memory, as the decoder's source.  The
// file's source lives in libjpeg's pool, freed with the decoder.
void SetSource(JpegRead* r)
{
    if (r->data != nullptr) {
        jpeg_mem_src(&r->cinfo, r->data, static_cast<unsigned long>(r->size));
        return;
    }
    j_common_ptr common = reinterpret_cast<j_common_ptr>(&r->cinfo);
    auto* s = static_cast<FileSource*>((*common->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(FileSource)));
    s->block = static_cast<JOCTET*>((*common->mem->alloc_small)(common, JPOOL_PERMANENT, kSourceBytes));
    s->file = r->file;
    s->started = false;
    s->pub = jpeg_source_mgr{};
    s->pub.init_source = StartFile;
    s->pub.fill_input_buffer = FillBlock;
    s->pub.skip_input_data = SkipBytes;
    s->pub.resync_to_restart = jpeg_resync_to_restart;
    s->pub.term_source = EndFile;
    r->cinfo.src = &s->pub;
}

void ReadFacts(JpegRead* r)
{
    jpeg_decompress_struct& c = r->cinfo;
    ExifFacts exif = {1, 0.0, 0.0};
    for (jpeg_saved_marker_ptr m = c.marker_list; m != nullptr; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && ParseExif(m->data, m->data_length, &exif)) break;
    r->orientation = exif.orientation;
    double x = 0.0, y = 0.0;
    if (c.saw_JFIF_marker && (c.density_unit == 1 || c.density_unit == 2)) {
        x = DotsPerInch(c.X_density, c.density_unit + 1u);
        y = DotsPerInch(c.Y_density, c.density_unit + 1u);
    }
    if (x == 0.0 || y == 0.0) {
        x = exif.x_dpi;
        y = exif.y_dpi;
    }
    r->facts->x_dpi = x != 0.0 ? x : y;
    r->facts->y_dpi = y != 0.0 ? y : x;
}

// Memory libjpeg itself holds: a progressive page keeps every coefficient
// (two bytes each, blocks rounded up), a CMYK page needs a row of four bytes.
uint64_t DecoderMemory(const jpeg_decompress_struct& c)
{
    uint64_t blocks = (uint64_t(c.image_width) + 15) / 8 * ((uint64_t(c.image_height) + 15) / 8);
    uint64_t coefficients = c.progressive_mode ? blocks * 64 * 2 * uint64_t(c.num_components) : 0;
    return coefficients + uint64_t(c.image_width) * 4;
}

void CmykToBgr(const uint8_t* cmyk, uint32_t width, bool inverted, uint8_t* bgr)
{
    for (uint32_t x = 0; x < width; x++) {
        unsigned k = inverted ? cmyk[4 * x + 3] : 255u - cmyk[4 * x + 3];
        for (unsigned i = 0; i < 3; i++) {
            unsigned c = inverted ? cmyk[4 * x + i] : 255u - cmyk[4 * x + i];
            bgr[3 * x + 2 - i] = uint8_t((c * k + 127u) / 255u);
        }
    }
}

// The rows from r->first_row on, decoded by a reader of their own (its
// own source, error state and jump) into the page the upper half's reader
// made.  libjpeg's skip still reads every entropy-coded block above
// first_row, but neither transforms nor upsamples them, at about a third of
// the cost of decoding those rows: so the upper reader takes five eighths
// of the rows and the two finish together (on the A4 bench page, 20 % less
// time than one reader).  The rows are those one reader gives: the split
// falls on a boundary of the blocks' rows (which carry the upsampling's
// context), and the halves test compares both ways.  1, or 0
// with nothing said: the page is then decoded again by one reader, which
// says what is wrong.
int DecodeLowerHalf(JpegRead* r)
{
    if (setjmp(r->jump)) return 0;
    jpeg_decompress_struct& c = r->cinfo;
    jpeg_create_decompress(&c);
    r->created = 1;
    SetSource(r);
    jpeg_read_header(&c, TRUE);
    bool grey = c.jpeg_color_space == JCS_GRAYSCALE;
    c.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_start_decompress(&c);
    unsigned type = grey ? PIXEL_GREY : PIXEL_BGR;
    if (c.output_width != r->image->width || c.output_height != r->image->height || type != r->image->type)
        return 0;
    if (jpeg_skip_scanlines(&c, r->first_row) != r->first_row) return 0;
    uint64_t row_size = uint64_t(c.output_width) * BITMAP_BytesPerPixel(type);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = r->image->pixels + c.output_scanline * row_size;
        if (jpeg_read_scanlines(&c, &row, 1) != 1) return 0;
    }
    jpeg_finish_decompress(&c);
    return 1;
}

// The row the two readers meet at, or 0 when the page is decoded whole: a
// sequential grey or colour page tall enough, with two threads to use.
unsigned SplitRow(const jpeg_decompress_struct& c, bool cmyk)
{
    if (cmyk || c.progressive_mode || c.output_height < kLeastSplitRows || !UseFastStages() || StageThreads() < 2)
        return 0;
    unsigned block_rows = unsigned(c.max_v_samp_factor) * DCTSIZE;
    return unsigned(uint64_t(c.output_height) * 5 / 8) / block_rows * block_rows;
}

// The upper half's rows, under a jump of their own: an error must not leave
// through DecodeHalves while the lower half's thread runs.  This function
// owns nothing with a destructor; once it has returned, the reader's jump
// is not used again (the reader is only aborted, or made afresh).
int ReadUpperRows(JpegRead* r, unsigned split)
{
    if (setjmp(r->jump)) return 0;
    jpeg_decompress_struct& c = r->cinfo;
    uint64_t row_size = uint64_t(c.output_width) * BITMAP_BytesPerPixel(r->image->type);
    while (c.output_scanline < split) {
        JSAMPROW row = r->image->pixels + c.output_scanline * row_size;
        if (jpeg_read_scanlines(&c, &row, 1) != 1) return 0;
    }
    return 1;
}

// Runs the lower half's reader on a thread while this one decodes the
// upper half.  1 when both halves were decoded, 0 when the page must be
// decoded whole (nothing said, the page's pixels left as they are).
int DecodeHalves(JpegRead* upper, unsigned split)
{
    JpegRead* lower = static_cast<JpegRead*>(AllocZeroed(sizeof(JpegRead)));
    if (lower == nullptr) return 0;
    *lower = JpegRead{};
    lower->name = upper->name;
    lower->data = upper->data;
    lower->size = upper->size;
    lower->image = upper->image;
    lower->first_row = split;
    WatchErrors(lower);
    if (lower->data == nullptr) lower->file = std::fopen(upper->name, "rb");
    int lower_ok = 0;
    if (lower->file != nullptr || lower->data != nullptr) {
        try {
            std::thread worker([lower, &lower_ok] { lower_ok = DecodeLowerHalf(lower); });
            int upper_ok = ReadUpperRows(upper, split);
            worker.join();
            lower_ok = lower_ok && upper_ok;
        } catch (const std::system_error&) {
            lower_ok = 0;  // no thread to be had: the page is decoded whole
        }
    }
    if (lower->created) jpeg_destroy_decompress(&lower->cinfo);
    if (lower->file != nullptr) std::fclose(lower->file);
    FreeMemory(&lower);
    return lower_ok;
}

int DecodeJpeg(JpegRead* r)
{
    if (setjmp(r->jump)) return 0;
    jpeg_decompress_struct& c = r->cinfo;
    jpeg_create_decompress(&c);
    r->created = 1;
    c.progress = &r->progress;
    SetSource(r);
    jpeg_save_markers(&c, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&c, TRUE);
    if (!CheckPageSides(r->name, c.image_width, c.image_height)) return r->refused = 1, 0;
    ReadFacts(r);
    bool cmyk = c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK;
    bool grey = c.jpeg_color_space == JCS_GRAYSCALE;
    c.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    unsigned type = grey ? PIXEL_GREY : PIXEL_BGR;
    uint64_t extra = DecoderMemory(c) + OrientationMemory(r->orientation, c.image_width, c.image_height, type);
    if (!CheckPageBudget(r->name, c.image_width, c.image_height, type, extra)) return r->refused = 1, 0;
    jpeg_start_decompress(&c);
    if (!BITMAP_Create(r->image, c.output_width, c.output_height, type)) return r->refused = 1, 0;
    if (cmyk && (r->cmyk_row = static_cast<uint8_t*>(AllocMemory(size_t(c.output_width) * 4))) == nullptr)
        return r->refused = 1, 0;
    uint64_t row_size = uint64_t(c.output_width) * BITMAP_BytesPerPixel(type);
    unsigned split = r->whole ? 0 : SplitRow(c, cmyk);
    if (split > 0) {
        // Either half failing, the page is decoded again whole, which says why.
        if (DecodeHalves(r, split)) {
            jpeg_abort_decompress(&c);
            return 1;
        }
        r->whole = 1;
        return 0;
    }
    while (c.output_scanline < c.output_height) {
        uint8_t* out = r->image->pixels + c.output_scanline * row_size;
        JSAMPROW row = cmyk ? r->cmyk_row : out;
        if (jpeg_read_scanlines(&c, &row, 1) != 1) ERREXIT(&c, JERR_INPUT_EMPTY);
        if (cmyk) CmykToBgr(r->cmyk_row, c.output_width, c.saw_Adobe_marker, out);
    }
    jpeg_finish_decompress(&c);
    return 1;
}


// After halves that failed: the reader made afresh, the file read again
// from its start, the page decoded by one reader.
int DecodeAgainWhole(JpegRead* r)
{
    jpeg_destroy_decompress(&r->cinfo);
    r->created = 0;
    BITMAP_Free(r->image);
    if (r->file != nullptr && std::fseek(r->file, 0, SEEK_SET) != 0) return 0;
    WatchErrors(r);
    return DecodeJpeg(r);
}

// The file's own reading, or a stream in memory (data not null), whose
// EXIF orientation is not applied: the file that holds such a stream says
// itself how its page is turned.
int ReadJpeg(const char* name, const char* format, const uint8_t* data, size_t size, BITMAP* record,
             ImageFacts* facts)
{
    BITMAP_Init(record, 0, 0, 0);
    ClearImageFacts(facts);
    JpegRead* r = static_cast<JpegRead*>(AllocZeroed(sizeof(JpegRead)));
    if (r == nullptr) return 0;
    r->name = name;
    r->image = record;
    r->facts = facts;
    r->data = data;
    r->size = size;
    WatchErrors(r);
    r->progress.progress_monitor = CountScans;
    if (data == nullptr) r->file = OpenFile(name, "rb");
    int ok = 0;
    if (r->file != nullptr || data != nullptr) {
        ok = DecodeJpeg(r);
        if (!ok && r->whole && !r->refused) ok = DecodeAgainWhole(r);
        if (!ok && !r->refused) RefuseDamaged(name, format, r->message);
        if (ok && data == nullptr) ok = ApplyOrientation(record, r->orientation, &facts->x_dpi, &facts->y_dpi);
    }
    if (r->created) jpeg_destroy_decompress(&r->cinfo);
    FreeMemory(&r->cmyk_row);
    CloseFile(&r->file);
    FreeMemory(&r);
    if (!ok) BITMAP_Free(record);
    return ok;
}

}  // namespace

int LoadJPEG(const char* name, BITMAP* record, ImageFacts* facts)
{
    return ReadJpeg(name, "JPEG", nullptr, 0, record, facts);
}

int LoadJPEGMemory(const char* name, const char* format, const uint8_t* data, size_t size, BITMAP* record,
                   ImageFacts* facts)
{
    return ReadJpeg(name, format, data, size, record, facts);
}
