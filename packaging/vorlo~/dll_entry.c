// The external's own DLL entry point, which does nothing. Without it the linker would take
// DllMain from the SDK's MaxAudio.lib, which exports one: the external would import it, and
// Windows would run Max's audio library's entry point for the external's loading.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    (void)module;
    (void)reason;
    (void)reserved;
    return TRUE;
}
