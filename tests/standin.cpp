// A stand-in Varrowen.dll with a version record fixed at build time. It notes
// under HKEY_CURRENT_USER\Software\TolvaneTest\standin which marker calls the
// program made; its other exports forward to the real library (vrreal.dll).
#include "varrowen.h"

static void note(const char *call)
{
    HKEY key;
    DWORD one = 1;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\TolvaneTest\\standin", 0, NULL, 0,
                        KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, call, 0, REG_DWORD, (const BYTE *)&one, sizeof one);
    RegCloseKey(key);
}

vrversion VR_version(void)
{
    vrversion version = { STANDIN_MAJOR, STANDIN_MINOR, STANDIN_BUILD, STANDIN_REVISION };
    return version;
}

// The marker reads as absent, so a program that passed the version check
// calls both.
int VR_getsignature(void)
{
    note("VR_getsignature");
    return 0;
}

void VR_putsignature(void)
{
    note("VR_putsignature");
}
