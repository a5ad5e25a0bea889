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
    }
    return "unknown failure";
}

}  // namespace kesh
