// Included by the sources of the stand-in libraries' exports. The build
// compiles each library twice, with DESKTOP_CC set to its own calling
// convention and to the other one, and names the exports in a generated
// .def file, so nothing here is marked dllexport.
#pragma once
#include "desktop/Codes.h"
#include "desktop/StandIn.h"

#ifndef DESKTOP_CC
#error "DESKTOP_CC names the calling convention of the library being built"
#endif

#define DESKTOP_EXPORT extern "C"

// An entry point that none of our callers uses. It declares no parameters,
// so it removes nothing from the stack under either convention.
#define DESKTOP_UNSUPPORTED(name, code) \
    DESKTOP_EXPORT long DESKTOP_CC name() noexcept { return ::desktop::Unsupported(#name, code); }
