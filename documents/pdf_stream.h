// Stream data out of a PDF, bounded: a small stream that inflates without
// end must cost no more than the bytes a reader has room for.
#pragma once

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstdint>
#include <string>
#include <vector>

struct Filter {
    std::string name;
    QPDFObjectHandle parms;
};

// The stream's filters in order (short names made long), 0 when /Filter is
// no name or names, or names too many.
int ReadFilters(QPDFObjectHandle dict, std::vector<Filter>* filters);

// The stream's data with every filter undone (all of them when `keep_last`
// is false, all but the last otherwise), at most `limit` bytes of it.
// 0 when qpdf does not know a filter; *complete says whether the decoding
// ended cleanly or stopped at the limit.  qpdf may throw.
int StreamData(QPDF& pdf, QPDFObjectHandle stream, const std::vector<Filter>& filters, bool keep_last,
               uint64_t limit, std::string* out, bool* complete);
