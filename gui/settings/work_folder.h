// The work folder of one nivelo_gui window: its stage images, the
// configuration it hands to nivelo and nivelo's console output.  Each window
// makes its own under "nivelo_gui_work/" in the start directory and holds a
// lock on it while it runs, so that two windows started in one folder never
// read or delete each other's images, and the folders of windows that ended
// without cleaning up (killed, crashed) can be told apart and removed.
#pragma once

struct WorkFolder {
    char path[260];  // ends with '/'; empty when there is none
    int lock_fd;     // held for the window's lifetime; -1 when none
};

// Removes the folders under start/nivelo_gui_work/ whose window no longer
// runs (those with an unlocked lock file), then makes a new folder of a unique name there and locks it.
// Returns 1, or 0 after a message.
int OpenWorkFolder(const char* start_directory, WorkFolder* folder);

// Removes the folder with everything in it and releases the lock; the
// parent "nivelo_gui_work/" goes too when no other window uses it.
// Harmless on a closed folder.
void CloseWorkFolder(WorkFolder* folder);
