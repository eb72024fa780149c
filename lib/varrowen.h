/* Varrowen: the utility library that Tolvane links at load time.
   Every export is cdecl under its undecorated name; Varrowen.def gives the
   ordinals. */
#ifndef VARROWEN_H
#define VARROWEN_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The library's dotted version, returned by value. */
typedef struct vrversion {
    int major;
    int minor;
    int build;
    int revision;
} vrversion;

int       __cdecl VR_getsignature(void);
void      __cdecl VR_putsignature(void);
vrversion __cdecl VR_version(void);
void      __cdecl VR_whaterror(void);

/* Registry operations: modes 1 (test the key) and 2 (read a value) of
   VR_regquery; the key it returns belongs to the caller. */
HKEY  __cdecl VR_regquery(HKEY root, const char *path, const char *name, int mode,
                          DWORD *type, BYTE *data, DWORD *size);
int   __cdecl VR_regsetvalue(HKEY root, const char *path, const char *name,
                             char *text, int type);
int   __cdecl VR_regdelval(HKEY root, const char *path, const char *name);
int   __cdecl VR_regaddkey(HKEY root, const char *parent, const char *child);
char *__cdecl VR_straltrevA(char *text);

/* Radix conversions in bases 2 to 64, digits "0-9a-zA-Z[]"; out holds 32
   bytes. */
long double __cdecl VR_str2numA(const char *text, int base);
char       *__cdecl VR_num2strA(long double value, int base, char *out);

/* Runs of 512-byte sectors of a file or device: count * size bytes at
   sector * 512, in one transfer. Both return the bytes moved. */
int __cdecl VR_readsector(const char *path, int sector, int count, int size, void *buffer);
int __cdecl VR_writesector(const char *path, int sector, int count, int size, void *buffer);

#ifdef __cplusplus
}
#endif

#endif
