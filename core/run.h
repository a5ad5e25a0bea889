// The conversion run: a batch of OPT files through load, geometry, MAT files (with texture
// support) and the 3DO file, one model at a time, with a progress step after every stage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/engine_limits.h"
#include "core/paths.h"
#include "core/result.h"
#include "core/settings.h"

namespace kesh {

// The four operations of a progress bar that the run drives.
class Progress {
  public:
    virtual ~Progress() = default;
    virtual void SetStep(int step) = 0;
    // Lower and upper bound, each 16 bits, as a standard progress control takes them.
    virtual void SetRange(uint16_t lower, uint16_t upper) = 0;
    virtual void Step() = 0;
    virtual void SetPosition(int position) = 0;
};

// A progress bar that shows nothing.
class NoProgress final : public Progress {
  public:
    void SetStep(int) override {}
    void SetRange(uint16_t, uint16_t) override {}
    void Step() override {}
    void SetPosition(int) override {}
};

// What became of one input file.
struct FileOutcome {
    std::string inputPath;
    std::string outputPath;                   // the 3DO path formed from the input path
    StageResult load;                         // did the input open (and was it whole)
    StageResult model3do;                     // was the 3DO written, and why not
    std::vector<OutputFailure> matFailures;   // MAT files that could not be written
    std::vector<LimitWarning> limitWarnings;  // what the target engine will refuse
    // MAT files the model's textures asked for: written, or listed in matFailures.
    size_t matFiles = 0;

    // The 3DO file was written and every MAT file with it.
    bool converted() const { return load.ok() && model3do.ok() && matFailures.empty(); }
};

struct RunReport {
    StageResult colourMap;  // only with texture support: did the colour map load (and whole)
    std::vector<FileOutcome> files;

    // Every file converted. A colour map that did not load is a warning, not a failure.
    bool allConverted() const;
};

// Stages per file: 4 with texture support, 3 without.
int StagesPerFile(const RunSettings& settings);

// Converts every file of `inputFiles` in order. The run goes on after any failure; the
// report says what happened to each file.
RunReport RunConversion(const RunSettings& settings, const std::vector<std::string>& inputFiles,
                        Progress& progress);

}  // namespace kesh
