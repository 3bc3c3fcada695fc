// The component base: an owner, a name, a design state, the components it
// owns (destroyed with it) and the name of its class.
//
// C++ has no virtual calls during construction, so a class name cannot be
// asked of a half-built object. Each class therefore passes its own name down
// to its base; the most derived class's name is what ClassName() returns
// from the first line of the base constructor on.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rtl {

// Compares ANSI texts the way the desktop's users and its file system do:
// every letter of the ANSI code page without regard to case (an accented
// capital is its small letter), not only A-Z. For paths and HotSync user names;
// the framework's own names keep SameTextAscii (rtl/Text.h).
bool SameTextInCodePage(std::string_view a, std::string_view b);
// The form in which SameTextInCodePage compares: for sorting and lookups.
std::string FoldedInCodePage(std::string_view text);

class TComponent;

// A handler that takes the component that raised the event.
using TNotifyEvent = std::function<void(TComponent* sender)>;

enum ComponentStateFlag : unsigned {
    csDesigning = 1u << 0,  // edited by a form designer, not live
    csDestroying = 1u << 1,
};

class TComponent {
public:
    static constexpr const char* StaticClassName = "TComponent";

    explicit TComponent(TComponent* owner) : TComponent(owner, StaticClassName) {}
    virtual ~TComponent();

    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& ClassName() const noexcept { return className_; }
    TComponent* Owner() const noexcept { return owner_; }
    const std::string& Name() const noexcept { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    bool Designing() const noexcept { return (state_ & csDesigning) != 0; }
    // A designer marks its root; owned components created afterwards inherit it.
    void SetDesigning(bool designing) noexcept;

    int ComponentCount() const noexcept { return static_cast<int>(components_.size()); }
    TComponent* Component(int index) const { return components_.at(static_cast<size_t>(index)); }

protected:
    // Derived classes pass their own class name (see the note at the top).
    TComponent(TComponent* owner, const char* className);

private:
    void Insert(TComponent* child);
    void Remove(TComponent* child) noexcept;

    std::string className_;
    std::string name_;
    TComponent* owner_ = nullptr;
    unsigned state_ = 0;
    std::vector<TComponent*> components_;
};

// A unit's one global component (a form, a data module), without owner:
// created by the unit's start unless it exists, freed by its stop.
template <class T>
void CreateUnitComponent(T*& instance) {
    if (!instance) instance = new T(nullptr);
}
template <class T>
void FreeUnitComponent(T*& instance) noexcept {
    delete instance;
    instance = nullptr;
}

}  // namespace rtl
