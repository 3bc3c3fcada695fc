#include "conduit/kivBaseClasses.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rtl/Text.h"

namespace kiv {

namespace {

struct SingletonEntry {
    std::string className;
    TkivSingletonComponent* instance;
};

// Created by the first construction, destroyed only by FinalizeBaseClasses.
// A plain pointer rather than a static object, so that the C++ runtime does
// not tear it down on its own schedule while the library unloads.
std::vector<SingletonEntry>* SingletonList = nullptr;

}  // namespace

TkivSingletonComponent::TkivSingletonComponent(rtl::TComponent* owner, const char* className)
    : TComponent(owner, className) {
    if (!SingletonList) SingletonList = new std::vector<SingletonEntry>();
    if (Designing()) return;
    const auto clash = std::find_if(SingletonList->begin(), SingletonList->end(),
                                    [&](const SingletonEntry& e) { return rtl::SameTextAscii(e.className, ClassName()); });
    if (clash != SingletonList->end())
        throw EkivSingletonError(rtl::Format("The class \"%s\" has already been instantiated", ClassName().c_str()));
    SingletonList->push_back({ClassName(), this});
}

TkivSingletonComponent::~TkivSingletonComponent() {
    if (!SingletonList) return;
    const auto mine = std::find_if(SingletonList->begin(), SingletonList->end(),
                                   [this](const SingletonEntry& e) { return e.instance == this; });
    if (mine != SingletonList->end()) SingletonList->erase(mine);
}

TkivSingletonComponent* FindSingletonInstance(const char* className) noexcept {
    if (!SingletonList || !className) return nullptr;
    for (const SingletonEntry& e : *SingletonList)
        if (rtl::SameTextAscii(e.className, className)) return e.instance;
    return nullptr;
}

bool SingletonListExists() noexcept { return SingletonList != nullptr; }

void FinalizeBaseClasses() noexcept {
    delete std::exchange(SingletonList, nullptr);
}

}  // namespace kiv
