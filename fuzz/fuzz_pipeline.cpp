// Fuzz harness: one whole conversion of an OPT file held in memory: the reader, the geometry
// pass, fitting to the engine (when asked), the MAT files (written into a scratch directory), the
// 3DO text (rendered into memory) and the engine-limit check.
//
// Input: four setting bytes, then the OPT file.
//   byte 0: the scale, an index into kScales;
//   byte 1: maxGeo, as a signed byte;
//   byte 2: the texture group, as a signed byte (the run gives 0 to 3; the core must not care);
//   byte 3: bit 0 reads the plain palettes instead of the XW-Alliance ones, bit 1 writes MATs,
//           bit 2 fits the model to the engine.
//
// Checks beyond "no crash, no leak, no undefined behaviour": every rewritten index refers to
// an entry of its output mesh, a fitted model keeps every per-mesh limit of the engine, each
// MAT file has exactly the size its texture gives, and the
// 3DO text and the MAT files together stay within a bound proportional to the input.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <span>
#include <string>

#include "core/engine_limits.h"
#include "core/model.h"
#include "core/paths.h"
#include "fit/fit.h"
#include "textures/colour_map.h"
#include "textures/mat_file.h"
#include "textures/mat_writer.h"
#include "writer3do/material_name.h"
#include "writer3do/writer3do.h"

namespace {

constexpr size_t kSettingBytes = 4;
constexpr const char* kOutputPath = "ship.3do";

const float kScales[] = {0.00243902f,
                         1.0f,
                         0.0f,
                         -1.0f,
                         1000.0f,
                         1e30f,
                         1e-30f,
                         std::numeric_limits<float>::max(),
                         std::numeric_limits<float>::denorm_min(),
                         std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN(),
                         -0.5f};

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_pipeline: broken bound: %s\n", what);
    std::abort();
}

// The MAT files land in the current directory. They are written in a private scratch
// directory, entered only while they are written and checked: libFuzzer itself needs the
// directory it was started in (for its corpus and artifacts).
class InScratchDirectory {
  public:
    InScratchDirectory() : home_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        static const std::string scratch = [] {
            char path[] = "/tmp/kesh-fuzz-XXXXXX";
            Require(mkdtemp(path) != nullptr, "scratch directory created");
            return std::string(path);
        }();
        Require(home_ >= 0 && chdir(scratch.c_str()) == 0, "scratch directory entered");
    }
    ~InScratchDirectory() {
        Require(fchdir(home_) == 0, "start directory entered again");
        close(home_);
    }
    InScratchDirectory(const InScratchDirectory&) = delete;
    InScratchDirectory& operator=(const InScratchDirectory&) = delete;

  private:
    int home_;
};

kesh::ColourMap TestColourMap() {
    kesh::ColourMap map;
    for (size_t i = 0; i < 256; ++i) {
        map.entries[3 * i] = static_cast<uint8_t>(i * 37);
        map.entries[3 * i + 1] = static_cast<uint8_t>(i * 91 + 17);
        map.entries[3 * i + 2] = static_cast<uint8_t>(255 - i);
    }
    return map;
}

// Every corner of every face names a vertex and a texture coordinate of its own mesh.
void RequireIndicesInRange(const kesh::OptMesh& mesh) {
    for (const kesh::OptFace& face : mesh.faces) {
        for (int k = 0; k < face.vertexCount && k < 4; ++k) {
            Require(face.vertexIndex[k] >= 0 &&
                        static_cast<size_t>(face.vertexIndex[k]) < mesh.vertices.size(),
                    "vertex index in range");
            Require(face.texCoordIndex[k] >= 0 &&
                        static_cast<size_t>(face.texCoordIndex[k]) < mesh.texCoords.size(),
                    "texture coordinate index in range");
        }
    }
}

void CheckConvertedIndices(const kesh::OptModel& model) {
    for (const std::vector<kesh::OptMesh>& set : model.lodMeshes) {
        Require(set.size() == model.meshes.size(), "one output mesh per source mesh");
        for (const kesh::OptMesh& mesh : set) {
            Require(mesh.normals.size() == mesh.vertices.size(), "one normal per vertex");
            RequireIndicesInRange(mesh);
        }
    }
}

// After fitting: at most four sets of one mesh per node, every mesh within the loader's
// limits with its indices in range, every material in the list, every image side a power of
// two.
void CheckFittedModel(const kesh::OptModel& model) {
    Require(model.lodMeshes.size() <= kesh::kMaxEngineGeometrySets, "at most four sets");
    for (const std::vector<kesh::OptMesh>& set : model.lodMeshes) {
        Require(set.size() == model.lodMeshes[0].size(), "one mesh per node in every set");
        for (const kesh::OptMesh& mesh : set) {
            Require(mesh.normals.size() == mesh.vertices.size(), "one normal per vertex");
            Require(mesh.vertices.size() <= kesh::kMaxEngineVertices &&
                        mesh.texCoords.size() <= kesh::kMaxEngineTextureVertices &&
                        mesh.faces.size() <= kesh::kMaxEngineFaces,
                    "fitted mesh within the engine's limits");
            for (const kesh::OptFace& face : mesh.faces) {
                Require(face.textureIndex >= -1 &&
                            face.textureIndex < static_cast<int64_t>(model.textures.size()),
                        "fitted face material in the list");
            }
            RequireIndicesInRange(mesh);
        }
    }
    for (const kesh::Texture& texture : model.textures) {
        Require(texture.width > 0 && (texture.width & (texture.width - 1)) == 0 &&
                    texture.height > 0 && (texture.height & (texture.height - 1)) == 0,
                "fitted image sides are powers of two");
    }
}

// Writes the MAT files, checks their sizes, removes them; returns their total size.
uint64_t WriteAndCheckMats(const kesh::OptModel& model) {
    static const kesh::ColourMap colourMap = TestColourMap();
    const InScratchDirectory scratch;
    const std::vector<kesh::OutputFailure> failures = model.WriteMATs(colourMap, kOutputPath);
    Require(failures.empty(), "MAT files written in the scratch directory");
    uint64_t total = 0;
    const std::string_view base = kesh::BaseName(kOutputPath);
    for (size_t i = 0; i < model.textures.size(); ++i) {
        const std::string name = kesh::MaterialName(base, static_cast<int32_t>(i));
        struct stat info {};
        Require(stat(name.c_str(), &info) == 0, "MAT file exists");
        // Header-only files are allowed for any texture: a damaged image may be dropped.
        const int64_t expected =
            static_cast<int64_t>(kesh::kMatHeaderBytes) + kesh::MatImagePixels(model.textures[i]);
        Require(info.st_size == expected || info.st_size == kesh::kMatHeaderBytes,
                "MAT file of the size its texture gives");
        total += static_cast<uint64_t>(info.st_size);
    }
    for (size_t i = 0; i < model.textures.size(); ++i)
        unlink(kesh::MaterialName(base, static_cast<int32_t>(i)).c_str());
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kSettingBytes) return 0;
    const float scale = kScales[data[0] % std::size(kScales)];
    const int32_t maxGeo = static_cast<int8_t>(data[1]);
    const bool plainPalettes = (data[3] & 1) != 0;
    const bool writeMats = (data[3] & 2) != 0;
    const bool fit = (data[3] & 4) != 0;
    const std::span<const uint8_t> opt(data + kSettingBytes, size - kSettingBytes);

    kesh::OptModel model;
    model.textureGroup = static_cast<int8_t>(data[2]);
    model.lodCount = 1;
    model.paletteOffset = plainPalettes ? kesh::kPlainPaletteOffset : kesh::kXwaPaletteOffset;
    Require(model.LoadOptBytes(opt).ok(), "loading from memory never fails");
    model.ConvertGeometry(scale);
    Require(model.lodMeshes.size() == static_cast<size_t>(model.lodCount), "one list per LOD");
    CheckConvertedIndices(model);
    if (fit) {
        kesh::FitToEngine(model, maxGeo, kOutputPath);
        if (!model.lodMeshes.empty() && !model.lodMeshes[0].empty()) CheckFittedModel(model);
    }

    const uint64_t matBytes = writeMats ? WriteAndCheckMats(model) : 0;
    const std::string text = kesh::Format3DO(model, kOutputPath, maxGeo);
    if (!text.empty()) {
        const std::vector<kesh::LimitWarning> warnings = kesh::CheckEngineLimits(model, maxGeo);
        (void)warnings;
    }
    // Every output mesh costs at most a few hundred bytes of text and every face a few
    // hundred more, and the reader keeps both within budgets proportional to the input (with
    // a floor of 4096 output meshes for small files).
    const uint64_t limit = (4 << 20) + 128 * static_cast<uint64_t>(opt.size());
    Require(text.size() <= limit, "3DO text proportional to the input");
    Require(matBytes <= limit + static_cast<uint64_t>(kesh::kMaxPaddedImagePixels),
            "MAT files proportional to the input");
    return 0;
}
