// Defines a binding's entry names and entry pointers from its entry list, as
// kEntryNames and gEntries. Include inside the binding's namespace, in its
// .cpp, with PALM_ENTRY_LIST naming the list file.
namespace {
constexpr ::palm::PalmEntryName kEntryNames[] = {
#define PALM_ENTRY(name) {#name, __LINE__},
#include PALM_ENTRY_LIST
#undef PALM_ENTRY
};
void* gEntries[EntryCount] = {};
static_assert(sizeof(kEntryNames) / sizeof(kEntryNames[0]) == EntryCount);
}  // namespace
