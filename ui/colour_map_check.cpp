#include "ui/colour_map_check.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/run.h"
#include "frontend/run_messages.h"
#include "textures/colour_map.h"

namespace kesh {
namespace {

constexpr const char* kArrow = "\xe2\x86\x92";  // U+2192, in UTF-8

std::string Resolve(const std::string& name) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    if (error) return name;
    return absolute.lexically_normal().string();
}

}  // namespace

ColourMapCheck LookUpColourMap(const std::string& name) {
    ColourMapCheck check;
    check.name = name;
    check.resolved = Resolve(name);
    ColourMap map;
    const StageResult loaded = map.Load(name.c_str());
    if (!loaded) {
        check.systemError = loaded.systemError;
        const bool missing = loaded.systemError == ENOENT || loaded.systemError == ENOTDIR;
        check.state = missing ? ColourMapCheck::State::NotFound : ColourMapCheck::State::CannotOpen;
    } else if (loaded.damaged) {
        check.state = ColourMapCheck::State::TooShort;
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(name, error);
        check.bytes = error ? 0 : size;
    }
    return check;
}

std::string ColourMapTip(const ColourMapCheck& check) {
    std::string tip = check.name + " " + kArrow + " " + check.resolved;
    switch (check.state) {
        case ColourMapCheck::State::Usable:
            break;
        case ColourMapCheck::State::NotFound:
            tip += ", not found";
            break;
        case ColourMapCheck::State::CannotOpen:
            tip += ", does not open: ";
            tip += std::strerror(check.systemError);
            break;
        case ColourMapCheck::State::TooShort:
            tip += ", too short: " + std::to_string(check.bytes) + " of " +
                   std::to_string(kColourMapFileBytes) + " bytes";
            break;
    }
    return tip;
}

std::string ColourMapProblem(const RunSettings& settings) {
    const std::string problem = DescribeColourMap(settings, CheckColourMap(settings));
    if (problem.empty()) return {};
    std::string text = problem + ".\nThe name stands for " + Resolve(settings.colourMapFile) + ".";
    // Every MAT file of the run would index the map: the user fixes the field first.
    return text +
           "\nNothing was converted. Correct the colour map's name in its field and press "
           "\"Convert\" again.";
}

}  // namespace kesh
