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

struct FileOutcome;

// The four operations of a progress bar that the run drives.
class Progress {
  public:
    virtual ~Progress() = default;
    virtual void SetStep(int step) = 0;
    // Lower and upper bound, each 16 bits, as a standard progress control takes them.
    virtual void SetRange(uint16_t lower, uint16_t upper) = 0;
    virtual void Step() = 0;
    virtual void SetPosition(int position) = 0;
    // Called after the last stage of each file with what became of it, so a front end can
    // show its messages while the run goes on.
    virtual void FileDone(const FileOutcome& /*outcome*/) {}
};

// A progress bar that shows nothing.
class NoProgress final : public Progress {
  public:
    void SetStep(int) override {}
    void SetRange(uint16_t, uint16_t) override {}
    void Step() override {}
    void SetPosition(int) override {}
};

// What was read and written for one input file.
struct FileStats {
    int64_t meshes = 0;
    int64_t faces = 0;
    int64_t levels = 0;  // levels of detail
    int64_t textures = 0;
    int64_t matFiles = 0;      // MAT files written
    int64_t bytesWritten = 0;  // the 3DO file and the MAT files together
    double seconds = 0.0;
};

// What became of one input file.
struct FileOutcome {
    std::string inputPath;
    std::string outputPath;                   // the 3DO path formed from the input path
    StageResult load;                         // did the input open, was it an OPT (and whole)
    StageResult model3do;                     // was the 3DO written, and why not
    std::vector<OutputFailure> matFailures;   // MAT files that could not be written
    std::vector<LimitWarning> limitWarnings;  // what the target engine will refuse
    // The prefix of its material names (empty when it has no texture); changed when an
    // earlier file of the batch used the one its name gives and unique names were asked for.
    std::string materialPrefix;
    bool materialPrefixChanged = false;
    // The earlier input of the batch that used the prefix this file's name gives.
    std::string materialNamesClashWith;
    // The earlier input of the batch whose 3DO file this file's replaced (two inputs of one
    // name converted into one output folder).
    std::string outputClashWith;
    FileStats stats;
    std::vector<std::string> fitChanges;  // with fitEngine: what fitting changed, one line each

    // The 3DO file was written and every MAT file with it.
    bool converted() const { return load.ok() && model3do.ok() && matFailures.empty(); }
};

struct RunReport {
    StageResult colourMap;  // only with texture support: did the colour map load (and whole)
    std::vector<FileOutcome> files;

    // Every file converted. A colour map that did not load is a warning, not a failure.
    bool allConverted() const;
};

// Whether the colour map of `settings` is fit for a batch: it opens (else CannotOpen) and
// holds all 832 bytes (else the result is marked damaged). Success without texture support.
StageResult CheckColourMap(const RunSettings& settings);

// Stages per file: 4 with texture support, 3 without.
int StagesPerFile(const RunSettings& settings);

// Converts every file of `inputFiles` in order. The run goes on after any failure; the
// report says what happened to each file.
RunReport RunConversion(const RunSettings& settings, const std::vector<std::string>& inputFiles,
                        Progress& progress);

}  // namespace kesh
