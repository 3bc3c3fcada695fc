// Declares a binding from its list file: in palm::PALM_BINDING the entry
// indexes, the names, the description (the list's PALM_LIBRARY line), the
// state and the Binding; in palm the loader PALM_LOADER, and the pointer type
// and typed call of each called entry. The unit that holds the binding
// defines PALM_DEFINE_BINDING before it includes its header, and gets the
// definitions too (palm/PalmBindingDef.h). Include with PALM_BINDING,
// PALM_ENTRY_LIST and PALM_LOADER defined; all of them are undefined
// afterwards. No include guard: one use per binding header.
#include "palm/PalmLibrary.h"

#define PALM_LIBRARY(...)
#define PALM_LOOKUP(name) e##name,
#define PALM_CALL(result, name, params, args) e##name,
namespace palm::PALM_BINDING {
enum Entry : int {
#include PALM_ENTRY_LIST
    EntryCount
};
}  // namespace palm::PALM_BINDING
#undef PALM_CALL
#undef PALM_LOOKUP

#define PALM_LOOKUP(name) {#name, __LINE__},
#define PALM_CALL(result, name, params, args) {#name, __LINE__},
namespace palm::PALM_BINDING {
inline constexpr EntryName kEntryNames[] = {
#include PALM_ENTRY_LIST
};
static_assert(std::size(kEntryNames) == EntryCount);
}  // namespace palm::PALM_BINDING
#undef PALM_CALL
#undef PALM_LOOKUP
#undef PALM_LIBRARY

// The list's description, with the entries it lists.
#define PALM_LIBRARY(...) inline constexpr BindingInfo Info{__VA_ARGS__, .entries = kEntryNames};
#define PALM_LOOKUP(name)
#define PALM_CALL(result, name, params, args)
namespace palm::PALM_BINDING {
#include PALM_ENTRY_LIST
}  // namespace palm::PALM_BINDING
#undef PALM_LIBRARY

namespace palm {
void PALM_LOADER();
}  // namespace palm

namespace palm::PALM_BINDING {
extern BindingState<EntryCount> State;
extern const Binding kBinding;
// The state that holds an entry; lets test doubles reach it from the index alone.
inline BindingState<EntryCount>& StateOf(Entry) noexcept { return State; }
}  // namespace palm::PALM_BINDING

#undef PALM_CALL
#define PALM_LIBRARY(...)
#define PALM_CALL(result, name, params, args) \
    template <>                               \
    struct EntryType<PALM_BINDING::e##name> { \
        using Pointer = result(*) params;     \
    };                                        \
    result name params noexcept;
namespace palm {
#include PALM_ENTRY_LIST
}  // namespace palm
#undef PALM_CALL
#undef PALM_LOOKUP
#undef PALM_LIBRARY

#ifdef PALM_DEFINE_BINDING
#include "palm/PalmBindingDef.h"
#undef PALM_DEFINE_BINDING
#endif

#undef PALM_LOADER
#undef PALM_ENTRY_LIST
#undef PALM_BINDING
