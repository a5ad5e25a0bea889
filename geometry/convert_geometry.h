// The geometry pass with a chosen number of helper threads, for the pass itself and for
// tests that compare thread counts. OptModel::ConvertGeometry picks the number from the
// size of the model and the machine.
#pragma once

#include "core/model.h"

namespace kesh {

// OptModel::ConvertGeometry on the calling thread and `helpers` more.
void ConvertGeometryOn(OptModel& model, float scale, unsigned helpers);

}  // namespace kesh
