#include "cli/json_report.h"

#include <nlohmann/json.hpp>

#include "frontend/run_messages.h"

namespace kesh {

namespace {

using json = nlohmann::ordered_json;

const char* LimitName(LimitKind kind) {
    switch (kind) {
        case LimitKind::Vertices:
            return "vertices";
        case LimitKind::TextureVertices:
            return "texture-vertices";
        case LimitKind::Faces:
            return "faces";
        case LimitKind::GeometrySets:
            return "geometry-sets";
        case LimitKind::HierarchyNodes:
            return "hierarchy-nodes";
    }
    return "other";
}

json WarningJson(const FileWarning& warning) {
    json object;
    switch (warning.kind) {
        case WarningKind::Damaged:
            object["kind"] = "damaged";
            break;
        case WarningKind::EngineLimit:
            object["kind"] = "engine-limit";
            object["limit"] = LimitName(warning.limit.kind);
            object["exceeded"] = warning.limit.exceeded;
            object["largest"] = warning.limit.largest;
            object["most"] = warning.limit.limit;
            break;
        case WarningKind::SharedMaterialNames:
            object["kind"] = "shared-material-names";
            object["prefix"] = warning.prefix;
            object["otherFile"] = warning.otherFile;
            break;
        case WarningKind::ReplacedOutput:
            object["kind"] = "replaced-output";
            object["output"] = warning.output;
            object["otherFile"] = warning.otherFile;
            break;
    }
    object["message"] = Describe(warning);
    return object;
}

json FileJson(const FileOutcome& file) {
    json object;
    object["input"] = file.inputPath;
    object["output"] = file.outputPath;
    object["outcome"] = file.converted() ? "converted" : "failed";
    const std::vector<std::string> failures = FailuresOf(file);
    if (failures.empty()) {
        object["error"] = nullptr;
    } else {
        std::string error = failures[0];
        for (size_t i = 1; i < failures.size(); ++i)
            error += "; " + failures[i];
        object["error"] = error;
    }
    if (!file.materialPrefix.empty()) {
        object["materialPrefix"] = file.materialPrefix;
        object["materialPrefixChanged"] = file.materialPrefixChanged;
    }
    const FileStats& stats = file.stats;
    object["read"] = {{"meshes", stats.meshes},
                      {"faces", stats.faces},
                      {"levelsOfDetail", stats.levels},
                      {"textures", stats.textures}};
    object["written"] = {{"matFiles", stats.matFiles}, {"bytes", stats.bytesWritten}};
    object["seconds"] = stats.seconds;
    // With --fit-engine: what fitting changed, one sentence each.
    object["fitChanges"] = file.fitChanges;
    json warnings = json::array();
    for (const FileWarning& warning : WarningsOf(file))
        warnings.push_back(WarningJson(warning));
    object["warnings"] = std::move(warnings);
    return object;
}

}  // namespace

std::string ReportJson(const RunReport& report, const std::vector<std::string>& runWarnings,
                       double seconds) {
    json root;
    json warnings = json::array();
    for (const std::string& warning : runWarnings)
        warnings.push_back({{"kind", "run"}, {"message", warning}});
    root["warnings"] = std::move(warnings);
    json files = json::array();
    int64_t converted = 0;
    for (const FileOutcome& file : report.files) {
        files.push_back(FileJson(file));
        converted += file.converted() ? 1 : 0;
    }
    root["files"] = std::move(files);
    const auto total = static_cast<int64_t>(report.files.size());
    root["summary"] = {
        {"files", total},
        {"converted", converted},
        {"failed", total - converted},
        {"warnings", CountWarnings(report) + static_cast<int64_t>(runWarnings.size())},
        {"seconds", seconds}};
    // Paths are bytes, not always UTF-8: replace what is not, rather than throw.
    return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace kesh
