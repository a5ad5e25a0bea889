// The words the front ends show for a run: one line per failure or warning, and the words of
// the run as a whole.
#pragma once

#include <string>
#include <vector>

#include "core/run.h"
#include "core/with_thousands.h"

namespace kesh {

struct RunMessages {
    std::vector<std::string> lines;  // in the order of the files, each without a line end
};

enum class WarningKind {
    Damaged,              // the input is damaged or truncated; what it held was converted
    EngineLimit,          // the model is beyond a limit of the engine (`limit` says which)
    SharedMaterialNames,  // an earlier file of the batch has the same material names
    ReplacedOutput,       // the 3DO file of an earlier file of the batch was replaced
};

// One warning about a file, with the values its words are made of.
struct FileWarning {
    WarningKind kind = WarningKind::Damaged;
    LimitSummary limit;     // EngineLimit
    std::string prefix;     // SharedMaterialNames: the prefix both files' names start with
    std::string otherFile;  // SharedMaterialNames, ReplacedOutput: the earlier input
    std::string output;     // ReplacedOutput: the 3DO file both wrote
};

// The warnings of one file, in the order its lines show them: a damaged input, material
// names an earlier file has, then one per kind of engine limit.
std::vector<FileWarning> WarningsOf(const FileOutcome& file);

// The words of a warning, after "warning: ", e.g. "12 meshes have more than 512 faces
// (largest 4,210); --fit-engine makes them fit".
std::string Describe(const FileWarning& warning);

// The failures of one file, each without the file's name: "cannot open input: No such file or
// directory", "MAT file corv_00002.mat: cannot create output: ...". Empty when it converted.
std::vector<std::string> FailuresOf(const FileOutcome& file);

// The lines of one file, each starting with its input path: its failures, then its warnings
// after "warning:". A file that did not open reports only that, not the missing 3DO that
// follows from it.
std::vector<std::string> DescribeFile(const FileOutcome& file);

// Failures name the input file and the reason ("ship.opt: cannot open input: No such file or
// directory"); warnings say "warning:" after the file name. A colour map that did not load
// whole is a warning before the files' lines.
RunMessages DescribeRun(const RunSettings& settings, const RunReport& report);

// What is wrong with the colour map of a batch, from CheckColourMap: "colour map x.cmp:
// cannot open input: No such file or directory" or "colour map x.cmp: shorter than 832
// bytes". Empty when it is whole.
std::string DescribeColourMap(const RunSettings& settings, const StageResult& check);

// What was read and written for a file, after its input path: "read 3 meshes, 1,204 faces,
// 2 levels of detail, 5 textures; wrote ship.3do and 5 MAT files (123,456 bytes) in
// 0.012 s"; for a file whose material names were changed, also which and why.
std::vector<std::string> DescribeWork(const FileOutcome& file);

// The number of warnings of the files of a run.
int CountWarnings(const RunReport& report);

// "Converted 39 of 40 files, 1 failed, 3 warnings, in 0.41 s"; `warnings` counts those of
// the files and any about the run itself.
std::string DescribeSummary(const RunReport& report, int warnings, double seconds);

}  // namespace kesh
