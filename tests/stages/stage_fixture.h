// Every stage test starts from the default parameters and no flags.
#pragma once

#include <gtest/gtest.h>

#include <cstring>

#include "batch/command_line.h"
#include "batch/params.h"

class StageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDefaultParameters();
        std::memset(&g_command, 0, sizeof g_command);
    }
};
