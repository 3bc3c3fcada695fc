// What a long-lived host process holds, counted with calls that answer
// truthfully under Wine (whose GetProcessHandleCount, GetGuiResources and
// PrivateUsage answer 0 whatever the process holds):
// - handles: the handle table probed with GetHandleInformation;
// - private and heap bytes: committed private regions (VirtualQuery) and the
//   heaps' blocks in use (HeapWalk over GetProcessHeaps);
// - windows: this process's windows, top-level, child and message-only;
// - window classes: the user atom table scanned for class names that
//   GetClassInfoEx finds for one of the given instances;
// - modules: the tool-help snapshot;
// - thread-local storage slots: taken until none is left, then given back;
// - GDI objects: made and not deleted by the modules patched by GdiCalls.
#pragma once
#include <windows.h>

#include <cstdint>
#include <set>
#include <string>

namespace soak {

struct Sample {
    long handles = 0;
    long gdi = 0;
    long windows = 0;
    long classes = 0;
    std::int64_t privateBytes = 0;
    std::int64_t heapBytes = 0;
    long modules = 0;
    long tlsSlots = 0;

    long User() const noexcept { return windows + classes; }
};

// `instances`: the module handles whose window classes count (the host's,
// and every address the library was ever loaded at).
Sample TakeSample(const std::set<HINSTANCE>& instances);

// Later minus earlier, field by field.
Sample Growth(const Sample& earlier, const Sample& later);

// "handles=H gdi=G user=U private_kb=P heap_kb=K modules=M tls=T"
std::string GrowthFigures(const Sample& growth);
// The same with the parts of the user and memory figures.
std::string DetailedFigures(const Sample& growth);

// Whole KiB of the private-memory figure: the committed private regions.
std::int64_t PrivateKb(const Sample& growth);

}  // namespace soak
