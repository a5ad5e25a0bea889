// A small triangle rasteriser for orthographic pictures: a depth buffer, affine texture
// mapping (exact when there is no perspective) and one shade per triangle.
#pragma once

#include <vector>

#include "render/rgb_image.h"

namespace kesh {

// A corner on the screen: x and y in pixels of the target image (pixel centres at .5),
// depth growing away from the viewer, u and v in texels.
struct RasterVertex {
    float x = 0;
    float y = 0;
    float depth = 0;
    float u = 0;
    float v = 0;
};

class Rasterizer {
  public:
    // Draws into `area` of `target` (clipped to the image), with its own depth buffer, which
    // starts empty: every pixel infinitely far.
    Rasterizer(RgbImage& target, Viewport area);

    // Fills the pixels whose centres lie inside the triangle (either winding) and nearer than
    // what is drawn there. With a texture, each pixel takes the texel under its interpolated
    // (u, v), repeated beyond the texture's edges; without one, `flat`. The colour is then
    // multiplied by `shade` (0 to 1). Corners that are not finite draw nothing.
    void Triangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                  const RgbImage* texture, Rgb flat, float shade);

  private:
    RgbImage& target_;
    Viewport area_;
    std::vector<float> depth_;
};

}  // namespace kesh
