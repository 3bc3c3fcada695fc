// COM for the shell's dialogs (the open dialog, the folder browser), which
// need a single-threaded apartment on the thread that shows them. A thread
// that is in another apartment already keeps it (Usable() then says no);
// the balanced CoUninitialize ends only what this one began.
#pragma once
#include <objbase.h>

namespace queuewindow {

class ComApartment {
public:
    ComApartment() noexcept : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Usable() const noexcept { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace queuewindow
