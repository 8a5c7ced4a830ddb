// What it takes for a renamed result to survive a power cut or an
// interrupted run, on systems that offer it (elsewhere these do nothing and
// succeed).
#pragma once

#include <cstdint>
#include <cstdio>

// Forces the stream's written bytes onto the disk (after fflush).  0 when
// the system reports that it could not.
int SyncStreamToDisk(FILE* stream);
// Asks the system to start writing the stream's bytes from `offset` on to
// the disk now, without waiting (after fflush): a large file then reaches
// the disk while the rest of it is being written, and the sync before its
// rename waits for little.  Changes nothing that is read back.
void StartWriteback(FILE* stream, uint64_t offset, uint64_t count);
// Forces the folder holding path onto the disk, so that a rename into it is
// kept.  0 when the system reports that it could not.
int SyncFolderOf(const char* path);
// While a temporary file is being written, an interrupt or termination
// signal removes it before the program ends, so that a killed run leaves no
// partial file.  Null stops watching.  One file at a time.
void RemoveOnInterrupt(const char* temp);
