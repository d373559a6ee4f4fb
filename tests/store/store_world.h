#pragma once
// The store as the program wires it: the composition over the given files and a test clock.
#include "support/core_world.h"

namespace kivo::test {

using StoreWorld = CoreWorld;

} // namespace kivo::test
