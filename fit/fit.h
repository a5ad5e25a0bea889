// Fitting a converted model to the limits of the target engine's model loader: meshes split
// into parts that the loader takes, packed into the hierarchy nodes it has room for, and
// simplified when the geometry cannot fit at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.h"

namespace kesh {

// Changes the model after the geometry pass so that the 3DO written with `maxGeo` fits the
// engine: at most 4 geometry sets, 63 meshes per set, 512 vertices, 768 texture vertices and
// 512 faces per mesh, face materials within the materials list, MAT images whose sides are
// powers of two. Every set keeps one mesh per hierarchy node, and each mesh's vertices are
// placed relative to its node (the centre of the first set's mesh). Returns one line per
// change, with numbers ("mesh 12 split into 3 parts"), in the order they were made, and a
// line for each name longer than the engine takes (`outputPath` names the 3DO file). Safe
// for any model the geometry pass built; time and memory grow with the model's size.
std::vector<std::string> FitToEngine(OptModel& model, int32_t maxGeo, std::string_view outputPath);

}  // namespace kesh
