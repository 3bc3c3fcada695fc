// Declares a binding's entry indexes and its PalmLibrary from its entry list.
// Include inside the binding's namespace with PALM_ENTRY_LIST naming the
// list file; no include guard, one use per binding.
enum Entry : int {
#define PALM_ENTRY(name) e##name,
#include PALM_ENTRY_LIST
#undef PALM_ENTRY
    EntryCount
};
extern ::palm::PalmLibrary Library;
