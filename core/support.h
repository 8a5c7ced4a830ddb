// Memory, file and error routines.  Each reports its own failure once, with a
// fixed message, and returns 0 or null; callers only test the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Prints a printf-style message.  nivelo prints it on standard output;
// nivelo_gui shows it in a modal box titled "Error".  No newline is added.
void ReportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// nivelo only: while `into` is set, this thread's reports are appended to it
// instead of printed, so that work done side by side can print its messages
// in a fixed order afterwards.  Null prints again.
void HoldReports(std::string* into);

// Heap block of count bytes (contents undefined), or null after
// "Not enough memory\n".  A count of 0 succeeds.
void* AllocMemory(size_t count);
// As AllocMemory, zero-filled.
void* AllocZeroed(size_t count);
// Releases *block if not null and sets it to null, so a second call does nothing.
void FreeMemoryBlock(void** block);
template <class T>
inline void FreeMemory(T** block)
{
    void* p = *block;
    FreeMemoryBlock(&p);
    *block = nullptr;
}

// Opens path with mode "rb" or "wb"; null after "Could not open file %s\n".
FILE* OpenFile(const char* path, const char* mode);

// Reads up to size first bytes of a file into head, *got of them: what a
// file's signature is sniffed from.  0 after OpenFile's message.
int ReadFileHead(const char* path, uint8_t* head, size_t size, size_t* got);
// The whole file into *bytes (freed by the caller with FreeMemory), *size
// of them.  0 after OpenFile's, AllocMemory's or "Error reading file %s\n".
int ReadWholeFile(const char* path, uint8_t** bytes, size_t* size);
// Closes *stream if open and sets it to null.
void CloseFile(FILE** stream);
// Reads exactly count bytes.  On a short read prints "Error reading file %s\n"
// (or "Read error\n" when name is null), closes the stream and returns 0.
int ReadBytes(FILE** stream, void* buffer, size_t count, const char* name);
// Writes count bytes.  On failure prints "Error writing file %s\n" (or
// "Write error\n"), closes the stream and returns 0.
int WriteBytes(FILE** stream, const void* buffer, size_t count, const char* name);

// A result file being written.  It is written under a temporary name in the
// same directory and renamed over its own name only when complete and synced
// to disk, so that a failed save (full disk, I/O error) or a power cut leaves
// any earlier file of that name intact and no partial file behind.  A name
// that is a symbolic link is written through it: the file it leads to is
// replaced.  Messages name the intended file.
struct OutputFile {
    FILE* stream;       // null once closed
    char path[256];     // the intended name
    char target[4096];  // the file replaced: path, or where its links lead
    char temp[4400];    // the name being written, next to target
};

// Opens a new temporary file next to path for writing; 0 after
// "Could not open file %s\n" (with path) when it cannot.
int OpenOutputFile(OutputFile* file, const char* path);
// WriteBytes for the bulk of a result: large buffers go out a few
// megabytes at a time, each handed to the disk at once, so that the sync of
// CommitOutputFile has little left to wait for.
int WriteOutputBytes(OutputFile* file, const void* buffer, size_t count);
// Flushes, syncs, closes and renames the file over its name, then syncs the
// folder.  0 after
// "Error writing file %s\n" when any of that fails; the temporary file is
// then removed.
int CommitOutputFile(OutputFile* file);
// Closes the stream if still open and removes the temporary file.
void AbortOutputFile(OutputFile* file);
