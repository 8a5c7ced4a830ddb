// A PDF file for qpdf, read through a small cache of large blocks.
//
// qpdf reads a file object by object, seeking before nearly every read;
// through stdio each seek drops the buffer and costs a system call or two,
// thousands a page, which on a virtual machine cost more than the page's
// decoding.  Here each read is served from one of a few 64 KB blocks read
// with pread, so a page of a scanned PDF costs a handful of system calls.
// The file is never held whole, so a document of any size keeps the same
// memory.
#pragma once

#include <qpdf/InputSource.hh>

#include <memory>
#include <string>

// The source for the regular file `name`, or null, with no message, when it
// cannot be opened as one.  Reading errors later throw std::runtime_error,
// which qpdf's callers take as a damaged file.
std::shared_ptr<InputSource> OpenCachedFile(const char* name);
