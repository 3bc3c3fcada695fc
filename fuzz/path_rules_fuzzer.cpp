// libFuzzer target: any bytes as a queued desktop path, a host's user
// folder and a queue key.
#include <cstdio>
#include <cstdlib>

#include "fuzz/Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = fuzzcheck::CheckPathRules(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "path rules: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
