#include "render/materials.h"

#include <cerrno>
#include <cstring>

#include "core/read_file.h"

namespace kesh {

RgbImage ColourImage(const MatImage& mat, const ColourMap& colourMap) {
    RgbImage image(mat.width, mat.height);
    const size_t count = std::min(mat.pixels.size(), image.pixels.size() / 3);
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* entry = colourMap.entries.data() + 3 * size_t{mat.pixels[k]};
        std::copy(entry, entry + 3, image.pixels.begin() + static_cast<std::ptrdiff_t>(3 * k));
    }
    return image;
}

std::vector<RgbImage> LoadMaterialImages(const Model3do& model, const ColourMap& colourMap,
                                         std::span<const std::string> folders,
                                         std::vector<std::string>& warnings) {
    std::vector<RgbImage> images(model.materials.size());
    for (size_t i = 0; i < model.materials.size(); ++i) {
        const std::string& name = model.materials[i].name;
        FileBytes file;
        std::string found;
        for (const std::string& folder : folders) {
            const std::string path = folder.empty() ? name : folder + "/" + name;
            if (ReadFile(path.c_str(), file)) {
                found = path;
                break;
            }
        }
        if (found.empty()) {
            warnings.push_back(name + ": MAT file not found; its faces are drawn in grey");
            continue;
        }
        MatImage mat;
        if (MatProblem problem = ReadMatImage(file.span(), mat); problem != MatProblem::None) {
            warnings.push_back(found + ": " + Describe(problem) + "; its faces are drawn in grey");
            continue;
        }
        images[i] = ColourImage(mat, colourMap);
    }
    return images;
}

}  // namespace kesh
