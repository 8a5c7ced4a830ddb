// State shared by the TIFF reader and writer: one file at a time.
#pragma once

#include <cstdint>
#include <cstdio>

struct TiffCodecState {
    FILE* stream;         // null when closed
    char file_name[256];  // named in the messages of ReadBytes and WriteBytes
    uint8_t big_endian;   // byte order of every 16- and 32-bit value
};

extern TiffCodecState g_tiff;

// Copies name into the codec's file name.  A name longer than 255 characters
// cannot be held, so it is refused as a file that cannot be opened would be:
// "Could not open file %s\n" and 0.
int TiffTakeFileName(const char* name);
