// The pages nivelo_gui works on: every page of the files and folders the
// user opened, in natural order, each with what is known of it (readable or
// refused, converted or failed, the angle found, its thumbnail).
//
// A file is listed when its name has an image extension nivelo reads or
// when its first bytes carry an image signature; the content decides
// whether it is readable.  A listed file nivelo cannot read stays in the
// list, marked refused with the reason, so that the user sees why a page of
// the book is missing instead of losing it silently.  A multi-page TIFF or
// PDF file gives one entry a page.
//
// Functions:
//   NaturalLess          order of names: "page2" before "page10"
//   SortPages            natural order of the entries, stable
//   AddFilePages         the pages of one file
//   ListFolder           the pages of a folder's files (not its subfolders)
//   ListFiles            the pages of files and folders, as given or dropped
//   PageResultName       the name nivelo gives a page's results
//   PageStatusText       the status line of the strip
//   StepPage             the previous or next readable page
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/state/page_entry.h"

// Natural order of two names: case ignored for ASCII letters, runs of
// digits compared as numbers ("p9" < "p10", "p007" = "p7" by value, then
// the shorter run first so the order is total).  Strict weak ordering.
bool NaturalLess(const std::string& a, const std::string& b);

// Sorts by name in natural order, then by page; equal keys keep their order.
void SortPages(std::vector<PageEntry>* entries);

// Appends the pages of one file (path as given).  A file found in a folder
// (chosen 0) that is no image at all, by name or by content, is not one of
// the user's pages and adds nothing; a file the user chose is always
// listed, refused when nivelo cannot read it.  Returns the entries added.
size_t AddFilePages(const std::string& path, int chosen, std::vector<PageEntry>* entries);

// The pages of the regular files directly in folder, hidden files left
// out, in natural order.  Returns 1, or 0 with *message set (in French,
// naming the folder) when the folder cannot be read.
int ListFolder(const std::string& folder, std::vector<PageEntry>* entries, std::string* message);

// The pages of paths (files, or folders read as ListFolder does) in natural
// order.  A path that is neither is listed refused, with the reason.
std::vector<PageEntry> ListFiles(const std::vector<std::string>& paths);

// What nivelo names the results of the entry: the file name, with "_p<n>"
// before its extension for a page of a multi-page file (nivelo's /p<n>).
std::string PageResultName(const PageEntry& entry);

// The second line the strip shows under a page's name: "non convertie",
// "convertie, 1.25°", "en échec", "refusée".
std::string PageStatusText(const PageEntry& entry);

// The page delta steps away from `from` (-1: previous, 1: next), passing
// over refused pages, which cannot be shown; `from` itself when there is
// none that way.
int StepPage(const std::vector<PageEntry>& entries, int from, int delta);
