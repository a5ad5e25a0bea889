#include "core/result.h"

#include <cstring>

namespace kesh {

namespace {

std::string WithReason(const char* what, int systemError) {
    std::string text = what;
    if (systemError != 0) {
        text += ": ";
        text += std::strerror(systemError);
    }
    return text;
}

const char* NotOptText(NotOptReason reason) {
    switch (reason) {
        case NotOptReason::TooShort:
            return "too short for the header";
        case NotOptReason::BadHeader:
            return "a header that no OPT has";
        case NotOptReason::NoUsableNode:
        case NotOptReason::None:
            break;
    }
    return "no node that the reader could use";
}

}  // namespace

std::string Describe(const StageResult& result) {
    switch (result.failure) {
        case Failure::None:
            return {};
        case Failure::CannotOpen:
            return WithReason("cannot open input", result.systemError);
        case Failure::NoGeometry:
            return "no geometry: nothing written";
        case Failure::CannotCreate:
            return WithReason("cannot create output", result.systemError);
        case Failure::CannotWrite:
            return WithReason("cannot write output", result.systemError);
        case Failure::NotOpt:
            return std::string("not an OPT model: ") + NotOptText(result.notOpt);
        case Failure::OutputIsInput:
            return "the output would replace the input: nothing written";
    }
    return "unknown failure";
}

}  // namespace kesh
