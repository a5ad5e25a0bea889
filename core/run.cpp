#include "core/run.h"

#include <memory>
#include <vector>

#include "core/model.h"
#include "textures/colour_map.h"

namespace kesh {

bool RunReport::allConverted() const {
    for (const FileOutcome& file : files) {
        if (!file.converted()) return false;
    }
    return true;
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

    report.files.reserve(inputFiles.size());
    for (const std::string& input : inputFiles) {
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
            model.ConvertGeometry(settings.scale);
            progress.Step();
            if (colourMap) {
                outcome.matFailures = model.WriteMATs(*colourMap, outcome.outputPath.c_str());
                outcome.matFiles = model.textures.size();
                progress.Step();
            }
            outcome.model3do = model.Write3DO(outcome.outputPath.c_str(), settings.maxGeo);
            if (outcome.model3do.ok()) {
                outcome.limitWarnings = CheckEngineLimits(model, settings.maxGeo);
            }
            progress.Step();
        }  // the model and everything it owns is released before the next file
        report.files.push_back(std::move(outcome));
    }

    progress.SetPosition(0);
    return report;
}

}  // namespace kesh
