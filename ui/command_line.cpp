#include "ui/command_line.h"

namespace kesh {

std::string JoinArguments(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

bool HasTextureSwitch(std::string_view commandLine) {
    return commandLine.find("allow_textures") != std::string_view::npos;
}

}  // namespace kesh
