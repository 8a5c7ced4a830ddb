#include "gui/commands/conversion_targets.h"

#include <filesystem>
#include <set>

std::string ResultPath(const std::string& folder, const std::string& image_name, int black_and_white)
{
    std::string path = folder + image_name;
    // As nivelo does: a dot before the last separator belongs to a folder.
    size_t dot = path.find_last_of('.'), separator = path.find_last_of("/\\");
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator)) path.erase(dot);
    return path + (black_and_white ? ".tif" : ".tga");
}

ConversionTargets FindTargets(const std::vector<std::string>& images, const std::vector<std::string>& folders,
                              int black_and_white)
{
    ConversionTargets targets;
    std::set<std::string> written, listed;
    for (const std::string& image : images) {
        std::string name = image.substr(image.find_last_of('/') + 1);
        int replaces = 0;
        std::set<std::string> own;  // both saves into one folder: the final one replaces the first, by design
        for (const std::string& folder : folders) {
            if (folder.empty()) continue;
            std::string result = ResultPath(folder, name, black_and_white);
            std::error_code error;
            bool exists = std::filesystem::exists(result, error);
            if (exists && std::filesystem::equivalent(result, image, error) && !error) continue;
            if (exists || written.count(result)) {
                replaces = 1;
                if (listed.insert(result).second) targets.existing.push_back(result);
            }
            own.insert(result);
        }
        written.insert(own.begin(), own.end());
        targets.replaces.push_back(replaces);
    }
    return targets;
}
