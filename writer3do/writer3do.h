// The 3DO text of a converted model. OptModel::Write3DO (core/model.h) writes it to a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/model.h"
#include "writer3do/text_sink.h"

namespace kesh {

// Writes the whole 3DO text of `model` to `sink`: header, materials, geometry sets 0 .. G-1
// and the hierarchy of set 0. `baseName` is the output base name (banner and material
// names). The first geometry set must hold a mesh.
void Render3DO(const OptModel& model, std::string_view baseName, int32_t maxGeo, TextSink& sink);

// The 3DO text as Write3DO would write it at `outputPath`; empty when the first geometry set
// holds no mesh (Write3DO writes no file then).
std::string Format3DO(const OptModel& model, std::string_view outputPath, int32_t maxGeo);

}  // namespace kesh
