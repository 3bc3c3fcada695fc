// Test doubles for Palm Desktop entry points: an override puts a function in
// place of one entry pointer and puts the old one back when it goes.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "palm/PalmLibrary.h"

namespace testing_palm {

class EntryOverride {
public:
    EntryOverride(palm::PalmLibrary& library, int index, void* replacement)
        : library_(library), index_(index), saved_(std::exchange(library.entries[index], replacement)) {}
    template <class Fn>
    EntryOverride(palm::PalmLibrary& library, int index, Fn* replacement)
        : EntryOverride(library, index, reinterpret_cast<void*>(replacement)) {}
    ~EntryOverride() { library_.entries[index_] = saved_; }
    EntryOverride(const EntryOverride&) = delete;
    EntryOverride& operator=(const EntryOverride&) = delete;

private:
    palm::PalmLibrary& library_;
    int index_;
    void* saved_;
};

// What the log and yield doubles saw, in order, as readable lines.
inline std::vector<std::string>& CallLog() {
    static std::vector<std::string> log;
    return log;
}

}  // namespace testing_palm
