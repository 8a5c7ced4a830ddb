#include "gui/previews/run_report.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// nivelo prints the angle with "%f" on a line of its own: a number and
// nothing else.
bool ParseAngleLine(const std::string& line, double* angle)
{
    if (line.empty()) return false;
    const char* start = line.c_str();
    char* end = nullptr;
    double value = std::strtod(start, &end);
    if (end == start || *end != '\0') return false;
    *angle = value;
    return true;
}

// "orientation : 90" gives 90; the line of a page left as it was gives
// kOrientationUnsure.
bool ParseOrientationLine(const std::string& line, int* orientation)
{
    if (line.rfind("orientation incertaine", 0) == 0) {
        *orientation = kOrientationUnsure;
        return true;
    }
    for (int turn : {0, 90, 180, 270}) {
        if (line == "orientation : " + std::to_string(turn)) {
            *orientation = turn;
            return true;
        }
    }
    return false;
}

}  // namespace

RunReport ReadRunReport(const std::string& output_path)
{
    RunReport report{0, 0, 0.0, ""};
    std::ifstream file(output_path, std::ios::binary);
    std::string line;
    bool heading = true;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (heading) {
            heading = false;
            continue;
        }
        double angle;
        if (EndsWith(line, " done.")) report.done = 1;
        else if (ParseOrientationLine(line, &report.orientation)) continue;
        else if (ParseAngleLine(line, &angle)) {
            report.angle_found = 1;
            report.angle = angle;
        } else if (!line.empty()) report.messages += line + "\n";
    }
    return report;
}
