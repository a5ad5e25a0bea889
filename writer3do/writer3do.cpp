#include "writer3do/writer3do.h"

#include <algorithm>
#include <string>
#include <thread>

#include "core/output_file.h"
#include "writer3do/material_name.h"
#include "writer3do/ordered_render.h"
#include "writer3do/pieces.h"

namespace kesh {

namespace {

// Below this many pieces a model is written on one thread, straight into the file's buffer.
constexpr size_t kPiecesWorthThreads = 32;
constexpr unsigned kMostHelperThreads = 3;

bool HasGeometry(const OptModel& model) {
    return !model.lodMeshes.empty() && !model.lodMeshes[0].empty();
}

// Room for the longest line of every mesh of the `sets` sets written.
MeshLineLengths EmptyLineLengths(const OptModel& model, int32_t sets) {
    MeshLineLengths lengths(static_cast<size_t>(sets));
    for (size_t g = 0; g < lengths.size(); ++g)
        lengths[g].assign(model.lodMeshes[g].size(), 0);
    return lengths;
}

// Records the longest line the sink ended for the piece, when the piece belongs to a mesh.
void Measure(const Piece& piece, TextSink& sink, MeshLineLengths* lengths) {
    const auto longest = static_cast<int64_t>(sink.TakeLongestLine());
    if (lengths == nullptr || piece.mesh < 0) return;
    int64_t& entry = (*lengths)[static_cast<size_t>(piece.set)][static_cast<size_t>(piece.mesh)];
    entry = std::max(entry, longest);
}

unsigned HelperThreads(size_t pieces) {
    if (pieces < kPiecesWorthThreads) return 0;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? std::min(cores - 1, kMostHelperThreads) : 0;
}

}  // namespace

int32_t GeometrySetsToWrite(int32_t maxGeo, size_t setCount) {
    const uint32_t asUnsigned = static_cast<uint32_t>(maxGeo);
    return asUnsigned < setCount ? maxGeo : static_cast<int32_t>(setCount);
}

void Render3DO(const OptModel& model, std::string_view baseName, int32_t maxGeo, TextSink& sink,
               MeshLineLengths* longestLines) {
    const int32_t sets = GeometrySetsToWrite(maxGeo, model.lodMeshes.size());
    if (longestLines != nullptr) *longestLines = EmptyLineLengths(model, sets);
    sink.TakeLongestLine();
    for (const Piece& piece : PlanPieces(model, sets)) {
        RenderPiece(model, baseName, sets, piece, sink);
        Measure(piece, sink, longestLines);
    }
}

std::string Format3DO(const OptModel& model, std::string_view outputPath, int32_t maxGeo) {
    if (!HasGeometry(model)) return {};
    TextSink sink;
    Render3DO(model, OutputBaseName(outputPath), maxGeo, sink);
    return sink.TakeText();
}

StageResult OptModel::Write3DO(const char* outputPath, int32_t maxGeo) const {
    return Write3DO(outputPath, maxGeo, nullptr);
}

StageResult OptModel::Write3DO(const char* outputPath, int32_t maxGeo,
                               MeshLineLengths* longestLines) const {
    if (!HasGeometry(*this)) return Fail(Failure::NoGeometry);
    OutputFile file;
    if (StageResult opened = file.Open(outputPath); !opened) return opened;
    const std::string_view baseName = OutputBaseName(outputPath);
    const int32_t sets = GeometrySetsToWrite(maxGeo, lodMeshes.size());
    const std::vector<Piece> pieces = PlanPieces(*this, sets);
    const unsigned helpers = HelperThreads(pieces.size());
    if (helpers == 0) {
        TextSink sink(&file);
        Render3DO(*this, baseName, maxGeo, sink, longestLines);
        if (StageResult flushed = sink.Flush(); !flushed) return flushed;
        return file.Commit();
    }
    // Large models: pieces are rendered on several threads and written in order.
    if (longestLines != nullptr) *longestLines = EmptyLineLengths(*this, sets);
    const StageResult written = RenderInOrder(
        pieces.size(), helpers,
        [&](size_t i, TextSink& sink) { RenderPiece(*this, baseName, sets, pieces[i], sink); },
        [&](size_t i, TextSink& sink) {
            Measure(pieces[i], sink, longestLines);
            const std::string_view text = sink.View();
            return file.Write(text.data(), text.size());
        });
    if (!written) return written;
    return file.Commit();
}

}  // namespace kesh
