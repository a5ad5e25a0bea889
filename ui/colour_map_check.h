// The colour map field's file as a run would open it now: a relative name is looked up in
// the current directory, which the file picker changes.
#pragma once

#include <cstdint>
#include <string>

#include "core/settings.h"

namespace kesh {

struct ColourMapCheck {
    enum class State {
        Usable,      // opens and holds a whole colour map
        NotFound,    // no such file
        CannotOpen,  // there, but it does not open (a folder, no permission); see systemError
        TooShort,    // opens but holds fewer than 832 bytes; see bytes
    };

    std::string name;      // as the field holds it
    std::string resolved;  // the absolute path it names at the moment
    State state = State::Usable;
    int systemError = 0;
    uintmax_t bytes = 0;
};

// Opens the colour map named `name` through the colour map's own loader.
ColourMapCheck LookUpColourMap(const std::string& name);

// The field's tooltip: "uicolorm.cmp → /home/me/ships/uicolorm.cmp, not found".
std::string ColourMapTip(const ColourMapCheck& check);

// Why a run with `settings` cannot use their colour map, in the command line's words, where
// the name points, and what to do; empty when the map is usable or textures are off.
std::string ColourMapProblem(const RunSettings& settings);

}  // namespace kesh
