// The cached file source against qpdf's own file source: the same bytes,
// positions and line ends for any sequence of seeks, reads, unread bytes
// and line skips, across block boundaries and past the end.
#include <gtest/gtest.h>

#include <qpdf/FileInputSource.hh>

#include <cstring>
#include <string>
#include <vector>

#include "documents/pdf_file_source.h"
#include "tests/support/test_support.h"

using namespace testing_support;

TEST(CachedFile, MovesAndReadsAsQpdfsFileSource)
{
    ScratchDir dir;
    Random random(41);
    // Three blocks and a bit, mostly CR and LF runs of every length.
    std::string bytes(3 * 65536 + 1234, 'x');
    const char alphabet[] = {'a', '\r', '\n', ' ', '\r', '\n'};
    for (char& c : bytes) c = random.Below(4) ? 'a' : alphabet[random.Below(6)];
    for (int run = 0; run < 60; run++) {  // and runs longer than any chunk a search may read
        size_t at = random.Below(uint32_t(bytes.size() - 2000));
        for (size_t i = at; i < at + 500 + random.Below(1500); i++) bytes[i] = alphabet[1 + random.Below(2)];
    }
    WriteFileBytes(dir / "f.pdf", bytes);
    std::shared_ptr<InputSource> ours = OpenCachedFile((dir / "f.pdf").c_str());
    ASSERT_NE(nullptr, ours);
    FileInputSource theirs((dir / "f.pdf").c_str());
    EXPECT_EQ(nullptr, OpenCachedFile((dir / "none.pdf").c_str()));
    EXPECT_EQ(nullptr, OpenCachedFile(dir.path.c_str()));  // a folder is no file
    int64_t size = int64_t(bytes.size());
    for (int step = 0; step < 4000; step++) {
        std::string what = "step " + std::to_string(step);
        switch (random.Below(5)) {
        case 0: {
            const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
            int w = whence[random.Below(3)];
            int64_t base = w == SEEK_SET ? 0 : w == SEEK_CUR ? theirs.tell() : size;
            // Anywhere, or past the end now and then.
            int64_t to = random.Below(8) ? random.Below(uint32_t(size)) : size + random.Below(100);
            int64_t offset = to - base;
            ours->seek(offset, w);
            theirs.seek(offset, w);
            break;
        }
        case 1: {
            size_t length = random.Below(3) ? random.Below(300) : random.Below(140000);
            std::vector<char> a(length + 1), b(length + 1);
            size_t got = ours->read(a.data(), length);
            ASSERT_EQ(theirs.read(b.data(), length), got) << what;
            ASSERT_EQ(0, std::memcmp(a.data(), b.data(), got)) << what;
            ASSERT_EQ(theirs.getLastOffset(), ours->getLastOffset()) << what;
            break;
        }
        case 2:
            ASSERT_EQ(theirs.findAndSkipNextEOL(), ours->findAndSkipNextEOL()) << what;
            break;
        case 3:
            if (theirs.tell() > 0 && theirs.tell() <= size) {  // as qpdf does: the byte just read
                char last = bytes[size_t(theirs.tell() - 1)];
                ours->unreadCh(last);
                theirs.unreadCh(last);
            }
            break;
        default:
            ours->rewind();
            theirs.rewind();
        }
        ASSERT_EQ(theirs.tell(), ours->tell()) << what;
    }
}
