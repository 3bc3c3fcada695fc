// Palm error codes: the exception that carries one, and the English text of
// every code the Palm Desktop libraries are known to return.
#pragma once
#include <cstdint>

#include "rtl/SysUtils.h"

namespace kiv {

class EPalmSyncError : public rtl::Exception {
public:
    explicit EPalmSyncError(int32_t code);
    int32_t ErrorCode() const noexcept { return errorCode_; }

private:
    int32_t errorCode_;
};

// The text of a code, matched as the whole 32-bit value; "" for unknown codes.
const char* PalmSyncErrorText(int32_t code) noexcept;

// Throws EPalmSyncError for any code but 0.
void CheckPalmSyncError(int32_t code);

// How many codes the table knows (for tests that walk it).
int PalmSyncErrorCount() noexcept;

}  // namespace kiv
