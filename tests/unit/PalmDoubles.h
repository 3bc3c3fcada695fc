// Test doubles for Palm Desktop entry points: an override puts a function in
// place of one entry pointer and puts the old one back when it goes. The
// double must take and return what the entry's list line says (either
// calling convention), or the test does not compile:
//   EntryOverride<palm::hslog::eLogAddEntry> log{&FakeLogAddEntry};
#pragma once
#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "palm/PalmLibrary.h"

namespace testing_palm {

template <class Pointer>
struct Signature;
template <class R, class... A>
struct Signature<R (*)(A...)> {
    using type = R(A...);
};
template <class R, class... A>
struct Signature<R(__stdcall*)(A...)> {
    using type = R(A...);
};

template <auto entry>
class EntryOverride {
public:
    template <class Fn>
    explicit EntryOverride(Fn* replacement) : saved_(std::exchange(Slot(), reinterpret_cast<void*>(replacement))) {
        using Listed = typename palm::EntryType<entry>::Pointer;
        static_assert(std::is_same_v<typename Signature<Fn*>::type, typename Signature<Listed>::type>,
                      "a double takes and returns what its entry's list line says");
    }
    // An entry that the library lacks.
    explicit EntryOverride(std::nullptr_t) : saved_(std::exchange(Slot(), nullptr)) {}
    ~EntryOverride() { Slot() = saved_; }
    EntryOverride(const EntryOverride&) = delete;
    EntryOverride& operator=(const EntryOverride&) = delete;

private:
    static void*& Slot() { return StateOf(entry).Entries()[entry]; }
    void* saved_;
};

// What the log and yield doubles saw, in order, as readable lines.
inline std::vector<std::string>& CallLog() {
    static std::vector<std::string> log;
    return log;
}

}  // namespace testing_palm
