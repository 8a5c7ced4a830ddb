// What nivelo_gui remembers from one start to the next, in the user's
// configuration folder ($XDG_CONFIG_HOME/nivelo/nivelo_gui.txt, by default
// ~/.config/nivelo/): the last folders of images and configurations, the
// output folders, the window's size and the configuration last loaded or
// saved.  Lines KEY=value, read back leniently: an unknown or unreadable
// line is skipped, so that a file from another version never stops a start.
#pragma once

#include <string>

struct RememberedSettings {
    std::string image_folder;
    std::string config_folder;
    std::string results1, results2;  // REPERTOIRE1 and REPERTOIRE2
    std::string config;              // full path; empty when none
    int width = 0, height = 0;       // the main window's client area; 0 when unknown
};

// The file's path; empty when neither XDG_CONFIG_HOME nor HOME is set.
std::string RememberedPath();

// Returns 1 with what the file holds, 0 (settings untouched) when there is no file.
int ReadRemembered(const std::string& path, RememberedSettings* settings);

// Writes the file, making its folder when missing.  Returns 1, or 0 after a
// message.
int WriteRemembered(const std::string& path, const RememberedSettings& settings);
