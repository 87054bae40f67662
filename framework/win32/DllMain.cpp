// The framework's standard DLL start-up: remember the module for resources.
#include "framework/AfxWin.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        AfxSetResourceHandle(hInstance);
        ::DisableThreadLibraryCalls(hInstance);
    }
    return TRUE;
}
