// What a drop on the window carries: FLTK hands it over as pasted text, one
// item a line (LF or CR LF).  File managers send file URIs
// ("file:///home/x/scan%2001.tif", the text/uri-list form, whose lines
// starting with '#' are comments); some programs send bare paths.
#pragma once

#include <string>
#include <vector>

// The local paths named by a drop's text, in order.  A URI is decoded
// (%XX escapes); its host must be empty or "localhost", since another
// machine's file cannot be opened here.  A line that is neither a file URI
// nor an absolute path, or whose decoding would hold a NUL byte, is left
// out.  Never reads outside text.
std::vector<std::string> ParseDropText(const std::string& text);
