// Reading the command line and the configuration file into the parameter set.
#pragma once

#include "config/grammar.h"

// What the command line asks for.
enum CommandOutcome {
    COMMAND_RUN,     // treat the images, the parameter set read
    COMMAND_HELP,    // -h, --help or /?: the usage, and success
    COMMAND_USAGE,   // no image, or a flag that is not one: the usage, and failure
    COMMAND_CONFIG,  // the configuration file is missing or faulty (reported)
};

// Sets every default, reads the flags and the image names, then reads the
// configuration file.  g_command.image_name holds the first image name (the
// one the run treats first), or is empty when there is none.
CommandOutcome ParseCommandLine(int argc, char** argv);

// Sets the parameter set to its defaults.
void SetDefaultParameters();

// Reads key=value lines of the named file into the parameter set.  Returns
// 1 when the file was read without a fault, or is the default file and
// missing; 0 after a message when it is faulty, or when a file named on the
// command line (required: 1) cannot be read.
int ReadParameterFile(const char* name, int required = 0);
