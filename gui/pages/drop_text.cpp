#include "gui/pages/drop_text.h"

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes decoded; a '%' not followed by two hex digits stays as it is
// (some senders do not escape it).  0 when the result would hold a NUL: no
// file name has one, and the C calls that open it would see a shorter name.
int Unescape(const std::string& text, std::string* out)
{
    out->clear();
    for (size_t i = 0; i < text.size(); i++) {
        int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        char c = text[i];
        if (low >= 0) c = char(high * 16 + low), i += 2;
        if (c == '\0') return 0;
        *out += c;
    }
    return 1;
}

// The path of a file URI, or empty when the line is none or names another
// machine.
std::string PathOfUri(const std::string& line)
{
    const std::string scheme = "file://";
    std::string rest = line.substr(scheme.size());
    size_t slash = rest.find('/');
    if (slash == std::string::npos) return "";
    std::string host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return "";
    std::string path;
    return Unescape(rest.substr(slash), &path) ? path : "";
}

}  // namespace

std::vector<std::string> ParseDropText(const std::string& text)
{
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string path;
        if (line.compare(0, 7, "file://") == 0) path = PathOfUri(line);
        else if (!line.empty() && line[0] == '/' && line.find('\0') == std::string::npos) path = line;
        if (!path.empty()) paths.push_back(path);
    }
    return paths;
}
