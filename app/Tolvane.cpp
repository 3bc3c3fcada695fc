// The library's main unit: the export table (Tolvane.def), the version
// resource (Tolvane.rc) and the entry point that starts and stops the units.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
