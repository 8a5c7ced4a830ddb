// The file-name extensions of the images and documents nivelo reads (a PDF's
// pages are read by the documents layer), for file dialogs and the GUI's
// page list.  Lower case, without the dot; a reader
// decides by a file's content, so these only say what to offer.
#pragma once

namespace known_formats {

inline constexpr const char* kReadExtensions[] = {"tga", "tif", "tiff", "png", "jpg", "jpeg", "jpe", "jfif", "pdf"};
inline constexpr int kReadExtensionCount = sizeof kReadExtensions / sizeof kReadExtensions[0];

// What the messages say nivelo reads.
inline constexpr const char* kReadFormatsText = "TIFF, PNG, JPEG, TGA, PDF";

}  // namespace known_formats
