// The page list: what a folder, a choice of files or a drop puts in it, its
// thumbnails, and a conversion that marks each page as its run ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "gui/commands/resources.h"
#include "gui/commands/session.h"
#include "gui/pages/drop_text.h"
#include "gui/pages/list_conversion.h"
#include "gui/pages/page_strip.h"
#include "gui/pages/page_list.h"
#include "gui/pages/thumbnails.h"
#include "tests/gui/gui_fixture.h"
#include "tests/gui/platform_headless.h"
#include "tests/support/test_support.h"
#include "tga/tga.h"

using namespace testing_support;

namespace {

std::vector<std::string> Names(const std::vector<PageEntry>& entries)
{
    std::vector<std::string> names;
    for (const PageEntry& e : entries) names.push_back(e.name + (e.status == PAGE_REFUSED ? " !" : ""));
    return names;
}

void SaveGreyPage(const std::string& path, unsigned width, unsigned height, uint8_t value)
{
    TestImage image(width, height, PIXEL_GREY);
    std::memset(image.bitmap.pixels, value, image.Size());
    ASSERT_EQ(SaveTGA(path.c_str(), &image.bitmap), 1);
}

}  // namespace

TEST(PageList, NaturalOrder)
{
    std::vector<std::string> sorted = {"Page1.tga", "page2.tga", "page02.tga", "PAGE3.tga", "page10.tga",
                                       "page10a.tga", "page10b.tga", "page099999999999999999999.tga",
                                       "page100000000000000000000.tga", "scan.tga"};
    for (size_t i = 0; i + 1 < sorted.size(); i++) {
        EXPECT_TRUE(NaturalLess(sorted[i], sorted[i + 1])) << sorted[i] << " < " << sorted[i + 1];
        EXPECT_FALSE(NaturalLess(sorted[i + 1], sorted[i])) << sorted[i + 1] << " !< " << sorted[i];
    }
    EXPECT_FALSE(NaturalLess("page2.tga", "page2.tga"));
    // Equal names keep their order: pages of one file, one file given twice.
    std::vector<PageEntry> entries(3);
    entries[0].path = "/b/x.tif", entries[0].page = 1;
    entries[1].path = "/a/x.tif", entries[1].page = 0;
    entries[2].path = "/b/x.tif", entries[2].page = 0;
    SortPages(&entries);
    EXPECT_EQ(entries[0].path + std::to_string(entries[0].page) + entries[1].path + std::to_string(entries[1].page) +
                  entries[2].path + std::to_string(entries[2].page),
              "/a/x.tif0/b/x.tif0/b/x.tif1");
}

// Readable pages in natural order, a multi-page TIFF or PDF a page an entry,
// refused images listed with the reason, other files left out.
TEST(PageList, FolderAndChosenFiles)
{
    ScratchDir dir;
    for (const char* name : {"page10.tga", "page2.tga", "page1.TGA"}) SaveGreyPage(dir / name, 8, 8, 200);
    std::filesystem::copy_file(SourcePath("fuzz/seeds/formats/two_pages.tif"), dir / "page3.tif");
    std::filesystem::copy_file(SourcePath("fuzz/seeds/pdf/rotated.pdf"), dir / "page6.pdf");
    WriteFileBytes(dir / "page4.jpg", "pas une image");
    WriteFileBytes(dir / "page5.bmp", "BM\x10\0\0\0");
    WriteFileBytes(dir / "notes.txt", "à relire");
    WriteFileBytes(dir / ".cache.tga", "");
    std::filesystem::create_directory(dir / "sous-dossier.tga");
    std::vector<PageEntry> entries;
    std::string message;
    ASSERT_EQ(ListFolder(dir.path, &entries, &message), 1);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"page1.TGA", "page2.tga", "page3.tif p. 1",
                                                         "page3.tif p. 2", "page4.jpg !", "page5.bmp !",
                                                         "page6.pdf p. 1", "page6.pdf p. 2", "page10.tga"}));
    EXPECT_NE(entries[4].reason.find(dir / "page4.jpg"), std::string::npos);
    EXPECT_NE(entries[5].reason.find("BMP"), std::string::npos);
    EXPECT_EQ(PageResultName(entries[3]), "page3_p2.tif");
    EXPECT_EQ(ListFolder(dir / "absent", &entries, &message), 0);
    EXPECT_NE(message.find(dir / "absent"), std::string::npos);
    // Chosen files: a text file chosen is refused, not dropped; a folder
    // among them gives its pages.
    std::filesystem::create_directory(dir / "livre");
    SaveGreyPage(dir / "livre/p9.tga", 4, 4, 0);
    entries = ListFiles({dir / "page10.tga", dir / "notes.txt", dir / "livre", dir / "absent.tga"});
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"absent.tga !", "notes.txt !", "p9.tga", "page10.tga"}));
}

TEST(PageList, DropText)
{
    struct Case {
        const char* text;
        std::vector<std::string> paths;
    } cases[] = {
        {"file:///home/u/scan%2001.tif\r\nfile:///home/u/b.png\r\n", {"/home/u/scan 01.tif", "/home/u/b.png"}},
        {"file://localhost/a%C3%A9.tga\n# commentaire\n/plain/c%20d.tga", {"/aé.tga", "/plain/c%20d.tga"}},
        {"file://autre-machine/x.tga\nfile:///bad%00name.tga\nrelatif.tga\nhttp://x/y.tga\n", {}},
        {"file:///end%2\nfile:///pc%zz\nfile:///t%", {"/end%2", "/pc%zz", "/t%"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseDropText(c.text), c.paths) << c.text;
}

// Thumbnails: box means, then the workers fill a list, visible pages first
// once the range is asked for, and a second list is served from the cache.
TEST(PageList, Thumbnails)
{
    TestImage page(4, 2, PIXEL_RGB);
    const uint8_t rows[] = {10, 20, 30, 12, 22, 32, 100, 0, 0, 200, 0, 0, 14, 24, 34, 16, 26, 36, 0, 0, 50, 0, 0, 50};
    std::memcpy(page.bitmap.pixels, rows, sizeof rows);
    std::vector<uint8_t> bgr;
    int w, h;
    ASSERT_EQ(ScaleToThumbnail(&page.bitmap, 2, 2, &bgr, &w, &h), 1);
    EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({2, 1}));
    EXPECT_EQ(bgr, (std::vector<uint8_t>{33, 23, 13, 25, 0, 75}));  // B, G, R means, rounded
    ASSERT_EQ(ScaleToThumbnail(&page.bitmap, 90, 128, &bgr, &w, &h), 1);  // never enlarged
    EXPECT_EQ(w * 10 + h, 42);

    ScratchDir dir;
    for (int i = 1; i <= 6; i++) SaveGreyPage(dir / ("p" + std::to_string(i) + ".tga"), 300, 420, uint8_t(i * 40));
    WriteFileBytes(dir / "p7.tga", std::string(18, '\0'));  // listed, unreadable
    std::vector<PageEntry> list;
    std::string message;
    ASSERT_EQ(ListFolder(dir.path, &list, &message), 1);
    ThumbnailWorkers workers;
    std::string cache = dir / "vignettes/";
    for (int pass = 0; pass < 2; pass++) {
        for (PageEntry& e : list) e.thumb_state = THUMB_NONE, e.thumb.clear();
        StartThumbnails(&workers, list, cache, 2);
        WantThumbnails(&workers, 4, 5);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (ThumbnailsPending(&workers) && std::chrono::steady_clock::now() < deadline) {
            TakeThumbnails(&workers, &list);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        TakeThumbnails(&workers, &list);
        for (size_t i = 0; i < 6; i++) {
            const PageEntry& e = list[i];
            ASSERT_EQ(e.thumb_state, THUMB_READY) << e.name;
            EXPECT_EQ(e.thumb_width * 1000 + e.thumb_height, 90126) << e.name;
            EXPECT_EQ(e.thumb.at(0), uint8_t((i + 1) * 40)) << e.name;
        }
        EXPECT_EQ(list[6].thumb_state, THUMB_FAILED);
        EXPECT_EQ(ListFiles(cache).size(), 6u);
    }
    StopThumbnails(&workers);
}

// A conversion of four pages on two runs at once: each page's status as its
// run says, the right page handed to nivelo; then a cancel in the middle.
TEST(PageList, Conversion)
{
    HeadlessReset();
    ScratchDir dir;
    std::vector<PageEntry> list;
    for (const char* name : {"a.tga", "b.tga", "c.tga", "livre.tif"}) {
        PageEntry e;
        e.path = dir / name;
        e.name = name;
        list.push_back(e);
    }
    list[3].page = 1, list[3].page_count = 3;
    PageEntry refused;
    refused.status = PAGE_REFUSED;
    list.push_back(refused);
    std::vector<std::string> stays;  // names whose run is still going
    g_headless.stand_in = [&](const HeadlessRun& run) {
        std::string name = run.args.back(), said = run.output_header;
        if (name == "b.tga") said += "Error reading file b.tga\n";
        else said += (name == "c.tga" ? "1.250000\n" : "") + name + " done.\n";
        WriteFileBytes(run.output_path, said);
        for (const std::string& s : stays) g_headless.running |= s == name;
    };
    ListRunSetup setup{"/opt/nivelo", {"/cconf.txt"}, dir.path, dir / "conversion.txt", 2};
    ListConversion run;
    std::vector<size_t> pages = PagesToConvert(list);
    ASSERT_EQ(pages, (std::vector<size_t>{0, 1, 2, 3}));
    StartListConversion(&run, setup, pages, &list);
    EXPECT_EQ(g_headless.runs.size(), 2u);
    while (StepListConversion(&run, &list)) {
    }
    ASSERT_EQ(g_headless.runs.size(), 4u);
    const HeadlessRun& paged = g_headless.runs[3];
    EXPECT_EQ(paged.args, (std::vector<std::string>{"NIVELO_THREADS=1", "/opt/nivelo", "/cconf.txt", "/p2", "livre.tif"}));
    EXPECT_EQ(paged.working_directory, dir.path);
    std::vector<int> statuses;
    for (const PageEntry& e : list) statuses.push_back(e.status);
    EXPECT_EQ(statuses, (std::vector<int>{PAGE_CONVERTED, PAGE_FAILED, PAGE_CONVERTED, PAGE_CONVERTED, PAGE_REFUSED}));
    EXPECT_EQ(list[1].reason, "Error reading file b.tga\n");
    EXPECT_TRUE(list[2].angle_found && list[2].angle == 1.25);
    EXPECT_EQ(run.converted * 10 + run.failures.size(), 31u);
    EXPECT_NE(ReadFileBytes(dir / "conversion.txt").find("=== " + dir.path + "livre.tif [page 2]\n"), std::string::npos);
    std::string line1, line2;
    ProgressLines(run, 8.0, &line1, &line2);
    EXPECT_EQ(line1 + "|" + line2, "Conversion : page 4 / 4|8 s écoulées, environ 0 s restantes");

    // Cancel with c running: a and b ended, c and the TIFF page not converted.
    stays = {"c.tga"};
    setup.jobs = 1;
    StartListConversion(&run, setup, pages, &list);
    while (g_headless.running == 0 && StepListConversion(&run, &list)) {
    }
    ProgressLines(run, 6.0, &line1, &line2);
    EXPECT_EQ(line1 + "|" + line2, "Conversion : page 3 / 4|6 s écoulées, environ 6 s restantes");
    CancelListConversion(&run, &list);
    EXPECT_EQ(g_headless.kills, 1);
    EXPECT_EQ(StepListConversion(&run, &list), 0);
    statuses.clear();
    for (const PageEntry& e : list) statuses.push_back(e.status);
    EXPECT_EQ(statuses, (std::vector<int>{PAGE_CONVERTED, PAGE_FAILED, PAGE_NOT_CONVERTED, PAGE_NOT_CONVERTED, PAGE_REFUSED}));
    EXPECT_EQ(PagesLeft(run), 2u);
    // Moving passes over the refused page; the strip's status lines.
    EXPECT_EQ(std::vector<int>({StepPage(list, 3, 1), StepPage(list, 0, -1), StepPage(list, 4, -1), StepPage(list, 1, 1)}),
              std::vector<int>({3, 0, 3, 2}));
    list[0].angle_found = 1, list[0].angle = -0.5;
    std::vector<std::string> texts;
    for (const PageEntry& e : list) texts.push_back(PageStatusText(e));
    EXPECT_EQ(texts, (std::vector<std::string>{"convertie, -0.50°", "en échec", "non convertie", "non convertie", "refusée"}));
    list[2].selected = 1;
    EXPECT_EQ(PagesToConvert(list), std::vector<size_t>{2});
    EXPECT_EQ(TargetImages(list, {3}), std::vector<std::string>{dir / "livre_p2.tif"});
}

namespace {

using gui_testing::GuiTest;
using gui_testing::MaskOf;

std::vector<std::string> StripNames()
{
    std::vector<std::string> names;
    for (const HeadlessStripItem& item : g_headless.strip)
        names.push_back(item.name + (item.current ? "*" : "") + (item.selected ? "+" : "") + " " + item.status);
    return names;
}

}  // namespace

// The list in the window: a folder opened, moves that keep the settings and
// remake the previews, the selection converted, then every page, a drop, and
// the folder back at the next start.
TEST_F(GuiTest, PageListInTheWindow)
{
    std::string book = start_ + "livre/", out = start_ + "out/";
    std::filesystem::create_directories(book);
    for (const char* name : {"p10.tga", "p2.tga", "p1.tga"}) SaveGreyPage(book + name, 64, 90, 128);
    WriteFileBytes(book + "bad.jpg", "pas une image");
    std::strcpy(app_.params.REPERTOIRE2, out.c_str());
    app_.params.SAUVEGARDE1 = 0;
    auto nivelo = g_headless.stand_in;
    g_headless.stand_in = [&](const HeadlessRun& run) {
        if (run.program != "env") return nivelo(run);
        WriteFileBytes(run.output_path, run.output_header + (run.args.back() == "p10.tga" ? "" : "0.500000\n" + run.args.back() + " done.\n"));
    };
    g_headless.folder_answers.push_back(book);
    HeadlessMenu(ID_OPEN_FOLDER);
    EXPECT_EQ(g_headless.strip_width, kStripWidth);
    EXPECT_EQ(StripNames(), (std::vector<std::string>{"bad.jpg refusée", "p1.tga* non convertie",
                                                       "p2.tga non convertie", "p10.tga non convertie"}));
    EXPECT_NE(g_headless.strip[0].tip.find(book + "bad.jpg :"), std::string::npos);
    EXPECT_EQ(g_headless.title, "Nivelo gui v1.0 - p1.tga");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!g_headless.strip[3].has_pixels && std::chrono::steady_clock::now() < deadline) PlatformWaitEvents();
    EXPECT_TRUE(g_headless.strip[1].has_pixels && g_headless.strip[3].has_pixels && !g_headless.strip[0].has_pixels);

    // Moves: keys pass over the refused page and stop at the ends; a click.
    app_.params.BLUR_RADIUS = 7;
    struct Move {
        std::function<void()> act;
        const char* title;  // empty: no run
    } moves[] = {{[] { HeadlessMenu(ID_PREVIOUS_PAGE); }, ""},
                 {[] { HeadlessMenu(ID_NEXT_PAGE); }, "p2.tga"},
                 {[] { HeadlessStripClick(3, 0); }, "p10.tga"},
                 {[] { HeadlessMenu(ID_NEXT_PAGE); }, ""},
                 {[] { HeadlessStripClick(1, 0); }, "p1.tga"}};
    for (const Move& m : moves) {
        size_t runs = Runs();
        m.act();
        EXPECT_EQ(Runs(), runs + (m.title[0] != '\0')) << m.title;
        if (m.title[0] != '\0') {
            EXPECT_EQ(g_headless.runs.back().args.back(), book + m.title);
            EXPECT_EQ(MaskOf(g_headless.runs.back()), kAllStageImages);
        }
    }
    EXPECT_EQ(app_.params.BLUR_RADIUS, 7);
    EXPECT_EQ(g_headless.title, "Nivelo gui v1.0 - p1.tga");

    // Ctrl+click selects p2 and p10 for "Convertir": p10 fails.
    HeadlessStripClick(2, 1), HeadlessStripClick(3, 1);
    g_headless.question_answers = {1};  // "Fermer" under the summary
    HeadlessMenu(ID_CONVERT);
    EXPECT_EQ(StripNames(), (std::vector<std::string>{"bad.jpg refusée", "p1.tga* non convertie",
                                                       "p2.tga+ convertie, 0.50°", "p10.tga+ en échec"}));
    EXPECT_EQ(g_headless.messages.back().rfind("1 image convertie, 1 en échec", 0), 0u);
    HeadlessStripClick(2, 1), HeadlessStripClick(3, 1);
    g_headless.question_answers = {0, 1};  // replace p2's result; "Fermer"
    HeadlessMenu(ID_CONVERT);
    EXPECT_EQ(g_headless.messages.back().rfind("2 images converties, 2 en échec", 0), 0u);
    EXPECT_NE(g_headless.messages.back().find(book + "bad.jpg :\n"), std::string::npos);

    // A drop replaces the list; the folder opened last comes back.
    HeadlessDrop("file://" + book + "p2.tga\r\nfile://" + book + "p1.tga\r\n");
    EXPECT_EQ(StripNames(), (std::vector<std::string>{"p1.tga* non convertie", "p2.tga non convertie"}));
    RememberSettings(app_);
    End();
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(g_headless.strip.size(), 0u);  // files were dropped: no folder to reopen
    g_headless.folder_answers.push_back(book);
    HeadlessMenu(ID_OPEN_FOLDER);
    RememberSettings(app_);
    End();
    ASSERT_EQ(Start(), 1);
    EXPECT_EQ(g_headless.strip.size(), 4u);
}
