// A peer for the orientation table: leptonica's pixOrientDetect and
// makeOrientDecision with their default thresholds, on each page named.
// Prints "<page> <turn>" per page, the clockwise turn in degrees that puts
// the page upright as nivelo's probe does, "-" when leptonica does not
// decide; last, the detection's mean time a page.  Built by make bench
// only where libleptonica-dev is installed.
#include <chrono>
#include <cstdio>

#include <leptonica/allheaders.h>

int main(int argc, char** argv)
{
    setMsgSeverity(L_SEVERITY_NONE);
    double seconds = 0.0;
    for (int i = 1; i < argc; i++) {
        PIX* page = pixRead(argv[i]);
        PIX* binary = page != nullptr ? pixConvertTo1(page, 160) : nullptr;
        l_float32 up = 0.0f, left = 0.0f;
        l_int32 orient = L_TEXT_ORIENT_UNKNOWN;
        auto start = std::chrono::steady_clock::now();
        if (binary != nullptr && pixOrientDetect(binary, &up, &left, 0, 0) == 0)
            makeOrientDecision(up, left, 0.0f, 0.0f, &orient, 0);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // LEFT: the text was turned a quarter anticlockwise; RIGHT: clockwise.
        const char* turn = orient == L_TEXT_ORIENT_UP      ? "0"
                           : orient == L_TEXT_ORIENT_LEFT  ? "90"
                           : orient == L_TEXT_ORIENT_DOWN  ? "180"
                           : orient == L_TEXT_ORIENT_RIGHT ? "270"
                                                           : "-";
        std::printf("%s %s\n", argv[i], turn);
        pixDestroy(&binary);
        pixDestroy(&page);
    }
    if (argc > 1) std::printf("time %.1f ms a page\n", 1000.0 * seconds / (argc - 1));
    return 0;
}
