// Singleton components: at most one live instance per class, found again by
// class name from the library's free-standing exports.
#pragma once
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

namespace kiv {

class EkivSingletonError : public rtl::Exception {
public:
    using Exception::Exception;
};

class TkivSingletonComponent : public rtl::TComponent {
public:
    static constexpr const char* StaticClassName = "TkivSingletonComponent";

    explicit TkivSingletonComponent(rtl::TComponent* owner)
        : TkivSingletonComponent(owner, StaticClassName) {}
    ~TkivSingletonComponent() override;

protected:
    TkivSingletonComponent(rtl::TComponent* owner, const char* className);
};

// The registered instance of the class with that name, or nullptr. Never
// creates the list.
TkivSingletonComponent* FindSingletonInstance(const char* className) noexcept;

template <class T>
T* FindSingletonInstance() noexcept {
    return static_cast<T*>(FindSingletonInstance(T::StaticClassName));
}

// Whether the process-wide list exists (it comes with the first singleton).
bool SingletonListExists() noexcept;

// The unit's stop work: destroys the list. Instances still registered stay
// alive; they simply can no longer be found.
void FinalizeBaseClasses() noexcept;

}  // namespace kiv
