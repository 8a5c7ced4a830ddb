// Configuration files of nivelo_gui: key=value lines in the format nivelo
// reads, with two keys more (OFFSET_ANGLE, COUL_REMPLISSAGE).
#pragma once

#include <string>

#include "gui/settings/gui_params.h"

// Reads the file into the GUI parameter set.  A file that cannot be opened
// changes nothing and is not reported.  Once it is open, automatic colour
// is switched on; a COUL_REMPLISSAGE line switches it off again.  Faulty
// lines (unknown keys, values nivelo refuses) change nothing and are listed
// in one message box.
void ReadConfigFile(GuiParameterSet& params, const char* name);

// Writes the whole set, with directory1 and directory2 as REPERTOIRE1 and
// REPERTOIRE2 (a preview writes other folders than the user's).  Returns 1,
// or 0 after a message when the file cannot be created or written.
int WriteConfigFile(const GuiParameterSet& params, const char* name, const char* directory1,
                    const char* directory2);

// The whole set as WriteConfigFile writes it with its own folders, to tell
// whether the settings changed since they were saved.
std::string ConfigText(const GuiParameterSet& params);

// Start values of every key and of black_and_white, beside the grammar that
// gives most of them.
void SetGuiParameterDefaults(GuiParameterSet& params);
