// Counts the GDI objects that chosen modules create and have not deleted,
// by pointing their import-table entries for the GDI creators and deleters
// at counting wrappers. Wine answers GetGuiResources with 0 whatever the
// process holds, so the process-wide figure proves nothing; what the
// library itself creates and fails to delete is what a host would suffer.
//
//   soak::CountGdiCalls(module);   // after every load of the module
//   long live = soak::LiveGdiObjects();
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace soak {

// Patches the module's imports. Returns the GDI creators that the module
// imports but no wrapper counts (a new one would otherwise leak unseen).
std::vector<std::string> CountGdiCalls(HMODULE module);

// Objects (and window DCs) made by a patched module and not yet deleted
// (released) by one. A deletion of an object made before the patch is not
// counted, so a module patched after its start-up shows no false drop.
long LiveGdiObjects();

}  // namespace soak
