// Results of the conversion stages: what went wrong, as a small value that a front end
// turns into words.
#pragma once

#include <string>

namespace kesh {

enum class Failure {
    None,           // the stage did its work
    CannotOpen,     // an input file did not open (systemError says why)
    NoGeometry,     // the model has no mesh to write: no file was written
    CannotCreate,   // an output file could not be created (systemError says why)
    CannotWrite,    // writing or closing an output file failed (systemError says why)
    NotOpt,         // the input is not an OPT model (notOpt says why); nothing was written
    OutputIsInput,  // the output path names the input file itself; nothing was written
};

// Why an input is not an OPT model.
enum class NotOptReason {
    None,
    TooShort,      // the file ends before the header does
    BadHeader,     // the header lists no node, or its node table lies outside the file
    NoUsableNode,  // no node held anything the reader could use
};

struct StageResult {
    Failure failure = Failure::None;
    int systemError = 0;  // errno of the failed call, 0 when there is none
    // The input ended early or referred to data outside the file; what it held was used.
    bool damaged = false;
    NotOptReason notOpt = NotOptReason::None;  // with Failure::NotOpt

    bool ok() const { return failure == Failure::None; }
    explicit operator bool() const { return ok(); }
};

// An output file that could not be written, with the reason.
struct OutputFailure {
    std::string path;
    StageResult result;
};

inline StageResult Fail(Failure failure, int systemError = 0) {
    StageResult r;
    r.failure = failure;
    r.systemError = systemError;
    return r;
}

inline StageResult NotOpt(NotOptReason reason) {
    StageResult r = Fail(Failure::NotOpt);
    r.notOpt = reason;
    return r;
}

// A short description of a failed result, for messages such as
// "cannot open input: No such file or directory". Empty for success.
std::string Describe(const StageResult& result);

}  // namespace kesh
