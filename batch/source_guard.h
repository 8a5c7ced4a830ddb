// nivelo never writes over the scan it was given.
#pragma once

// True when path names the very file that was loaded (the same file, not
// only the same text): a save there would destroy the scan.
bool IsSourceImage(const char* path);
