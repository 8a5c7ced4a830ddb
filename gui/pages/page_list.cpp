#include "gui/pages/page_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/support.h"
#include "documents/load_document.h"
#include "formats/formats.h"
#include "formats/known_formats.h"
#include "formats/messages.h"

namespace {

// A PDF's "%PDF-" may come anywhere in its first 1024 bytes; every image
// signature, and a TGA header, lie within them too.
constexpr size_t kHeadBytes = 1024;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// -1, 0 or 1 as the digit run a[i..) compares with b[j..) by value; the
// indexes move past both runs.  Leading zeros are skipped so that no run is
// ever turned into a number that could overflow.
int CompareDigitRuns(const std::string& a, size_t* i, const std::string& b, size_t* j, int* zeros)
{
    size_t ai = *i, bj = *j;
    while (ai < a.size() && a[ai] == '0') ai++;
    while (bj < b.size() && b[bj] == '0') bj++;
    size_t ae = ai, be = bj;
    while (ae < a.size() && IsDigit(a[ae])) ae++;
    while (be < b.size() && IsDigit(b[be])) be++;
    // Equal values: the run with fewer leading zeros first, decided only
    // when nothing else differs.
    if (*zeros == 0) *zeros = (ai - *i) < (bj - *j) ? -1 : (ai - *i) > (bj - *j) ? 1 : 0;
    *i = ae, *j = be;
    if (ae - ai != be - bj) return ae - ai < be - bj ? -1 : 1;
    int c = a.compare(ai, ae - ai, b, bj, be - bj);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int NaturalCompare(const std::string& a, const std::string& b)
{
    size_t i = 0, j = 0;
    int zeros = 0, exact = 0;  // tie breakers: leading zeros, then case
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            int c = CompareDigitRuns(a, &i, b, &j, &zeros);
            if (c != 0) return c;
            continue;
        }
        char x = Lower(a[i]), y = Lower(b[j]);
        if (x != y) return (unsigned char)x < (unsigned char)y ? -1 : 1;
        if (exact == 0 && a[i] != b[j]) exact = (unsigned char)a[i] < (unsigned char)b[j] ? -1 : 1;
        i++, j++;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    return zeros != 0 ? zeros : exact;
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string Extension(const std::string& path)
{
    std::string name = BaseName(path), extension;
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0) return "";
    for (char c : name.substr(dot + 1)) extension += Lower(c);
    return extension;
}

bool ExtensionIs(const std::string& path, const char* extension) { return Extension(path) == extension; }

bool HasImageExtension(const std::string& path)
{
    for (const char* known : known_formats::kReadExtensions)
        if (ExtensionIs(path, known)) return true;
    return false;
}

struct Sniffed {
    int image_like = 0;  // a signature, of any image format
    int readable = 0;
    int paged = 0;  // TIFF or PDF: pages counted by the documents layer
    std::string reason;
};

// What the first bytes say, with the readers' own verdict for a file they would
// refuse (held, not shown: the list shows it).
Sniffed Sniff(const std::string& path)
{
    Sniffed s;
    uint8_t head[kHeadBytes];
    size_t got = 0;
    std::string held;
    HoldReports(&held);
    ReadFileHead(path.c_str(), head, sizeof head, &got);
    const char* other = nullptr;
    FileKind kind = SniffKind(head, got, &other);
    bool pdf = kind != KIND_TIFF && kind != KIND_PNG && kind != KIND_JPEG && LooksLikePdf(head, got);
    s.image_like = kind != KIND_NONE || pdf;
    s.paged = kind == KIND_TIFF || pdf;
    s.readable = kind == KIND_TIFF || kind == KIND_PNG || kind == KIND_JPEG || pdf;
    // TGA has no signature: its name or a header that could be its own.
    if (kind == KIND_NONE && got > 0) {
        s.readable = ExtensionIs(path, "tga") || PlausibleTgaHeader(head, got);
    }
    if (!s.readable && held.empty()) RefuseNotAnImage(path.c_str(), other);
    HoldReports(nullptr);
    s.reason = held;
    return s;
}

PageEntry Refused(const std::string& path, const std::string& reason)
{
    PageEntry entry;
    entry.path = path;
    entry.name = BaseName(path);
    entry.status = PAGE_REFUSED;
    entry.reason = reason;
    return entry;
}

bool IsDirectory(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) { return NaturalCompare(a, b) < 0; }

void SortPages(std::vector<PageEntry>* entries)
{
    std::stable_sort(entries->begin(), entries->end(), [](const PageEntry& a, const PageEntry& b) {
        int c = NaturalCompare(BaseName(a.path), BaseName(b.path));
        if (c == 0) c = NaturalCompare(a.path, b.path);
        return c != 0 ? c < 0 : a.page < b.page;
    });
}

size_t AddFilePages(const std::string& path, int chosen, std::vector<PageEntry>* entries)
{
    Sniffed s = Sniff(path);
    if (!chosen && !s.image_like && !HasImageExtension(path)) return 0;
    if (!s.readable) {
        entries->push_back(Refused(path, s.reason));
        return 1;
    }
    // Pages are counted without decoding one: a TIFF file's directories, a
    // PDF's page tree.  A file whose library cannot follow it is refused
    // with the library's word.
    uint32_t count = 1;
    std::string held;
    HoldReports(&held);
    int counted = !s.paged || DocumentPageCount(path.c_str(), &count);
    HoldReports(nullptr);
    if (!counted || count == 0) {
        entries->push_back(Refused(path, held.empty() ? path + " : aucune page\n" : held));
        return 1;
    }
    for (uint32_t page = 0; page < count; page++) {
        PageEntry entry;
        entry.path = path;
        entry.page = page;
        entry.page_count = count;
        entry.name = BaseName(path);
        if (count > 1) entry.name += " p. " + std::to_string(page + 1);
        entries->push_back(std::move(entry));
    }
    return count;
}

int ListFolder(const std::string& folder, std::vector<PageEntry>* entries, std::string* message)
{
    std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    DIR* dir = opendir(prefix.empty() ? "." : prefix.c_str());
    if (dir == nullptr) {
        *message = "Impossible de lire le dossier " + folder + " : " + std::strerror(errno);
        return 0;
    }
    std::vector<std::string> names;
    while (dirent* item = readdir(dir)) {
        if (item->d_name[0] == '.') continue;
        std::string path = prefix + item->d_name;
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.push_back(path);
    }
    closedir(dir);
    // readdir's order is the file system's: sort first so that the pages of
    // one file stay in page order after the stable sort below.
    std::sort(names.begin(), names.end());
    std::vector<PageEntry> found;
    for (const std::string& path : names) AddFilePages(path, 0, &found);
    SortPages(&found);
    for (PageEntry& entry : found) entries->push_back(std::move(entry));
    return 1;
}

std::vector<PageEntry> ListFiles(const std::vector<std::string>& paths)
{
    std::vector<PageEntry> entries;
    for (const std::string& path : paths) {
        std::string message;
        struct stat info;
        if (IsDirectory(path)) {
            if (!ListFolder(path, &entries, &message)) entries.push_back(Refused(path, message + "\n"));
        } else if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            entries.push_back(Refused(path, path + " : fichier introuvable ou illisible\n"));
        } else {
            AddFilePages(path, 1, &entries);
        }
    }
    SortPages(&entries);
    return entries;
}

std::string PageResultName(const PageEntry& entry)
{
    std::string name = BaseName(entry.path);
    if (entry.page_count <= 1) return name;
    std::string tag = "_p" + std::to_string(entry.page + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name + tag : name.substr(0, dot) + tag + name.substr(dot);
}

std::string PageStatusText(const PageEntry& entry)
{
    switch (entry.status) {
    case PAGE_CONVERTED: {
        if (!entry.angle_found) return "convertie";
        char text[48];
        std::snprintf(text, sizeof text, "convertie, %.2f°", entry.angle);
        return text;
    }
    case PAGE_FAILED: return "en échec";
    case PAGE_REFUSED: return "refusée";
    default: return "non convertie";
    }
}

int StepPage(const std::vector<PageEntry>& entries, int from, int delta)
{
    int count = int(entries.size());
    for (int i = from + delta; i >= 0 && i < count; i += delta)
        if (entries[size_t(i)].status != PAGE_REFUSED) return i;
    return from;
}
