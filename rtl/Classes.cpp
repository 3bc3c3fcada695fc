#include "rtl/Classes.h"

#include <windows.h>

#include <algorithm>

namespace rtl {

// The system locale's mapping goes through the ANSI code page's own
// letters, so that double-byte code pages and accented letters fold as
// Windows folds them; without linguistic casing it is the file system's.
std::string FoldedInCodePage(std::string_view text) {
    std::string upper(text);
    if (upper.empty()) return upper;
    const int size = static_cast<int>(text.size());
    if (LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, text.data(), size, upper.data(), size) != size)
        upper.assign(text);
    return upper;
}

bool SameTextInCodePage(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldedInCodePage(a) == FoldedInCodePage(b);
}

TComponent::TComponent(TComponent* owner, const char* className) : className_(className) {
    if (owner) {
        owner->Insert(this);
        if (owner->Designing()) state_ |= csDesigning;
    }
}

TComponent::~TComponent() {
    state_ |= csDestroying;
    // Owned components go first, the newest first, each leaving the list itself.
    while (!components_.empty()) delete components_.back();
    if (owner_) owner_->Remove(this);
}

void TComponent::SetDesigning(bool designing) noexcept {
    if (designing) state_ |= csDesigning;
    else state_ &= ~static_cast<unsigned>(csDesigning);
}

void TComponent::Insert(TComponent* child) {
    components_.push_back(child);
    child->owner_ = this;
}

void TComponent::Remove(TComponent* child) noexcept {
    const auto it = std::find(components_.begin(), components_.end(), child);
    if (it != components_.end()) components_.erase(it);
    child->owner_ = nullptr;
}

}  // namespace rtl
