// The 3DO text of a converted model.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/model.h"
#include "writer3do/text_sink.h"

namespace kesh {

// The number of geometry sets written for `maxGeo` when the model has `setCount`: maxGeo
// read as unsigned when that is below setCount, else every set (so a negative maxGeo writes
// them all and 0 writes none).
int32_t GeometrySetsToWrite(int32_t maxGeo, size_t setCount);

// Writes the whole 3DO text of `model` to `sink`: header, materials, geometry sets 0 .. G-1
// and the hierarchy of set 0. `baseName` is the output base name (banner and material
// names). The model must have at least one geometry set.
// With `longestLines`, also records the longest line of each mesh of the sets written.
void Render3DO(const OptModel& model, std::string_view baseName, int32_t maxGeo, TextSink& sink,
               MeshLineLengths* longestLines = nullptr);

// The 3DO text as Write3DO would write it at `outputPath`; empty when the first geometry set
// holds no mesh (Write3DO writes no file then).
std::string Format3DO(const OptModel& model, std::string_view outputPath, int32_t maxGeo);

}  // namespace kesh
