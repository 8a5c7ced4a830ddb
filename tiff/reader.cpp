// TIFF reader: the first image of a file, in strips, grey (WhiteIsZero or
// BlackIsZero), RGB or palette, 1, 4 or 8 bits a sample, uncompressed,
// Modified Huffman, LZW or PackBits, with or without horizontal predictor.
//
// Order of work: header, directory entries, consistency checks, sizes,
// allocation, then strip by strip decoding.  Every refusal of the file's
// content returns 0 silently; only the support routines print (open, read
// and memory failures), so a file that is not TIFF passes on to the next
// reader without a word.
#include <cstring>

#include "core/memory_budget.h"
#include "core/support.h"
#include "tiff/codec_state.h"
#include "tiff/decoders.h"
#include "tiff/strip_threads.h"
#include "tiff/tiff.h"

namespace {

// The baseline tags the reader uses; every other tag is skipped.
enum TiffTag : uint16_t {
    TAG_IMAGE_WIDTH = 256,
    TAG_IMAGE_LENGTH = 257,
    TAG_BITS_PER_SAMPLE = 258,
    TAG_COMPRESSION = 259,
    TAG_PHOTOMETRIC = 262,
    TAG_FILL_ORDER = 266,
    TAG_STRIP_OFFSETS = 273,
    TAG_SAMPLES_PER_PIXEL = 277,
    TAG_ROWS_PER_STRIP = 278,
    TAG_STRIP_BYTE_COUNTS = 279,
    TAG_PREDICTOR = 317,
    TAG_COLOR_MAP = 320,
};

constexpr uint32_t kAllRowsInOneStrip = 0xFFFFFFFFu;
// Strips needed beyond the image height would not cover it exactly.
constexpr uint32_t kMostStrips = 65535;

enum Compression : uint16_t {
    COMPRESSION_NONE = 1,
    COMPRESSION_MODIFIED_HUFFMAN = 2,
    COMPRESSION_LZW = 5,
    COMPRESSION_PACKBITS = 32773,
};

enum Photometric : uint8_t {
    WHITE_IS_ZERO = 0,
    BLACK_IS_ZERO = 1,
    PHOTOMETRIC_RGB = 2,
    PHOTOMETRIC_PALETTE = 3,
};

struct StripEntry {
    uint32_t offset;
    uint32_t byte_count;
};

// Values of the first directory, each with its default.  A fresh record for
// every load, so that nothing of one file leaks into the next.
struct TiffDirectory {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t bits_per_sample = 1;
    uint32_t bits_per_sample_count = 0;  // 0: tag absent
    uint8_t bits_per_sample_differ = 0;  // the values given are not all equal
    uint16_t compression = COMPRESSION_NONE;
    uint8_t photometric = WHITE_IS_ZERO;
    uint8_t fill_order = 1;
    StripEntry* strips = nullptr;
    uint32_t strip_count = 0;
    uint8_t have_offsets = 0;
    uint8_t have_byte_counts = 0;
    uint8_t samples_per_pixel = 1;
    uint32_t rows_per_strip = kAllRowsInOneStrip;
    uint8_t predictor = 1;
    uint8_t colour_map[768] = {};
    uint8_t colour_map_bits = 0;  // bits per sample the ColorMap was sized for; 0: none
    uint32_t row_size = 0;
    uint64_t file_size = 0;
};

unsigned FieldTypeSize(uint16_t type)
{
    static const uint8_t kSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < 13 ? kSizes[type] : 0;
}

int ReadU16(uint16_t* out)
{
    uint8_t b[2];
    if (!ReadBytes(&g_tiff.stream, b, 2, g_tiff.file_name)) return 0;
    *out = g_tiff.big_endian ? uint16_t((b[0] << 8) | b[1]) : uint16_t(b[0] | (b[1] << 8));
    return 1;
}

int ReadU32(uint32_t* out)
{
    uint8_t b[4];
    if (!ReadBytes(&g_tiff.stream, b, 4, g_tiff.file_name)) return 0;
    if (g_tiff.big_endian)
        *out = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | b[3];
    else
        *out = (uint32_t(b[3]) << 24) | (uint32_t(b[2]) << 16) | (uint32_t(b[1]) << 8) | b[0];
    return 1;
}

// The stream fails as a short read does: one message, stream closed.
int ReadFailure()
{
    ReportError("Error reading file %s\n", g_tiff.file_name);
    CloseFile(&g_tiff.stream);
    return 0;
}

// Seeking past the end succeeds; the read that follows reports it.
int SeekTo(uint64_t offset)
{
    if (std::fseek(g_tiff.stream, long(offset), SEEK_SET) == 0) return 1;
    return ReadFailure();
}

int ReadEntryValue(uint16_t type, uint32_t* out)
{
    if (type == 1) {
        uint8_t b;
        if (!ReadBytes(&g_tiff.stream, &b, 1, g_tiff.file_name)) return 0;
        *out = b;
        return 1;
    }
    if (type == 3) {
        uint16_t v;
        if (!ReadU16(&v)) return 0;
        *out = v;
        return 1;
    }
    if (type == 4) return ReadU32(out);
    return 0;
}

int ReadSingleValue(uint16_t type, uint32_t count, uint32_t* out)
{
    return count == 1 && ReadEntryValue(type, out);
}

// A SHORT with count 1, as most tags require.
int ReadSingleShort(uint16_t type, uint32_t count, uint32_t* out)
{
    return type == 3 && ReadSingleValue(type, count, out);
}

// All values of the tag are read: an RGB image must give three equal ones.
int ApplyBitsPerSample(TiffDirectory* d, uint16_t type, uint32_t count)
{
    if (type != 3 || count == 0 || count > 3) return 0;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t v = 0;
        if (!ReadEntryValue(type, &v)) return 0;
        if (i == 0) {
            if (v != 1 && v != 4 && v != 8) return 0;
            d->bits_per_sample = uint8_t(v);
        } else if (v != d->bits_per_sample) {
            d->bits_per_sample_differ = 1;
        }
    }
    d->bits_per_sample_count = count;
    return 1;
}

// StripOffsets and StripByteCounts share one table, sized by whichever
// comes first; the other must give the same count.
int ApplyStripTag(TiffDirectory* d, uint16_t type, uint32_t count, bool offsets)
{
    if (count > kMostStrips) return 0;
    // A tag comes once in a directory.  Given again and again, the strip
    // tags would make a 1 MB file read 65535 x 65535 values.
    if (offsets ? d->have_offsets : d->have_byte_counts) return 0;
    if (d->strips == nullptr) {
        d->strips = static_cast<StripEntry*>(AllocMemory(size_t(count) * sizeof(StripEntry)));
        if (d->strips == nullptr) return 0;
        d->strip_count = count;
    } else if (count != d->strip_count) {
        return 0;
    }
    for (uint32_t i = 0; i < count; i++) {
        uint32_t v = 0;
        if (!ReadEntryValue(type, &v)) return 0;
        if (offsets)
            d->strips[i].offset = v;
        else
            d->strips[i].byte_count = v;
    }
    if (offsets)
        d->have_offsets = 1;
    else
        d->have_byte_counts = 1;
    return 1;
}

// Sized by the bits per sample known so far (1 when the tag has not come).
int ApplyColorMap(TiffDirectory* d, uint16_t type, uint32_t count)
{
    uint32_t entries = 1u << d->bits_per_sample;
    if (type != 3 || count != 3 * entries) return 0;
    for (unsigned colour = 0; colour < 3; colour++) {
        for (uint32_t i = 0; i < entries; i++) {
            uint16_t v = 0;
            if (!ReadU16(&v)) return 0;
            d->colour_map[3 * i + colour] = uint8_t(v >> 8);
        }
    }
    d->colour_map_bits = d->bits_per_sample;
    return 1;
}

int ApplyTag(TiffDirectory* d, uint16_t tag, uint16_t type, uint32_t count)
{
    uint32_t v = 0;
    switch (tag) {
    case TAG_IMAGE_WIDTH:
        if (!ReadSingleValue(type, count, &v)) return 0;
        d->width = uint16_t(v);  // the low 16 bits, as the image record holds them
        return 1;
    case TAG_IMAGE_LENGTH:
        if (!ReadSingleValue(type, count, &v)) return 0;
        d->height = uint16_t(v);
        return 1;
    case TAG_BITS_PER_SAMPLE: return ApplyBitsPerSample(d, type, count);
    case TAG_COMPRESSION:
        if (!ReadSingleShort(type, count, &v)) return 0;
        if (v != COMPRESSION_NONE && v != COMPRESSION_MODIFIED_HUFFMAN && v != COMPRESSION_LZW &&
            v != COMPRESSION_PACKBITS)
            return 0;
        d->compression = uint16_t(v);
        return 1;
    case TAG_PHOTOMETRIC:
        if (!ReadSingleShort(type, count, &v) || v > 3) return 0;
        d->photometric = uint8_t(v);
        return 1;
    case TAG_FILL_ORDER:
        if (!ReadSingleShort(type, count, &v) || (v != 1 && v != 2)) return 0;
        d->fill_order = uint8_t(v);
        return 1;
    case TAG_STRIP_OFFSETS: return ApplyStripTag(d, type, count, true);
    case TAG_SAMPLES_PER_PIXEL:
        if (!ReadSingleShort(type, count, &v) || v > 3) return 0;
        d->samples_per_pixel = uint8_t(v);
        return 1;
    case TAG_ROWS_PER_STRIP:
        if (!ReadSingleValue(type, count, &v)) return 0;
        d->rows_per_strip = v;
        return 1;
    case TAG_STRIP_BYTE_COUNTS: return ApplyStripTag(d, type, count, false);
    case TAG_PREDICTOR:
        if (!ReadSingleShort(type, count, &v) || (v != 1 && v != 2)) return 0;
        d->predictor = uint8_t(v);
        return 1;
    case TAG_COLOR_MAP: return ApplyColorMap(d, type, count);
    default: return 1;
    }
}

int ReadDirectoryEntry(TiffDirectory* d)
{
    long position = std::ftell(g_tiff.stream);
    if (position < 0) return ReadFailure();
    uint16_t tag = 0, type = 0;
    uint32_t count = 0;
    if (!ReadU16(&tag) || !ReadU16(&type) || !ReadU32(&count)) return 0;
    unsigned size = FieldTypeSize(type);
    if (size != 0) {
        // Computed in 64 bits: a huge count must not wrap to a small size
        // that would pass for values held in place.
        if (uint64_t(size) * count > 4) {
            uint32_t offset = 0;
            if (!ReadU32(&offset) || !SeekTo(offset)) return 0;
        }
        if (!ApplyTag(d, tag, type, count)) return 0;
    }
    return SeekTo(uint64_t(position) + 12);
}

// Bytes of all the strips together.
uint64_t AllStripBytes(const TiffDirectory& d)
{
    uint64_t total = 0;
    for (uint32_t i = 0; i < d.strip_count; i++) total += d.strips[i].byte_count;
    return total;
}

// Rows of strip i: rows per strip, the last strip what is left of the height.
uint32_t StripRows(const TiffDirectory& d, uint32_t i)
{
    if (i + 1 < d.strip_count) return d.rows_per_strip;
    return uint32_t(d.height - uint64_t(d.strip_count - 1) * d.rows_per_strip);
}

// Refuses, silently, what the file says inconsistently; the only message is
// for a strip that lies beyond the end of the file, as reading it would give.
int CheckDirectory(TiffDirectory* d)
{
    if (d->width == 0 || d->height == 0) return 0;
    if (!d->have_offsets || !d->have_byte_counts || d->strip_count == 0) return 0;
    unsigned samples = d->photometric == PHOTOMETRIC_RGB ? 3 : 1;
    if (d->samples_per_pixel != samples) return 0;
    if (d->bits_per_sample_differ) return 0;
    if (d->bits_per_sample_count > 1 && d->bits_per_sample_count != samples) return 0;
    if (d->predictor == 2 && d->bits_per_sample != 8) return 0;
    if (d->photometric == PHOTOMETRIC_PALETTE && d->colour_map_bits != d->bits_per_sample) return 0;
    // The Modified Huffman decoder writes one bit a pixel.
    if (d->compression == COMPRESSION_MODIFIED_HUFFMAN && (d->bits_per_sample != 1 || samples != 1)) return 0;
    // The strips must cover the height exactly, the last one possibly short.
    uint64_t rps = d->rows_per_strip;
    if (rps == 0) return 0;
    if (uint64_t(d->strip_count - 1) * rps >= d->height) return 0;
    if (uint64_t(d->strip_count) * rps < d->height) return 0;
    d->row_size = uint32_t((uint64_t(d->width) * d->bits_per_sample * samples + 7) / 8);
    for (uint32_t i = 0; i < d->strip_count; i++) {
        const StripEntry& s = d->strips[i];
        if (s.offset > d->file_size || s.byte_count > d->file_size - s.offset) return ReadFailure();
        if (d->compression == COMPRESSION_NONE && s.byte_count < uint64_t(d->row_size) * StripRows(*d, i))
            return 0;
    }
    return 1;
}

unsigned SampleValue(const uint8_t* row, uint32_t k, unsigned bits)
{
    if (bits == 8) return row[k];
    if (bits == 4) return (k & 1) ? row[k >> 1] & 0x0Fu : row[k >> 1] >> 4;
    return (row[k >> 3] >> (7 - (k & 7))) & 1u;
}

// Scales grey and RGB samples to 8 bits and turns WhiteIsZero into the
// image's black-is-zero grey, whatever the compression: a fax page stored
// WhiteIsZero must not come out as white on black.
void PlaceRows(const TiffDirectory& d, const uint8_t* decoded, uint32_t first_row, uint32_t rows,
               BITMAP* image)
{
    uint32_t samples_in_row = uint32_t(d.width) * d.samples_per_pixel;
    if (d.bits_per_sample == 8) {  // the common case, a row at a time: samples stay as they are
        for (uint32_t r = 0; r < rows; r++) {
            const uint8_t* source = decoded + uint64_t(r) * d.row_size;
            uint8_t* destination = image->pixels + (uint64_t(first_row) + r) * samples_in_row;
            if (d.photometric == WHITE_IS_ZERO) {
                for (uint32_t k = 0; k < samples_in_row; k++) destination[k] = uint8_t(255 - source[k]);
            } else {
                std::memcpy(destination, source, samples_in_row);
            }
        }
        return;
    }
    for (uint32_t r = 0; r < rows; r++) {
        const uint8_t* source = decoded + uint64_t(r) * d.row_size;
        uint8_t* destination = image->pixels + (uint64_t(first_row) + r) * samples_in_row;
        for (uint32_t k = 0; k < samples_in_row; k++) {
            unsigned v = SampleValue(source, k, d.bits_per_sample);
            if (d.photometric != PHOTOMETRIC_PALETTE) {
                if (d.bits_per_sample == 1) v *= 255;
                if (d.bits_per_sample == 4) v *= 17;
            }
            if (d.photometric == WHITE_IS_ZERO) v = 255 - v;
            destination[k] = uint8_t(v);
        }
    }
}

int DecodeStrip(const TiffDirectory& d, const uint8_t* strip, uint32_t byte_count, uint8_t* out, uint32_t rows)
{
    switch (d.compression) {
    case COMPRESSION_NONE:
        // The byte count was checked to cover the rows.
        std::memcpy(out, strip, size_t(uint64_t(d.row_size) * rows));
        return 1;
    case COMPRESSION_MODIFIED_HUFFMAN:
        return DecodeModifiedHuffman(strip, byte_count, out, rows, d.width, d.row_size, d.fill_order);
    case COMPRESSION_LZW:
        if (TiffFastDecoders()) return DecodeLZWFast(strip, byte_count, out, rows, d.row_size);
        return DecodeLZW(strip, byte_count, out, rows, d.row_size);
    default: return DecodePackBits(strip, byte_count, out, rows, d.row_size);
    }
}

int ReadStrip(const TiffDirectory& d, uint32_t i, BITMAP* image)
{
    const StripEntry& entry = d.strips[i];
    uint32_t rows = StripRows(d, i);
    uint8_t* strip = static_cast<uint8_t*>(AllocMemory(entry.byte_count));
    if (strip == nullptr) return 0;
    int ok = SeekTo(entry.offset) && ReadBytes(&g_tiff.stream, strip, entry.byte_count, g_tiff.file_name);
    uint8_t* decoded = nullptr;
    if (ok) {
        decoded = static_cast<uint8_t*>(AllocZeroed(size_t(uint64_t(d.row_size) * rows)));
        ok = decoded != nullptr && DecodeStrip(d, strip, entry.byte_count, decoded, rows);
    }
    FreeMemory(&strip);
    if (ok) {
        if (d.predictor == 2) UndoHorizontalPredictor(decoded, rows, d.width, d.samples_per_pixel, d.row_size);
        PlaceRows(d, decoded, uint32_t(uint64_t(d.rows_per_strip) * i), rows, image);
    }
    FreeMemory(&decoded);
    return ok;
}

// 8-bit samples stored as they are placed (all but WhiteIsZero) decode
// straight into the image's rows: no buffer of decoded rows, no copy.  All
// the strips are read first, into one buffer, then decoded on every core,
// strip i by thread i mod threads; the threads live for the whole image, as
// each new thread would fault in its stack afresh.  Files whose strips add up
// to more than the file (strips that overlap) take the strip-by-strip path.
bool RowsPlacedAsDecoded(const TiffDirectory& d)
{
    return d.bits_per_sample == 8 && d.photometric != WHITE_IS_ZERO && TiffFastDecoders() &&
           AllStripBytes(d) <= d.file_size;
}

struct StripWork {
    const TiffDirectory* d;
    BITMAP* image;
    const uint8_t* bytes;  // every strip's bytes, back to back in strip order
    unsigned threads;
};

int DecodeStripsInPlace(void* context, unsigned t)
{
    const StripWork& work = *static_cast<StripWork*>(context);
    const TiffDirectory& d = *work.d;
    const uint8_t* strip = work.bytes;
    for (uint32_t i = 0; i < d.strip_count; strip += d.strips[i].byte_count, i++) {
        if (i % work.threads != t) continue;
        uint32_t rows = StripRows(d, i);
        uint8_t* out = work.image->pixels + uint64_t(d.rows_per_strip) * i * d.row_size;
        // The image's memory is not cleared: PackBits writes every byte of a
        // strip that decodes, the fast LZW decoder clears what an early end
        // leaves, and Modified Huffman (one bit a pixel) never comes here.
        if (d.compression == COMPRESSION_MODIFIED_HUFFMAN) std::memset(out, 0, size_t(uint64_t(d.row_size) * rows));
        if (!DecodeStrip(d, strip, d.strips[i].byte_count, out, rows)) return 0;
        if (d.predictor == 2) UndoHorizontalPredictor(out, rows, d.width, d.samples_per_pixel, d.row_size);
    }
    return 1;
}

int ReadStripsInPlace(const TiffDirectory& d, BITMAP* image)
{
    uint8_t* bytes = static_cast<uint8_t*>(AllocMemory(size_t(AllStripBytes(d))));
    if (bytes == nullptr) return 0;
    uint8_t* at = bytes;
    int ok = 1;
    for (uint32_t i = 0; ok && i < d.strip_count; at += d.strips[i].byte_count, i++)
        ok = SeekTo(d.strips[i].offset) && ReadBytes(&g_tiff.stream, at, d.strips[i].byte_count, g_tiff.file_name);
    unsigned threads = StripDecodeThreads();
    if (threads > d.strip_count) threads = unsigned(d.strip_count);
    StripWork work = {&d, image, bytes, threads};
    if (ok) ok = RunStripWork(threads, DecodeStripsInPlace, &work);
    FreeMemory(&bytes);
    return ok;
}

// The most memory one strip holds while it is read: its bytes and its rows.
uint64_t LargestStripBuffers(const TiffDirectory& d)
{
    uint64_t largest = 0;
    for (uint32_t i = 0; i < d.strip_count; i++) {
        uint64_t need = uint64_t(d.strips[i].byte_count) + uint64_t(d.row_size) * StripRows(d, i);
        if (need > largest) largest = need;
    }
    return largest;
}

int ReadDirectory(TiffDirectory* d, uint32_t offset, BITMAP* image)
{
    uint16_t entries = 0;
    if (!SeekTo(offset) || !ReadU16(&entries)) return 0;
    for (unsigned i = 0; i < entries; i++)
        if (!ReadDirectoryEntry(d)) return 0;
    if (!CheckDirectory(d)) return 0;
    unsigned type = d->photometric == PHOTOMETRIC_RGB       ? PIXEL_RGB
                    : d->photometric == PHOTOMETRIC_PALETTE ? PIXEL_INDEXED
                                                            : PIXEL_GREY;
    bool in_place = RowsPlacedAsDecoded(*d);
    if (!CheckImageBudget(d->width, d->height, type, in_place ? AllStripBytes(*d) : LargestStripBuffers(*d)))
        return 0;
    if (!BITMAP_Create(image, d->width, d->height, type)) return 0;
    if (in_place) {
        if (!ReadStripsInPlace(*d, image)) return 0;
    } else {
        for (uint32_t i = 0; i < d->strip_count; i++)
            if (!ReadStrip(*d, i, image)) return 0;
    }
    if (type == PIXEL_INDEXED) std::memcpy(image->palette, d->colour_map, 768);
    return 1;
}

int FileSize(uint64_t* size)
{
    if (std::fseek(g_tiff.stream, 0, SEEK_END) != 0) return ReadFailure();
    long end = std::ftell(g_tiff.stream);
    if (end < 0 || std::fseek(g_tiff.stream, 0, SEEK_SET) != 0) return ReadFailure();
    *size = uint64_t(end);
    return 1;
}

// Header and first directory.  Later directories (pages) are never looked at.
int ReadFile(TiffDirectory* d, BITMAP* image)
{
    if (!FileSize(&d->file_size)) return 0;
    char order[2];
    if (!ReadBytes(&g_tiff.stream, order, 2, g_tiff.file_name)) return 0;
    if (order[0] == 'I' && order[1] == 'I')
        g_tiff.big_endian = 0;
    else if (order[0] == 'M' && order[1] == 'M')
        g_tiff.big_endian = 1;
    else
        return 0;
    uint16_t magic = 0;
    uint32_t offset = 0;
    if (!ReadU16(&magic) || magic != 42 || !ReadU32(&offset)) return 0;
    return ReadDirectory(d, offset, image);
}

}  // namespace

int LoadTIFF(const char* name, BITMAP* record)
{
    BITMAP_Init(record, 0, 0, 0);
    if (!TiffTakeFileName(name)) return 0;
    g_tiff.stream = OpenFile(name, "rb");
    if (g_tiff.stream == nullptr) return 0;
    TiffDirectory directory;
    int ok = ReadFile(&directory, record);
    FreeMemory(&directory.strips);
    if (!ok) BITMAP_Free(record);
    CloseFile(&g_tiff.stream);
    return ok;
}
