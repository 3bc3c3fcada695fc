// Calls into the Palm Desktop libraries.
//
// The libraries' calling conventions are not certain for all of them (some
// are stdcall, some cdecl), so every call goes through one thunk that pushes
// the arguments as 32-bit slots, calls, and then restores the stack pointer
// from its own frame: whichever side removes the arguments, the stack is
// right afterwards. An entry that was never found is never called: the call
// writes nothing and yields -1, which every caller treats as a failure.
#pragma once
#include <cstdint>
#include <type_traits>

extern "C" uint32_t palm_call_thunk(const void* entry, const uint32_t* args, uint32_t count);

namespace palm {

constexpr long kMissingEntryResult = -1;

template <class T>
uint32_t ToSlot(T value) noexcept {
    if constexpr (std::is_pointer_v<T>) {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
    } else {
        static_assert(std::is_integral_v<T> && sizeof(T) <= 4, "Palm entry arguments are 32-bit slots");
        return static_cast<uint32_t>(value);
    }
}

// The raw 32-bit result of the entry, or kMissingEntryResult for an empty one.
template <class... Args>
long CallEntry(const void* entry, Args... args) noexcept {
    if (!entry) return kMissingEntryResult;
    const uint32_t slots[sizeof...(Args) + 1] = {ToSlot(args)..., 0};
    return static_cast<long>(palm_call_thunk(entry, slots, sizeof...(Args)));
}

// An entry ready to be called, so that an argument list written in an entry
// list can follow it as it stands: EntryCall{entry}(creator, type).
struct EntryCall {
    const void* entry;
    template <class... Args>
    long operator()(Args... args) const noexcept {
        return CallEntry(entry, args...);
    }
};

}  // namespace palm
