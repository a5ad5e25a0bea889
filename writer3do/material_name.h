// Names shared by the 3DO materials list and the MAT files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/model.h"

namespace kesh {

// The name of material `index`: at most the first four characters of `baseName`, '_', the
// index with at least five digits, ".mat" ("%.4s_%.5d.mat"). A blank, a tab or a '#' among
// those four characters would split the name in the 3DO text, so each becomes '_'.
std::string MaterialName(std::string_view baseName, int32_t index);

// The part of every material name that `baseName` gives: the text before "_%.5d.mat".
std::string MaterialPrefix(std::string_view baseName);

// The material names of `model` come from `materialPrefix` when it is set, else from the
// output base name.
inline std::string_view MaterialSource(const OptModel& model, std::string_view baseName) {
    return model.materialPrefix.empty() ? baseName : std::string_view(model.materialPrefix);
}

}  // namespace kesh
