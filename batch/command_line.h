// Reading the command line and the configuration file into the parameter set.
#pragma once

#include "config/grammar.h"

// Sets every default, reads the flags and the image name, then reads the
// configuration file.  An empty image name afterwards means: print usage.
void ParseCommandLine(int argc, char** argv);

// Sets the parameter set to its defaults.
void SetDefaultParameters();

// Reads key=value lines of the named file into the parameter set; a missing
// file leaves the values as they are, silently.
void ReadParameterFile(const char* name);
