// The command line as start-up sees it: the one switch it looks for, and the two words that
// print something and end the program before any window opens.
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

enum class InfoRequest { None, Version, Help };

// "--version" or "--help" given as a whole argument; the first of them counts. Every other
// word is ignored.
InfoRequest FindInfoRequest(int argc, const char* const* argv);

// What to print for a request, ending in a line end: the version line, or a short usage.
std::string InfoText(InfoRequest request);

}  // namespace kesh
