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

#ifdef __cplusplus
}
#endif

#endif
