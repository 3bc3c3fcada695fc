// libFuzzer target: any bytes as the text of a settings file.
#include <cstdio>
#include <cstdlib>

#include "fuzz/Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = fuzzcheck::CheckSettingsText(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "settings text: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
