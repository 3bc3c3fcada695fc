// Where the test programs find what the build put beside them.
#pragma once
#include <string>

namespace testsupport {

// The folder of the running test program, with a trailing backslash.
std::string BinDir();

// The shipped conduit, copied beside the test programs by the build.
std::string ShippedConduitPath();

}  // namespace testsupport
