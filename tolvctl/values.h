// Registry values as tolvctl reads, shows, keeps and compares them.
#ifndef TOLVCTL_VALUES_H
#define TOLVCTL_VALUES_H

#include "text.h"

// The two roots that tolvctl works under.
const WCHAR *rootname(HKEY root);               // "HKCU", "HKLM"
const WCHAR *rootlongname(HKEY root);           // "HKEY_CURRENT_USER", ...

// One value as the registry or a file holds it. name is empty for a key's
// default value; a NULL name stands for the key alone, without a value.
struct regvalue {
    HKEY         root;
    const WCHAR *key;
    const WCHAR *name;
    int          present;   // 0: absent, to be deleted
    DWORD        type;
    const BYTE  *data;
    DWORD        size;
};

// What a .reg file holds, or what tolvctl writes into one: sections and
// values in file order, and the keys that were absent when it was written.
struct regimage {
    regvalue *values;
    int       nvalues, room;
    regvalue *absent;       // keys only (NULL names)
    int       nabsent, absentroom;
};

void addvalue(regimage *image, const regvalue *value);
void addabsent(regimage *image, HKEY root, const WCHAR *key);
// Whether the image records the key as absent.
int inabsent(const regimage *image, HKEY root, const WCHAR *key);
// Whether two keys are the same key: roots equal, paths equal but for case.
int samekey(HKEY root1, const WCHAR *key1, HKEY root2, const WCHAR *key2);
// Whether two values are the same value of the same key.
int samevalue(const regvalue *a, const regvalue *b);
// Whether two states of a value are the same: both absent, or the same
// type and bytes.
int samedata(const regvalue *a, const regvalue *b);
// Whether a REG_SZ or REG_EXPAND_SZ holds whole UTF-16 characters ending
// in one NUL, with no other NUL inside.
int isstring(const regvalue *v);

// The largest value data and the longest line that tolvctl reads from a
// file; what it would write beyond them it refuses to write.
enum { maxdata = 65536, maxline = 65536 };

// ---- showing values ---------------------------------------------------------------

// The value path as the lines show it: HKCU\key\name, "(Default)" for the
// default value.
void addvaluepath(buffer *b, const regvalue *v);
// REG_DWORD, ..., or 0x and the number of a type without a name.
void addtypename(buffer *b, DWORD type);
// A value as the lines show it: "absent", "REG_DWORD 0x1", REG_SZ "text",
// or the type and its bytes (the first 32, then how many there are).
void adddescription(buffer *b, const regvalue *v);

// ---- reading the registry ------------------------------------------------------------

// HKEY_CURRENT_USER stands for the hive of the user that a command works
// on: the current user's own, or another user's that the users floor has
// open. Every key under a root is opened through openkey() and made
// through createkey().
void setuserhive(HKEY hive);    // NULL: the current user's own

// A registry link in another user's hive is never followed: it could lead
// an administrator's run out of that hive, into the machine's settings or
// a third user's. There every step of a path is opened by itself with
// REG_OPTION_OPEN_LINK (on a whole path, a link on the way is followed
// still), and a step that is a link fails with linkerror. Its text says
// so from Vista on; older systems and Wine give only its number.
enum { linkerror = 681 };       // ERROR_STOPPED_ON_SYMLINK, which MinGW's headers lack
// Opens a key as RegOpenKeyExW does; the caller closes it.
LONG openkey(HKEY root, const WCHAR *key, REGSAM access, HKEY *handle);
// Makes a key and its missing parents, as RegCreateKeyExW does; in another
// user's hive only the missing steps are made, each then opened as above.
LONG createkey(HKEY root, const WCHAR *key);

// Reads one value of an open key into v: ERROR_SUCCESS whether it is there
// or not.
LONG queryvalue(HKEY handle, regvalue *v);
// v becomes the value, absent.
void novalue(HKEY root, const WCHAR *key, const WCHAR *name, regvalue *v);
// Reads one value with the access given. 1 when it was read (present or
// not), 0 with the error when its key or it cannot be read.
int readvalue(HKEY root, const WCHAR *key, const WCHAR *name, REGSAM access,
              regvalue *v, DWORD *error);
// A key that exists but may not be read still exists.
int keyexists(HKEY root, const WCHAR *key);
// Whether a key could be opened with the access given: the error, or
// ERROR_SUCCESS.
DWORD tryaccess(HKEY root, const WCHAR *key, REGSAM access);

// ---- capture: the present state of values and keys, as a backup keeps it ---------------

// What a command may touch is kept as a regimage too: values with names,
// and keys that it may make with NULL names.
typedef regimage touched;

void touchvalue(touched *t, HKEY root, const WCHAR *key, const WCHAR *name);
// A key, once however often it is named.
void touchkey(touched *t, HKEY root, const WCHAR *key);
// Adds the value's present state, or its absence; 0 after a message when
// it cannot be read or kept.
int capturevalue(regimage *image, HKEY root, const WCHAR *key, const WCHAR *name);
// The present state of all that t names: each key as a section when it
// exists, or with its missing parents as absent; then each value. 0 after
// a message when a value cannot be kept.
int capture(const touched *t, regimage *image);
// In another user's hive, whether a key that t names is, or lies below, a
// registry link: 1 after the message that names it and where it leads.
int findlink(const touched *t);

#endif
