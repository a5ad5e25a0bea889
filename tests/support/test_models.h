// Ready-made OPT files for tests that need a realistic input rather than a particular rule.
#pragma once

#include <cstdint>
#include <vector>

namespace kesh::test {

// One mesh: four vertices, a quad and a triangle at LOD 0 with an 8 x 8 texture. Converts to
// a 3DO with one material.
std::vector<uint8_t> SmallShipOpt();

// `meshes` top-level meshes, each a strip of `quadsPerMesh` quads at LOD 0 over shared
// vertices, untextured.
std::vector<uint8_t> GridOpt(int meshes, int quadsPerMesh);

}  // namespace kesh::test
