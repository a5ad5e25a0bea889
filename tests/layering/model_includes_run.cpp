// Compiled against the bottom library alone, this include of the conversion run (the top of
// the layers) must fail: the libraries link only downward.
#include "core/run.h"
