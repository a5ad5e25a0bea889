// The command line as start-up sees it, and the one switch it looks for.
#pragma once

#include <string>
#include <string_view>

namespace kesh {

// The arguments after the program name, joined by single blanks, as one text. Empty when
// there are none.
std::string JoinArguments(int argc, const char* const* argv);

// True when `commandLine` holds "allow_textures" anywhere, letter for letter and in the same
// case ("-allow_textures" and "xallow_texturesx" count; "ALLOW_TEXTURES" does not).
bool HasTextureSwitch(std::string_view commandLine);

}  // namespace kesh
