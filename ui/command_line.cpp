#include "ui/command_line.h"

#include "ui/about_dialog.h"

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

InfoRequest FindInfoRequest(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--version") return InfoRequest::Version;
        if (word == "--help") return InfoRequest::Help;
    }
    return InfoRequest::None;
}

std::string InfoText(InfoRequest request) {
    switch (request) {
        case InfoRequest::None:
            return {};
        case InfoRequest::Version:
            return std::string(kVersionLine) + "\n";
        case InfoRequest::Help:
            return "Usage: kesh [allow_textures]\n"
                   "Opens the dialog that converts OPT ship models into 3DO models.\n"
                   "  allow_textures  also write every texture as a MAT file for a colour map\n"
                   "  --help          print this text and exit\n"
                   "  --version       print the version and exit\n"
                   "Other words are ignored. For batches and scripts, use kesh-convert.\n";
    }
    return {};
}

}  // namespace kesh
