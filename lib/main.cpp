// Varrowen: registry operations, identity, error report and install marker,
// text and radix conversions and sector I/O for Tolvane.

#include <windows.h>
#include <string.h>
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

// ---- registry operations ----------------------------------------------------
//
// Every key is opened with full access, also to read a value or to test that
// a key exists. Each operation closes what it opens, except the key that a
// successful VR_regquery hands to its caller.

// Mode 1 tests that root\path opens; mode 2 also reads the named value, with
// type, data and size passed through to RegQueryValueExA. Returns the open
// key (the caller closes it) or NULL, leaving nothing open.
HKEY VR_regquery(HKEY root, const char *path, const char *name, int mode,
                 DWORD *type, BYTE *data, DWORD *size)
{
    HKEY key;

    if (mode != 1 && mode != 2)
        return NULL;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return NULL;
    if (mode == 2 && RegQueryValueExA(key, name, NULL, type, data, size) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return NULL;
    }
    return key;
}

static int hexdigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads text as a hexadecimal number as msvcrt's "%x" does: leading white
// space, a sign and a "0x" are allowed, at least one digit is needed. The
// runtimes disagree on numbers of more than eight digits (Windows' msvcrt
// wraps, others saturate), so it is done here and always keeps the low 32
// bits, the last eight digits.
static int scanhex(const char *text, DWORD *number)
{
    const char *p = text;
    DWORD value = 0;
    int negative = 0;

    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexdigit(p[2]) >= 0)
        p += 2;
    if (hexdigit(*p) < 0)
        return 0;
    for (; hexdigit(*p) >= 0; p++)
        value = value * 16 + (DWORD)hexdigit(*p);
    *number = negative ? 0u - value : value;
    return 1;
}

// Writes into an existing key (it is never created):
//   1, 2, 7  the text as REG_SZ, without its NUL      (2 when the write fails)
//   4        the text read as hexadecimal, REG_DWORD  (3 when it fails)
//   3        the text reversed, its pairs swapped, read as hexadecimal and
//            stored as four little-endian bytes, REG_BINARY (4 when it fails);
//            the caller's text is left rewritten. The bytes are the text's
//            digit pairs in reading order, padded with zeros to four; of a
//            longer text the first four pairs are kept.
// Text that does not begin with a hexadecimal number writes nothing under 4
// or 3 and gives that type's failure code. Any other type writes nothing,
// shows the last error and gives 0. 1 when the key does not open.
int VR_regsetvalue(HKEY root, const char *path, const char *name, char *text, int type)
{
    HKEY key;
    DWORD number;
    int result;

    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        result = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text,
                                (DWORD)strlen(text)) == ERROR_SUCCESS ? 0 : 2;
        break;
    case REG_DWORD:
        result = scanhex(text, &number) &&
                 RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&number,
                                sizeof number) == ERROR_SUCCESS ? 0 : 3;
        break;
    case REG_BINARY:
        _strrev(text);
        VR_straltrevA(text);
        result = scanhex(text, &number) &&
                 RegSetValueExA(key, name, 0, REG_BINARY, (const BYTE *)&number,
                                sizeof number) == ERROR_SUCCESS ? 0 : 4;
        break;
    default:
        VR_whaterror();
        result = 0;
        break;
    }
    RegCloseKey(key);
    return result;
}

// 1 when the value was deleted, and also when root\path does not open (then
// nothing is deleted); 0 when the key opened but the value was not deleted.
int VR_regdelval(HKEY root, const char *path, const char *name)
{
    HKEY key;
    int result;

    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    result = RegDeleteValueA(key, name) == ERROR_SUCCESS ? 1 : 0;
    RegCloseKey(key);
    return result;
}

// Creates child (one or more components) below an existing parent, or opens
// it when it is there: 0 when the child exists afterwards, 1 when the parent
// does not open, 2 when the child cannot be created.
int VR_regaddkey(HKEY root, const char *parent, const char *child)
{
    HKEY key, created;
    DWORD disposition;    // created or opened: both count as success
    int result = 0;

    if (RegOpenKeyExA(root, parent, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    if (RegCreateKeyExA(key, child, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &created, &disposition) == ERROR_SUCCESS)
        RegCloseKey(created);
    else
        result = 2;
    RegCloseKey(key);
    return result;
}

// ---- character-pair swap -------------------------------------------------------

// Swaps each pair of neighbouring characters in place (abcdef -> badcfe); a
// last character without a partner stays. Any length works.
char *VR_straltrevA(char *text)
{
    size_t length = strlen(text);

    for (size_t i = 0; i + 1 < length; i += 2) {
        char first = text[i];
        text[i] = text[i + 1];
        text[i + 1] = first;
    }
    return text;
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
