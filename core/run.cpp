#include "core/run.h"

#include <memory>
#include <vector>

#include "core/file_releaser.h"
#include "core/helper_threads.h"
#include "core/model.h"
#include "textures/colour_map.h"

namespace kesh {

bool RunReport::allConverted() const {
    for (const FileOutcome& file : files) {
        if (!file.converted()) return false;
    }
    return true;
}

std::string OutputPathFor(const std::string& inputPath) {
    const size_t dot = inputPath.rfind('.');
    if (dot == std::string::npos) return "3do";
    return inputPath.substr(0, dot + 1) + "3do";
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
    const size_t steps = inputFiles.size() * static_cast<size_t>(StagesPerFile(settings));
    progress.SetRange(0, static_cast<uint16_t>(steps & 0xFFFF));

    // Files that the outputs replace are let go of beside the conversion; the run ends when
    // the last of them is.
    FileReleaser releaser;
    report.files.reserve(inputFiles.size());
    for (size_t fileIndex = 0; fileIndex < inputFiles.size(); ++fileIndex) {
        const std::string& input = inputFiles[fileIndex];
        FileOutcome outcome;
        outcome.inputPath = input;
        outcome.outputPath = OutputPathFor(input);
        {
            OptModel model;
            model.textureGroup = settings.textureGroup;
            model.lodCount = 1;
            model.paletteOffset = settings.paletteOffset;
            model.readPixels = settings.allowTextures;

            outcome.load = model.LoadOpt(input.c_str());
            progress.Step();
            // The MAT files read only the textures, which the geometry pass leaves alone, so
            // they are written while the geometry is converted: their cost is mostly the file
            // system's, which leaves the cores room.
            const auto writeMats = [&](unsigned) {
                outcome.matFailures =
                    model.WriteMATs(*colourMap, outcome.outputPath.c_str(), &releaser);
            };
            std::vector<HelperThread> matWriter;
            if (colourMap) matWriter = StartHelpers(1, writeMats);
            model.ConvertGeometry(settings.scale);
            progress.Step();
            if (colourMap) {
                if (matWriter.empty()) writeMats(0);  // no thread could be started
                matWriter.clear();                    // waits for the MAT files
                progress.Step();
            }
            // The last file's 3DO lets go of the file it replaces itself: nothing is left for
            // that work to overlap, and a thread started for it would only add its own start.
            const bool lastFile = fileIndex + 1 == inputFiles.size();
            MeshLineLengths longestLines;
            outcome.model3do = model.Write3DO(outcome.outputPath.c_str(), settings.maxGeo,
                                              &longestLines, lastFile ? nullptr : &releaser);
            if (outcome.model3do.ok()) {
                outcome.limitWarnings =
                    CheckEngineLimits(model, outcome.outputPath, settings.maxGeo, &longestLines);
            }
            progress.Step();
        }  // the model and everything it owns is released before the next file
        report.files.push_back(std::move(outcome));
    }

    progress.SetPosition(0);
    return report;
}

}  // namespace kesh
