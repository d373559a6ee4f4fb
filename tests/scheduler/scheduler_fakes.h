#pragma once
// The core as the program wires it: the composition over the given files, a test clock and the
// recording shell (or a real one).
#include "support/core_world.h"

namespace kivo::test {

using World = CoreWorld;

} // namespace kivo::test
