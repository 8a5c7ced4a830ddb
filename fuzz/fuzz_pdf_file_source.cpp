// The cached file source against qpdf's own, on a fuzzed file and a fuzzed
// sequence of seeks, reads, line skips and unread bytes: any difference in
// bytes, positions or offsets aborts.  The input's first byte says how many
// three-byte steps follow; the rest is the file.
#include <qpdf/FileInputSource.hh>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "documents/pdf_file_source.h"
#include "fuzz/fuzz_support.h"

namespace {

void Same(bool same)
{
    if (!same) std::abort();
}

void Step(InputSource& ours, InputSource& theirs, const uint8_t* step, qpdf_offset_t size)
{
    qpdf_offset_t amount = qpdf_offset_t(step[1]) << 8 | step[2];
    switch (step[0] % 5) {
    case 0: {
        const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
        int w = whence[step[0] / 5 % 3];
        qpdf_offset_t base = w == SEEK_SET ? 0 : w == SEEK_CUR ? theirs.tell() : size;
        qpdf_offset_t offset = amount % (size + 50) - base;  // never before the start, as qpdf never asks
        ours.seek(offset, w);
        theirs.seek(offset, w);
        break;
    }
    case 1: {
        std::vector<char> a(size_t(amount) + 1), b(size_t(amount) + 1);
        size_t got = ours.read(a.data(), size_t(amount));
        Same(got == theirs.read(b.data(), size_t(amount)) && std::memcmp(a.data(), b.data(), got) == 0 &&
             ours.getLastOffset() == theirs.getLastOffset());
        break;
    }
    case 2: Same(ours.findAndSkipNextEOL() == theirs.findAndSkipNextEOL()); break;
    case 3:
        // As qpdf does: the byte just read, never at the start.
        if (theirs.tell() > 0 && theirs.tell() <= size) {
            char last = 0;
            theirs.seek(-1, SEEK_CUR);
            theirs.read(&last, 1);
            ours.unreadCh(last);
            theirs.unreadCh(last);
        }
        break;
    default:
        ours.rewind();
        theirs.rewind();
    }
    Same(ours.tell() == theirs.tell());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    size_t steps = data[0];
    if (size < 1 + 3 * steps) return 0;
    const uint8_t* file = data + 1 + 3 * steps;
    size_t file_size = size - 1 - 3 * steps;
    const char* name = fuzz::ScratchFile(file, file_size);
    std::shared_ptr<InputSource> ours = OpenCachedFile(name);
    Same(ours != nullptr);
    FileInputSource theirs(name);
    for (size_t i = 0; i < steps; i++) Step(*ours, theirs, data + 1 + 3 * i, qpdf_offset_t(file_size));
    return 0;
}
