// Orthographic pictures of a 3DO model as it was written: its meshes placed at their
// hierarchy nodes, textured from its MAT images, shaded by the written face normals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "reader3do/reader3do.h"
#include "render/rgb_image.h"

namespace kesh {

// The model's axes as written: X to its right, Y forward, Z up.
enum class ViewSide {
    Front,         // from ahead, looking back along -Y
    Side,          // from the right, looking along -X
    Top,           // from above, looking down along -Z, forward at the top
    ThreeQuarter,  // from ahead, right and above
};

inline constexpr Rgb kBackground = {38, 42, 52};
inline constexpr Rgb kPlainGrey = {170, 170, 170};

// Draws geometry set `geoset` seen from `side` into `area`, fitted to it with a margin, on
// the background colour. `materials[i]` is the picture of material i; a face whose material
// is missing, empty or out of range is drawn in plain grey, as is an untextured face. A face
// whose written normal points away from the viewer is not drawn; nor is a face with a corner
// index outside its mesh's lists. Draws only the background when the set does not exist.
void DrawView(const Model3do& model, size_t geoset, std::span<const RgbImage> materials,
              ViewSide side, RgbImage& target, Viewport area);

// A square sheet of `size` pixels (at least 2) in four quarters: front and side above, top
// and three-quarter below.
RgbImage DrawSheet(const Model3do& model, size_t geoset, std::span<const RgbImage> materials,
                   int32_t size);

}  // namespace kesh
