// The parameter set of this run of nivelo and its command-line state:
// written only by ParseCommandLine at start-up, then handed to the stages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/params.h"

struct CommandLine {
    std::vector<std::string> images;  // the image names, in the order typed (with /n, of any length)
    char image_name[kTextSize];   // the image being treated; empty: none given
    char config_name[kTextSize];  // "config.txt" unless /c names another
    uint8_t flag_f;               // /f: save the angle filters' images
    uint8_t flag_b;               // /b: save results as black-and-white TIFF
    uint8_t preview;              // /d given: write stage images, no ordinary saves
    uint16_t stage_mask;          // /d<mask>: bit k asks for stage image k (0 to 11)
    uint32_t page;                // /p<n>: the page treated, from 0 (the first, by default)
    uint8_t page_given;           // /p given: result names carry the page number
    uint8_t list_names;           // /n: print the results' names, read and write nothing
};

extern ParameterSet g_params;
extern CommandLine g_command;
