// The pictures of a 3DO model's materials: its MAT files found on disk, drawn through the
// colour map.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "reader3do/reader3do.h"
#include "render/rgb_image.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"

namespace kesh {

// The MAT image in the colour map's colours.
RgbImage ColourImage(const MatImage& mat, const ColourMap& colourMap);

// One picture per material of `model`, in order: the MAT file of the material's name, from
// the first of `folders` that holds it (an empty folder name is the current folder). A
// material whose file is missing or not a MAT image gets an empty picture and one warning
// in `warnings`.
std::vector<RgbImage> LoadMaterialImages(const Model3do& model, const ColourMap& colourMap,
                                         std::span<const std::string> folders,
                                         std::vector<std::string>& warnings);

}  // namespace kesh
