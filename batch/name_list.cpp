// nivelo /n: the names of the results a run would write, for callers such
// as nivelo-batch that must know them before the run (to skip pages already
// done, to find two pages with one result, to assemble a document) and
// should never guess them with rules of their own.  Fields end with a NUL
// byte, so that any name (blanks, quotes, backslashes, line ends, any
// encoding) reads back as it is.
#include <cstdio>
#include <cstring>
#include <string>

#include "batch/params.h"
#include "batch/pipeline.h"
#include "core/support.h"
#include "documents/load_document.h"

namespace {

void PutField(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\0', stdout);
}

// Messages end with a line end on the console; a field holds none.
void PutMessage(std::string said)
{
    while (!said.empty() && said.back() == '\n') said.pop_back();
    PutField(said.c_str());
}

void PutRecord(const std::string& image, uint32_t page, uint32_t count, const char* final_name,
               const char* middle_name, const std::string& said)
{
    PutField(image.c_str());
    PutField(std::to_string(page).c_str());
    PutField(std::to_string(count).c_str());
    PutField(final_name);
    PutField(middle_name);
    PutMessage(said);
}

// One page's record; 0 when a name could not be made.
int ListPage(const std::string& image, int page_given, uint32_t page, uint32_t count)
{
    char final_name[kTextSize] = "", middle_name[kTextSize] = "";
    std::string said;
    HoldReports(&said);
    const char* name = image.c_str();
    int final_ok = !g_params.SAUVEGARDE2 || ResultName(g_params.REPERTOIRE2, name, page_given, page, final_name);
    int middle_ok = !g_params.SAUVEGARDE1 || ResultName(g_params.REPERTOIRE1, name, page_given, page, middle_name);
    HoldReports(nullptr);
    PutRecord(image, page_given ? page + 1 : 0, count, final_name, middle_name, said);
    return final_ok && middle_ok;
}

// Every page of one image: the page /p chose, the only page of a file of
// one, or each page of a file of several as /p<n> would name it.
int ListImage(const std::string& image)
{
    std::string said;
    if (image.size() >= size_t(kTextSize)) {
        said = "nom d'image trop long (plus de 255 caractères): \"" + image + "\"";
        PutRecord(image, 0, 0, "", "", said);
        return 0;
    }
    uint32_t count = 0;
    HoldReports(&said);
    int opened = DocumentPageCount(image.c_str(), &count);
    HoldReports(nullptr);
    if (!opened) {
        PutRecord(image, 0, 0, "", "", said);
        return 0;
    }
    if (g_command.page_given && g_command.page >= count) {
        said = image + " : le fichier a " + std::to_string(count) + " page(s), il n'a pas de page " +
               std::to_string(g_command.page + 1);
        PutRecord(image, g_command.page + 1, count, "", "", said);
        return 0;
    }
    if (g_command.page_given) return ListPage(image, 1, g_command.page, count);
    if (count == 1) return ListPage(image, 0, 0, 1);
    int ok = 1;
    for (uint32_t page = 0; page < count; page++) ok = ListPage(image, 1, page, count) && ok;
    return ok;
}

}  // namespace

int ListResultNames()
{
    int ok = 1;
    for (const std::string& image : g_command.images) ok = ListImage(image) && ok;
    return ok ? 0 : 1;
}
