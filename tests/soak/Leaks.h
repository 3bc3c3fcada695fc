// The soak's self-test: one object of each kind the counters watch, leaked
// on purpose at every cycle, so that a counter that cannot see a leak fails
// the run instead of reporting a clean host.
#pragma once
#include <string>

namespace soak {

inline constexpr unsigned kLeakedKbPerCycle = 64;

// Leaks a handle, a GDI object (through this program's counted imports), a
// thread-local storage slot, a
// window class with a hidden window of it, kLeakedKbPerCycle KiB of heap,
// and a module: `moduleSource` copied under a new name into `folder`.
void LeakOneOfEach(unsigned cycle, const std::string& moduleSource, const std::string& folder);

}  // namespace soak
