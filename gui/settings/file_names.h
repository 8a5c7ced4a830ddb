// Paths as nivelo_gui keeps them: a directory that ends with its separator
// and a file name, joined by plain concatenation.
#pragma once

#include <cstddef>

// Splits path (a kGuiPathSize buffer) at its last "\", ":" or "/": path keeps
// the file name after it and directory (kGuiPathSize) everything up to and
// including it.  Without a separator, directory becomes empty and path stays.
// Joining the two again gives the path back.
void SplitPath(char* path, char* directory);

// buffer (size bytes) := directory followed by name.  Returns 1, or 0 with
// the buffer empty when the result does not fit (the caller reports it).
int JoinPath(char* buffer, size_t size, const char* directory, const char* name);

// Copies text into buffer (size bytes).  Returns 1, or 0 with the buffer
// empty when it does not fit.
int CopyText(char* buffer, size_t size, const char* text);
