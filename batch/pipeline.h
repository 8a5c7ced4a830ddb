// The body of nivelo: one image a run, through the fixed pipeline.
#pragma once

#include "core/bitmap.h"
#include "core/image_facts.h"
#include "documents/carry_over.h"

// Runs nivelo with its command line, each image in turn.  The result is the
// exit status: 0 when every image was read and every result asked for was
// written, 1 when an image could not be read or a result was not written,
// 2 for a usage or configuration error (nothing read, nothing written).
int RunNivelo(int argc, char** argv);

// /n: for each image of the command and each of its pages, the names of the
// results a run would write, as records of six fields, each ended by a NUL
// byte: the image name as given; the page number to give with /p (0 for a
// file of one page when /p is not given: its results carry no number); the
// file's page count; the final result's name; the intermediate result's
// name (empty when its save is off); and the message that keeps the page
// from being written (empty when none).  An image that cannot be opened
// gives one record, page and count 0, with its message.  Nothing else goes
// to standard output, no pixel is read and nothing is written.  Returns 0,
// or 1 when a record holds a message.
int ListResultNames();

// Writes image into directory under the image's name (with "_p<n>" after
// it when /p chose a page) and the extension of FORMAT_SORTIE (".tif" with /b
// and TGA, ".tga" otherwise), marked with the scan's resolution from facts;
// grey or indexed sources and /b results are saved as a grey copy.  A
// missing folder of the name is created.  Returns 1 when the file was
// written; failures are reported by the writers and counted as unwritten
// results.
int SaveStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts);

// SaveStage for the final result, which writes the source's own coded
// stream instead when it gives back exactly the image (documents/carry_over.h);
// coded may be null.
int SaveFinalStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts,
                   const CodedPage* coded);

// The results of the image being treated that were asked for and not
// written; any thread may note one.  StartImageResults begins the count of
// the next image, whose results may not take the names of earlier images'.
void NoteUnwrittenResult();
void StartImageResults();
int UnwrittenResults();

// Creates the missing folders of a result's name, saying so.  0 after a
// message when one cannot be made (the write would fail: it is not tried).
int MakeResultFolders(const char* path);

// SaveStage on a thread of its own, so that writing the intermediate result
// and waiting for the disk overlap the angle detection.  The image must stay
// unchanged until FinishSaveStage, which waits for the save (and does nothing
// when none is under way).  Where no thread can be had the save is made at once.
void StartSaveStage(const BITMAP* image, const char* directory, int grey_source, const ImageFacts* facts);
void FinishSaveStage();

// Builds directory + image name with the extension replaced or appended.
// Returns 0, with a message, when the name does not fit 255 characters.
int BuildOutputName(const char* directory, const char* image_name, const char* extension, char* out);

// The name of image_name's result in directory, as SaveStage writes it with
// the command's flags: "_p<page + 1>" after the name when page_given, the
// extension of FORMAT_SORTIE.  0, with a message, when it does not fit 255
// characters.
int ResultName(const char* directory, const char* image_name, int page_given, uint32_t page, char* out);

// The image name with "_p<page + 1>" before its extension ("scan.tif", page
// 2: "scan_p3.tif").  Returns 0, with a message, when it does not fit 255
// characters.
int PageTaggedName(const char* image_name, uint32_t page, char* out);
