// The files a conversion is about to write, found before it starts, so that
// no existing file is replaced without the user's yes.
#pragma once

#include <string>
#include <vector>

// Where nivelo writes the result of image_name (a bare file name) in an
// output folder value (a prefix joined by concatenation): the name's
// extension replaced by ".tif" with /b, by ".tga" otherwise, or appended.
std::string ResultPath(const std::string& folder, const std::string& image_name, int black_and_white);

struct ConversionTargets {
    std::vector<int> replaces;          // per image: 1 when a result of it would replace a file
    std::vector<std::string> existing;  // those files, each once, in the images' order
};

// The results of every image (full paths) in each used folder (resolved;
// empty when that save is off).  A result replaces a file when the file
// exists, or when an earlier image of the same batch writes it.  The scan
// itself is never counted: nivelo refuses to write over its source.
ConversionTargets FindTargets(const std::vector<std::string>& images, const std::vector<std::string>& folders,
                              int black_and_white);
