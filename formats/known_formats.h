// The file-name extensions of the images nivelo reads, for file dialogs and
// for nivelo-batch's folder walk.  Lower case, without the dot; a reader
// decides by a file's content, so these only say what to offer.
#pragma once

namespace known_formats {

inline constexpr const char* kReadExtensions[] = {"tga", "tif", "tiff", "png", "jpg", "jpeg", "jpe", "jfif"};
inline constexpr int kReadExtensionCount = sizeof kReadExtensions / sizeof kReadExtensions[0];

// For a dialog filter: "*.{tga,tif,...}"-style pattern lists.
inline constexpr const char* kReadPattern = "*.{tga,tif,tiff,png,jpg,jpeg,jpe,jfif,TGA,TIF,TIFF,PNG,JPG,JPEG,JPE,JFIF}";

// What the messages say nivelo reads.
inline constexpr const char* kReadFormatsText = "TIFF, PNG, JPEG, TGA";

}  // namespace known_formats
