#include "core/run.h"

#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "core/model.h"
#include "core/read_file.h"
#include "fit/fit.h"
#include "opt/opt_check.h"
#include "textures/colour_map.h"
#include "writer3do/material_name.h"

namespace kesh {

namespace {

// Reads the input as LoadOpt does, and tells a file that is not an OPT model from a damaged
// one while its bytes are at hand.
StageResult LoadInput(OptModel& model, const std::string& path) {
    FileBytes file;
    if (StageResult read = ReadFile(path.c_str(), file); !read) return read;
    StageResult loaded = model.LoadOptBytes(file.span());
    if (const NotOptReason why = WhyNotOpt(file.span(), model); why != NotOptReason::None) {
        return NotOpt(why);
    }
    return loaded;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return a == b || std::filesystem::equivalent(a, b, error);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The material prefixes of a batch, each with the first input that used it. Compared
// without regard to case: the game's file systems do not tell "Corv" from "corv".
class PrefixRegistry {
  public:
    // The first input that used `prefix`, or null.
    const std::string* UserOf(const std::string& prefix) const {
        const auto found = users_.find(Lower(prefix));
        return found == users_.end() ? nullptr : &found->second;
    }
    void Add(const std::string& prefix, const std::string& input) {
        users_.emplace(Lower(prefix), input);
    }
    // A prefix no file has used: the first three characters of `prefix` and a digit or a
    // letter, then the first two and two of them; empty when every one is taken.
    std::string FreeVariant(const std::string& prefix) const {
        static constexpr std::string_view kSymbols = "0123456789abcdefghijklmnopqrstuvwxyz";
        for (size_t kept : {size_t{3}, size_t{2}}) {
            const std::string stem = prefix.substr(0, std::min(kept, prefix.size()));
            const size_t free = 4 - stem.size();
            size_t combinations = 1;
            for (size_t k = 0; k < free; ++k)
                combinations *= kSymbols.size();
            for (size_t n = 0; n < combinations; ++n) {
                std::string candidate = stem;
                for (size_t k = 0, rest = n; k < free; ++k, rest /= kSymbols.size())
                    candidate += kSymbols[rest % kSymbols.size()];
                if (UserOf(candidate) == nullptr) return candidate;
            }
        }
        return {};
    }

  private:
    std::map<std::string, std::string> users_;
};

// Chooses the material prefix of a loaded model with textures: the one its output name
// gives, or with unique names a free one when an earlier file used that.
void ChoosePrefix(const RunSettings& settings, PrefixRegistry& prefixes, OptModel& model,
                  FileOutcome& outcome) {
    if (model.textures.empty()) return;
    outcome.materialPrefix = MaterialPrefix(BaseName(outcome.outputPath));
    // The same input given twice writes the same MAT files again: no clash.
    const std::string* earlier = prefixes.UserOf(outcome.materialPrefix);
    if (earlier != nullptr && !SameFile(*earlier, outcome.inputPath)) {
        outcome.materialNamesClashWith = *earlier;
        const std::string own =
            settings.uniqueMatNames ? prefixes.FreeVariant(outcome.materialPrefix) : std::string();
        if (!own.empty()) {
            outcome.materialPrefix = own;
            outcome.materialPrefixChanged = true;
            model.materialPrefix = own;
        }
    }
    prefixes.Add(outcome.materialPrefix, outcome.inputPath);
}

// Records the input that wrote the outcome's 3DO file, and notes the earlier input whose
// file it replaced. The same input given twice replaces nothing of value.
void NoteOutputUser(std::map<std::string, std::string>& users, FileOutcome& outcome) {
    std::error_code error;
    std::string key = std::filesystem::weakly_canonical(outcome.outputPath, error).string();
    if (error) key = outcome.outputPath;
    const auto [found, added] = users.emplace(key, outcome.inputPath);
    if (added || SameFile(found->second, outcome.inputPath)) return;
    outcome.outputClashWith = found->second;
    found->second = outcome.inputPath;
}

int64_t FileSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<int64_t>(size);
}

void CountWork(const OptModel& model, const RunSettings& settings, FileOutcome& outcome) {
    FileStats& stats = outcome.stats;
    if (!outcome.load.ok()) return;  // nothing was read, and so nothing written
    stats.meshes = static_cast<int64_t>(model.meshes.size());
    for (const OptMesh& mesh : model.meshes)
        stats.faces += static_cast<int64_t>(mesh.faces.size());
    stats.levels = static_cast<int64_t>(model.lodMeshes.size());
    stats.textures = static_cast<int64_t>(model.textures.size());
    if (outcome.model3do.ok()) stats.bytesWritten += FileSize(outcome.outputPath);
    if (!settings.allowTextures) return;
    std::string folder = settings.matDir;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    const std::string_view names = MaterialSource(model, BaseName(outcome.outputPath));
    for (size_t i = 0; i < model.textures.size(); ++i) {
        const std::string name = folder + MaterialName(names, static_cast<int32_t>(i));
        bool failed = false;
        for (const OutputFailure& failure : outcome.matFailures)
            failed = failed || failure.path == name;
        if (failed) continue;
        ++stats.matFiles;
        stats.bytesWritten += FileSize(name);
    }
}

}  // namespace

bool RunReport::allConverted() const {
    for (const FileOutcome& file : files) {
        if (!file.converted()) return false;
    }
    return true;
}

StageResult CheckColourMap(const RunSettings& settings) {
    if (!settings.allowTextures) return {};
    ColourMap map;
    return map.Load(settings.colourMapFile.c_str());
}

int StagesPerFile(const RunSettings& settings) {
    return settings.allowTextures ? 4 : 3;
}

RunReport RunConversion(const RunSettings& settings, const std::vector<std::string>& inputFiles,
                        Progress& progress) {
    RunReport report;

    // One colour map for the whole batch; it starts cleared, so a map that fails to load
    // still gives defined MAT files.
    std::unique_ptr<ColourMap> colourMap;
    if (settings.allowTextures) {
        colourMap = std::make_unique<ColourMap>();
        report.colourMap = colourMap->Load(settings.colourMapFile.c_str());
    }

    progress.SetStep(1);
    const int stages = StagesPerFile(settings);
    const size_t steps = inputFiles.size() * static_cast<size_t>(stages);
    progress.SetRange(0, static_cast<uint16_t>(steps & 0xFFFF));

    PrefixRegistry prefixes;
    std::map<std::string, std::string> outputUsers;  // each 3DO path with its first input
    report.files.reserve(inputFiles.size());
    for (const std::string& input : inputFiles) {
        const auto start = std::chrono::steady_clock::now();
        FileOutcome outcome;
        outcome.inputPath = input;
        outcome.outputPath = OutputPathFor(input, settings.outputDir);
        if (SameFile(input, outcome.outputPath)) {
            // Nothing is read or written: the input stays as it is.
            outcome.model3do = Fail(Failure::OutputIsInput);
            for (int s = 0; s < stages; ++s)
                progress.Step();
        } else {
            OptModel model;
            model.textureGroup = settings.textureGroup;
            model.lodCount = 1;
            model.paletteOffset = settings.paletteOffset;
            model.readPixels = settings.allowTextures;

            outcome.load = LoadInput(model, input);
            ChoosePrefix(settings, prefixes, model, outcome);
            progress.Step();
            if (outcome.load.failure == Failure::NotOpt) {
                // Nothing of it is written, not even a 3DO of empty meshes: the 3DO
                // fails for the reason the load did, so no front end reports it written.
                outcome.model3do = outcome.load;
                for (int s = 1; s < stages; ++s)
                    progress.Step();
            } else {
                model.ConvertGeometry(settings.scale);
                if (settings.fitEngine) {
                    outcome.fitChanges = FitToEngine(model, settings.maxGeo, outcome.outputPath);
                }
                progress.Step();
                if (colourMap) {
                    outcome.matFailures = model.WriteMATs(*colourMap, outcome.outputPath.c_str(),
                                                          settings.matDir, settings.dither);
                    progress.Step();
                }
                outcome.model3do = model.Write3DO(outcome.outputPath.c_str(), settings.maxGeo);
                if (outcome.model3do.ok()) {
                    outcome.limitWarnings = CheckEngineLimits(model, settings.maxGeo);
                    NoteOutputUser(outputUsers, outcome);
                }
                CountWork(model, settings, outcome);
                progress.Step();
            }
        }  // the model and everything it owns is released before the next file
        outcome.stats.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        progress.FileDone(outcome);
        report.files.push_back(std::move(outcome));
    }

    progress.SetPosition(0);
    return report;
}

}  // namespace kesh
