// Defines a binding's state, its Binding and the typed calls of its called
// entries from its list file; included by palm/PalmBindingDecl.h in the one
// unit that holds the binding, with the same macros defined.
#include "palm/PalmCall.h"

namespace palm::PALM_BINDING {

BindingState<EntryCount> State;

const Binding kBinding = {
    Info,
    &::palm::PALM_LOADER,
    []() noexcept { return State.Loaded(); },
    []() noexcept { State.Release(); },
};

}  // namespace palm::PALM_BINDING

#define PALM_LIBRARY(...)
#define PALM_LOOKUP(name)
#define PALM_CALL(result, name, params, args)                                                          \
    result name params noexcept {                                                                      \
        return static_cast<result>(EntryCall{PALM_BINDING::State.Entry(PALM_BINDING::e##name)} args); \
    }
namespace palm {
#include PALM_ENTRY_LIST
}  // namespace palm
#undef PALM_CALL
#undef PALM_LOOKUP
#undef PALM_LIBRARY
