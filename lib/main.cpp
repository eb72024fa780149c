// Varrowen: registry operations, identity, error report and install marker,
// text and radix conversions and sector I/O for Tolvane.

#include <windows.h>
#include "varrowen.h"

// ---- entry point and identity -------------------------------------------

// The library keeps no state, so there is nothing to set up or tear down.
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    (void)module;
    (void)reason;
    (void)reserved;
    return TRUE;
}

vrversion VR_version(void)
{
    vrversion version = { 1, 0, 0, 2 };
    return version;
}

// Shows the system's text for the calling thread's last error. A code the
// system has no text for is shown by its number instead of an empty box.
void VR_whaterror(void)
{
    DWORD code = GetLastError();
    char *text = NULL;

    if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                       NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       (LPSTR)&text, 0, NULL)) {
        MessageBoxA(NULL, text, "INFORMATION", MB_OK | MB_ICONINFORMATION);
        LocalFree(text);
    } else {
        char number[64];
        wsprintfA(number, "Error %lu (0x%08lX).", code, code);
        MessageBoxA(NULL, number, "INFORMATION", MB_OK | MB_ICONINFORMATION);
    }
}

// ---- install marker: HKEY_LOCAL_MACHINE\Software\kestrin\status -----------

// 1 when the marker key opens with full access, 0 otherwise; a key that
// exists but may not be opened so counts as absent.
int VR_getsignature(void)
{
    HKEY marker;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\kestrin\\status", 0,
                      KEY_ALL_ACCESS, &marker) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(marker);
    return 1;
}

// Creates the marker key with "status" = 1. Nobody is told of a failure;
// the steps stop at the first one that fails.
void VR_putsignature(void)
{
    HKEY software, marker;
    DWORD one = 1;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS,
                      &software) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyExA(software, "kestrin\\status", 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, NULL, &marker, NULL) != ERROR_SUCCESS) {
        RegCloseKey(software);
        return;
    }
    (void)RegSetValueExA(marker, "status", 0, REG_DWORD, (const BYTE *)&one, sizeof one);
    RegCloseKey(software);
    RegCloseKey(marker);
}
