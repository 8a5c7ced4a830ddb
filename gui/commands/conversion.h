// "Convertir...": every chosen image through nivelo into the user's output
// folders, with a log of every run and a summary at the end.
#pragma once

#include <string>
#include <vector>

#include "gui/state/app.h"

// Converts the images (full paths) in order.  Before the first run both
// output folders in use must exist: the Windows-style defaults are replaced
// by folders the user chooses, a missing folder is created when the user
// agrees; otherwise nothing runs.  Each run's output is appended to
// conversion.txt in the work directory, one section per image, and the end
// shows "n images converties, k en échec" with nivelo's message for each
// failed image.  "Annuler" stops the batch.  The current image, the valid
// limit and the views do not change.
//
// Before the first run the results that already exist are listed in one
// question: replace them all, skip the pages that have one, or cancel.  The
// summary names the folders the results went to and offers to open them.
void ConvertImages(App& app, const std::vector<std::string>& paths);

// Reaps the file managers that "Ouvrir les dossiers" started (every tick).
void ReapFolderViewers(App& app);

// 1 when every output folder the conversion writes into exists (or was
// created or chosen by the user), 0 when the conversion must not start.
int PrepareOutputFolders(App& app);
