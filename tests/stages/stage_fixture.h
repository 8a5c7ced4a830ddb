// Every stage test starts from the default parameters and no flags.  Stages
// take heap images in a slot, as the pipeline hands them over.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "batch/command_line.h"
#include "batch/params.h"
#include "core/support.h"

class StageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDefaultParameters();
        g_command = CommandLine{};
    }
};

// A heap copy of an image (pixels only).
inline BITMAP* HeapCopy(const BITMAP& from)
{
    BITMAP* image = static_cast<BITMAP*>(AllocZeroed(sizeof(BITMAP)));
    EXPECT_EQ(1, BITMAP_Create(image, from.width, from.height, from.type));
    size_t size = size_t(BITMAP_ByteSize(from.width, from.height, from.type));
    if (size != 0) std::memcpy(image->pixels, from.pixels, size);
    return image;
}

inline void FreeHeap(BITMAP** image)
{
    BITMAP_Free(*image);
    FreeMemory(image);
}
