// The settings of one conversion run, and the text conversions that turn the front ends'
// fields into them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/model.h"

namespace kesh {

inline constexpr const char* kDefaultScaleText = "0.00243902";
inline constexpr const char* kDefaultMaxGeoText = "1";
inline constexpr const char* kDefaultColourMapFile = "uicolorm.cmp";

struct RunSettings {
    bool allowTextures = false;                         // load the colour map, write MAT files
    std::string colourMapFile = kDefaultColourMapFile;  // used only with allowTextures
    int32_t textureGroup = 0;                           // 0 red, 1 gold, 2 blue, 3 green
    int32_t maxGeo = 1;
    float scale = 0.00243902f;
    int32_t paletteOffset = kXwaPaletteOffset;  // kPlainPaletteOffset when not XW-Alliance
    std::string outputDir;  // the folder of the 3DO files; empty: beside each input
    std::string matDir;     // the folder of the MAT files; empty: the current directory
    // A file whose MAT names an earlier file of the batch already uses gets a prefix of its
    // own instead of a warning.
    bool uniqueMatNames = false;
    bool fitEngine = false;  // fit every model to the target engine's limits
};

// The text as the C library's atoi reads it in the C locale: leading white space, an
// optional sign, decimal digits; 0 when there are none. Out-of-range values wrap as
// glibc's (int)strtol does. Independent of the process locale.
int32_t TextToInt(std::string_view text);

// The text as the C library's atof reads it in the C locale (decimal, hexadecimal, inf and
// nan forms; 0 when it is not a number), independent of the process locale.
double TextToDouble(std::string_view text);

// Scale as the run holds it: the atof value rounded to a 32-bit float.
inline float ScaleFromText(std::string_view text) {
    return static_cast<float>(TextToDouble(text));
}

}  // namespace kesh
