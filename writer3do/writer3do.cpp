#include "writer3do/writer3do.h"

#include <algorithm>
#include <string>

#include "core/helper_threads.h"
#include "core/output_file.h"
#include "writer3do/material_name.h"
#include "writer3do/ordered_render.h"
#include "writer3do/pieces.h"

namespace kesh {

namespace {

// Below this many batches a model is written on one thread, straight into the file's buffer.
constexpr size_t kBatchesWorthThreads = 8;
// A piece's weight in lines when grouping pieces into batches; a title piece counts as a
// few lines.
constexpr size_t kTitleLines = 8;

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

// Records the longest line of a piece for its mesh, when it belongs to one.
void Record(const Piece& piece, int64_t longest, MeshLineLengths& lengths) {
    if (piece.mesh < 0) return;
    int64_t& entry = lengths[static_cast<size_t>(piece.set)][static_cast<size_t>(piece.mesh)];
    entry = std::max(entry, longest);
}

// Records the longest line the sink ended for the piece.
void Measure(const Piece& piece, TextSink& sink, MeshLineLengths* lengths) {
    const auto longest = static_cast<int64_t>(sink.TakeLongestLine());
    if (lengths != nullptr) Record(piece, longest, *lengths);
}

// Consecutive pieces grouped into batches of at least kLinesPerPiece lines (the last may be
// smaller): the unit handed between threads and written with one call, so that a model of
// many small meshes costs no more hand-overs than one of a few large ones. Batch b holds
// pieces [starts[b], starts[b + 1]).
std::vector<size_t> BatchStarts(const std::vector<Piece>& pieces) {
    std::vector<size_t> starts;
    size_t lines = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (lines == 0) starts.push_back(i);
        lines += std::max(pieces[i].last - pieces[i].first, kTitleLines);
        if (lines >= kLinesPerPiece) lines = 0;
    }
    starts.push_back(pieces.size());
    return starts;
}

unsigned HelperThreads(size_t batches) {
    return batches < kBatchesWorthThreads ? 0 : SpareThreads(batches);
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
                               MeshLineLengths* longestLines, FileReleaser* releaser) const {
    if (!HasGeometry(*this)) return Fail(Failure::NoGeometry);
    OutputFile file;
    if (StageResult opened = file.Open(outputPath); !opened) return opened;
    const std::string_view baseName = OutputBaseName(outputPath);
    const int32_t sets = GeometrySetsToWrite(maxGeo, lodMeshes.size());
    const std::vector<Piece> pieces = PlanPieces(*this, sets);
    const std::vector<size_t> batches = BatchStarts(pieces);
    const unsigned helpers = HelperThreads(batches.size() - 1);
    if (helpers == 0) {
        TextSink sink(&file);
        Render3DO(*this, baseName, maxGeo, sink, longestLines);
        if (StageResult flushed = sink.Flush(); !flushed) return flushed;
        return file.Commit(releaser);
    }
    // Large models: batches of pieces are rendered on several threads and written in order.
    // Each piece's longest line is kept by the thread that renders it.
    std::vector<int64_t> pieceLongest(pieces.size(), 0);
    const StageResult written = RenderInOrder(
        batches.size() - 1, helpers,
        [&](size_t b, TextSink& sink) {
            for (size_t i = batches[b]; i < batches[b + 1]; ++i) {
                RenderPiece(*this, baseName, sets, pieces[i], sink);
                pieceLongest[i] = static_cast<int64_t>(sink.TakeLongestLine());
            }
        },
        [&](size_t, TextSink& sink) {
            const std::string_view text = sink.View();
            return file.Write(text.data(), text.size());
        });
    if (!written) return written;
    if (longestLines != nullptr) {
        *longestLines = EmptyLineLengths(*this, sets);
        for (size_t i = 0; i < pieces.size(); ++i)
            Record(pieces[i], pieceLongest[i], *longestLines);
    }
    return file.Commit(releaser);
}

}  // namespace kesh
