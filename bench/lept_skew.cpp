// A peer for the skew accuracy table: leptonica's sweep-and-search skew
// finder on one page.  Prints "<angle> <confidence>" (degrees, positive when
// the lines rise to the right, as nivelo's); a confidence of 0 means that
// leptonica could not measure the page.  Built by make bench only where
// libleptonica-dev is installed.
#include <cstdio>

#include <leptonica/allheaders.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lept_skew <page>\n");
        return 2;
    }
    setMsgSeverity(L_SEVERITY_NONE);
    PIX* page = pixRead(argv[1]);
    if (page == nullptr) {
        std::fprintf(stderr, "lept_skew: cannot read %s\n", argv[1]);
        return 1;
    }
    // Leptonica's own deskew binarizes at 160 of 255; the sweep is on a copy
    // reduced 4 times, the search on one reduced twice, as its defaults do,
    // over the same half-range as nivelo's default AFFINAGE_PLAGE.
    PIX* binary = pixConvertTo1(page, 160);
    l_float32 angle = 0.0f, confidence = 0.0f;
    if (binary == nullptr || pixFindSkewSweepAndSearch(binary, &angle, &confidence, 4, 2, 10.0f, 1.0f, 0.01f) != 0)
        confidence = 0.0f;
    std::printf("%f %f\n", double(angle), double(confidence));
    pixDestroy(&binary);
    pixDestroy(&page);
    return 0;
}
