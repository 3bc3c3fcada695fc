// What the statically linked C++ runtime would leave behind in the host at
// every unload, released, so that a HotSync Manager that loads and unloads
// the conduit at each HotSync for weeks does not grow:
// - the runtime's emergency exception buffer (about 19 KiB), freed at unload;
// - the semaphores of the runtime's static mutexes that it never closes (the
//   registry of exception frames makes one at load, the thread-local data of
//   exceptions one at the first throw), closed after the last static
//   destructor;
// - the thread-local storage slot that the first throw takes, freed then too
//   (a process has 1088: a host would fail after as many throwing loads).
// The shipped library's link wraps its CreateSemaphoreW, CloseHandle,
// TlsAlloc and TlsFree imports (-Wl,--wrap) so that this unit sees what the
// library took and what it gave back.
// Only the shipped library has this unit; the test build links no wraps.
#pragma once

namespace app {

// At DLL_PROCESS_DETACH by FreeLibrary (not at process exit).
void ReleaseRuntimeAtUnload() noexcept;

}  // namespace app
