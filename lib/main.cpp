// Varrowen: registry operations, identity, error report and install marker,
// text and radix conversions and sector I/O for Tolvane.

#include <windows.h>
#include <math.h>
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
        (void)LocalFree(text);     // NULL on success; nothing to do otherwise
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

// ---- radix conversions ------------------------------------------------------

// Digit characters by value: lower-case letters before upper-case, then '['
// and ']' for 62 and 63.
static const char digitchars[] =
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ[]";

// The letters that VR_str2numA reads, and the value of each.
static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ[]";
static const int lettervalues[54] = {
    10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
    28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45,
    46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63,
};

// A character up to '9' (as a signed byte) counts its code minus '0', so
// other characters there, and bytes from 0x80, count negative. A character
// above '9' that is not a letter of the table counts 0, wherever it stands.
static int digitvalue(char c)
{
    signed char code = (signed char)c;
    int i;

    if (code <= '9')
        return code - '0';
    for (i = 0; i < 54; i++)
        if (letters[i] == code)
            return lettervalues[i];
    return 0;
}

// Truncates toward zero into the signed 32-bit range. Values beyond it
// saturate at INT_MIN or INT_MAX; not-a-number (a zero digit times a power
// that overflowed to infinity) counts 0.
static int toint32(long double value)
{
    if (value != value)
        return 0;
    if (value <= -2147483648.0L)
        return (-2147483647 - 1);
    if (value >= 2147483647.0L)
        return 2147483647;
    return (int)value;
}

// Reads text as a number in base; digits are not checked against the base,
// and the base itself is not checked. Each term and the total saturate at
// the ends of the signed 32-bit range.
long double VR_str2numA(const char *text, int base)
{
    long double total = 0;
    size_t length = strlen(text);
    size_t position;

    for (position = 0; position < length; position++) {
        double power = pow((double)base, (double)position);
        total += toint32(digitvalue(text[length - 1 - position]) * power);
    }
    return toint32(total);
}

// Writes the integer part of value in base into out, most significant digit
// first. A base above 64 is reported and taken as 64. The text is empty for a
// base below 2 and for a value below 1, not a number, or 2147483648 or more,
// so it never needs more than 31 digits and the NUL: the 32 bytes of out.
char *VR_num2strA(long double value, int base, char *out)
{
    int length = 0;

    if (base > 64) {
        MessageBoxA(NULL, "Base above 64 is not allowed with this function. It's Intentionally "
                    "limited. As it extends upto Unusual text characters.",
                    "Use str2numex instead", MB_OK);
        base = 64;
    }
    if (base >= 2 && value >= 1 && value < 2147483648.0L) {
        while (value >= 1) {
            out[length++] = digitchars[(int)value % base];
            value /= base;
        }
    }
    out[length] = 0;
    return _strrev(out);
}

// ---- sector I/O ---------------------------------------------------------------

// The byte count of a transfer, or -1 when the call asks for nothing sound:
// a negative sector, count or size, or a length beyond the int result.
static long long sectorlength(int sector, int count, int size)
{
    long long length = (long long)count * size;

    if (sector < 0 || count < 0 || size < 0 || length > 2147483647)
        return -1;
    return length;
}

// Places the file pointer at sector * 512 with a 64-bit distance, so that
// sectors from 4194304 (2 GiB) on are reached rather than wrapped.
static BOOL seeksector(HANDLE file, int sector)
{
    LARGE_INTEGER distance;

    distance.QuadPart = (long long)sector * 512;
    return SetFilePointerEx(file, distance, NULL, FILE_BEGIN);
}

// Opens path (it must exist), places the pointer at sector and moves count *
// size bytes in one transfer, then closes. Returns the bytes moved: 0 when
// the path does not open or the arguments are refused. A transfer that stops
// early still counts what it moved; the short count is the caller's only
// sign of it.
static int sectortransfer(const char *path, int sector, int count, int size, void *buffer,
                          BOOL write)
{
    long long length = sectorlength(sector, count, size);
    HANDLE file;
    DWORD done = 0;

    if (length < 0)
        return 0;
    // A reader lets others read the path meanwhile, a writer lets others write.
    if (write)
        file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    else
        file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    if (seeksector(file, sector)) {
        if (write)
            (void)WriteFile(file, buffer, (DWORD)length, &done, NULL);
        else
            (void)ReadFile(file, buffer, (DWORD)length, &done, NULL);
    }
    CloseHandle(file);
    return (int)done;
}

// Reads from sector on; fewer bytes at the end of the file.
int VR_readsector(const char *path, int sector, int count, int size, void *buffer)
{
    return sectortransfer(path, sector, count, size, buffer, FALSE);
}

// Writes at sector into a path that exists already; past the end a file grows.
int VR_writesector(const char *path, int sector, int count, int size, void *buffer)
{
    return sectortransfer(path, sector, count, size, buffer, TRUE);
}

// Gives back its second argument and does nothing else. Global, but left out
// of the export list on purpose.
extern "C" int __cdecl VR_readheader(int first, int second)
{
    (void)first;
    return second;
}
