// nivelo-assemble: nivelo's page results, in the order given, into one PDF
// or one multi-page TIFF.
//
//   nivelo-assemble --pdf|--tiff SORTIE [--titre TITRE] [--liste FICHIER | PAGE...]
//
// --liste reads the page names from a file, separated by NUL bytes, as they
// come: a list too long for a command line, or a pipe that names each page
// when it is done.  Pages are read and written one at a time.  Exit status:
// 0 the document is written and nothing is printed; 1 a page could not be
// read or the document not written, after one message, and no file is left
// under SORTIE's name (an earlier file of that name stays as it was); 2 the
// command line is wrong.  An interrupt or termination signal removes the
// temporary file before the program ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/support.h"
#include "documents/page_image.h"
#include "documents/pdf_writer.h"
#include "documents/tiff_assembly.h"

namespace {

constexpr int kWritten = 0;
constexpr int kNotWritten = 1;
constexpr int kUsage = 2;

struct Request {
    bool pdf = false, tiff = false;
    const char* output = nullptr;
    const char* title = nullptr;
    const char* list = nullptr;
    int first_page = 0, page_count = 0;  // in argv
};

int Usage(const char* why, const char* what = "")
{
    ReportError("nivelo-assemble : %s%s\n"
                "usage : nivelo-assemble --pdf|--tiff SORTIE [--titre TITRE] [--liste FICHIER | PAGE...]\n",
                why, what);
    return 0;
}

int ParseArguments(int argc, char** argv, Request* r)
{
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; i++) {
        const char* option = argv[i];
        if (std::strcmp(option, "--") == 0) {
            i++;
            break;
        }
        bool known = std::strcmp(option, "--pdf") == 0 || std::strcmp(option, "--tiff") == 0 ||
                     std::strcmp(option, "--titre") == 0 || std::strcmp(option, "--liste") == 0;
        if (!known) return Usage("option inconnue : ", option);
        if (i + 1 >= argc) return Usage("il manque la valeur de l'option ", option);
        const char* value = argv[++i];
        bool pdf = std::strcmp(option, "--pdf") == 0;
        if (pdf || std::strcmp(option, "--tiff") == 0) {
            if (r->output != nullptr) return Usage("un seul document à la fois : --pdf ou --tiff, une fois");
            r->output = value;
            (pdf ? r->pdf : r->tiff) = true;
        } else if (std::strcmp(option, "--titre") == 0) {
            r->title = value;
        } else {
            r->list = value;
        }
    }
    r->first_page = i;
    r->page_count = argc - i;
    if (r->output == nullptr) return Usage("il manque --pdf SORTIE ou --tiff SORTIE");
    if (r->list != nullptr && r->page_count > 0) return Usage("des pages ou --liste, pas les deux");
    if (r->list == nullptr && r->page_count == 0) return Usage("aucune page");
    return 1;
}

// The page names in turn: from the command line, or read from the list as
// they are needed.
struct PageNames {
    char** argv;
    int next, end;
    FILE* list;
    const char* list_name;
    char* line;
    size_t capacity;
};

// 1 and *name, 0 at the end, -1 after a message when the list cannot be read.
int NextPage(PageNames* n, const char** name)
{
    if (n->list == nullptr) {
        if (n->next >= n->end) return 0;
        *name = n->argv[n->next++];
        return 1;
    }
    for (;;) {
        ssize_t got = getdelim(&n->line, &n->capacity, '\0', n->list);
        if (got < 0) {
            if (std::ferror(n->list) == 0) return 0;
            ReportError("%s : lecture de la liste des pages impossible\n", n->list_name);
            return -1;
        }
        if (got > 0 && n->line[0] != '\0') {  // empty names, as a trailing NUL leaves, are skipped
            *name = n->line;
            return 1;
        }
    }
}

struct Document {
    bool pdf;
    PdfWriter pdf_writer;
    TiffAssembly tiff;
};

int Begin(Document* d, const Request& r)
{
    return d->pdf ? BeginPdf(&d->pdf_writer, r.output, r.title) : BeginTiff(&d->tiff, r.output);
}

int Add(Document* d, const char* name, PageImage* page)
{
    return d->pdf ? AddPdfPage(&d->pdf_writer, name, page) : AddTiffPage(&d->tiff, name, page);
}

int Assemble(const Request& r, PageNames* names)
{
    Document* d = new Document;
    d->pdf = r.pdf;
    if (!Begin(d, r)) {
        delete d;
        return kNotWritten;
    }
    int status = kWritten, got = 0;
    uint32_t pages = 0;
    const char* name = nullptr;
    while (status == kWritten && (got = NextPage(names, &name)) == 1) {
        PageImage page;
        if (!LoadPageImage(name, d->pdf ? 0 : 1, &page)) {
            status = kNotWritten;
            break;
        }
        if (!Add(d, name, &page)) status = kNotWritten;
        FreePageImage(&page);
        pages++;
    }
    if (got < 0) status = kNotWritten;
    if (status == kWritten && pages == 0) {
        ReportError("%s : la liste ne nomme aucune page, %s n'est pas écrit\n", r.list, r.output);
        status = kUsage;
    }
    if (status == kWritten && !(d->pdf ? FinishPdf(&d->pdf_writer) : FinishTiff(&d->tiff))) status = kNotWritten;
    if (status != kWritten) d->pdf ? AbandonPdf(&d->pdf_writer) : AbandonTiff(&d->tiff);
    delete d;
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    Request r;
    if (!ParseArguments(argc, argv, &r)) return kUsage;
    PageNames names = {argv, r.first_page, argc, nullptr, r.list, nullptr, 0};
    if (r.list != nullptr && (names.list = OpenFile(r.list, "rb")) == nullptr) return kNotWritten;
    int status = Assemble(r, &names);
    if (names.list != nullptr) std::fclose(names.list);
    std::free(names.line);
    return status;
}
