// tolvctl: what its modules share. Text is UTF-16 throughout, as the
// registry's W functions keep it; it becomes UTF-8 only on its way out to a
// file or a pipe.
#ifndef TOLVCTL_H
#define TOLVCTL_H

#include <windows.h>

// ---- memory -------------------------------------------------------------------
//
// tolvctl runs one command and ends, so what it allocates lives until the
// process ends and is never freed one by one. Running out of memory ends
// the process with exit code 1 before anything further is changed.

void *grab(size_t size);                        // zero-filled
WCHAR *wcopy(const WCHAR *text, size_t length); // with a NUL added
WCHAR *widen(const char *text);                 // ASCII (the tables) to UTF-16

// A growable run of bytes.
struct buffer {
    BYTE  *data;
    size_t size, room;
};

void addbytes(buffer *b, const void *data, size_t size);
void addtext(buffer *b, const WCHAR *text);     // UTF-16, without its NUL
void addtext(buffer *b, const char *text);      // ASCII, such as the program's own texts
void addtextn(buffer *b, const WCHAR *text, size_t length);
void addchar(buffer *b, WCHAR c);
void addnumber(buffer *b, unsigned long number);
void addhex(buffer *b, unsigned long long number, int digits);   // lower case, at least digits
// The buffer's UTF-16 text with a NUL added, and its length in characters.
const WCHAR *textof(buffer *b);
// Whether text (of length characters) starts with the ASCII word, exactly.
int prefixis(const WCHAR *text, size_t length, const char *word);
// Whether text (of length characters) starts with word, ignoring case as
// the registry and Group Policy do.
int startswith(const WCHAR *text, size_t length, const WCHAR *word);
size_t textlength(const buffer *b);

// ---- output -------------------------------------------------------------------
//
// Standard output and standard error, each gathered in a buffer: a console
// gets it through WriteConsoleW, a file or a pipe as UTF-8. Lines end in
// CR LF.

extern buffer out, err;
void flush(void);

// The system's text for an error code, without its line end.
const WCHAR *systemtext(DWORD code);

// ---- registry values ------------------------------------------------------------

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
// Whether a REG_SZ or REG_EXPAND_SZ holds whole UTF-16 characters ending
// in one NUL, with no other NUL inside.
int isstring(const regvalue *v);
void addabsent(regimage *image, HKEY root, const WCHAR *key);
// Whether two keys are the same key: roots equal, paths equal but for case.
int samekey(HKEY root1, const WCHAR *key1, HKEY root2, const WCHAR *key2);

// The largest value data and the longest line that tolvctl reads from a
// file; what it would write beyond them it refuses to write.
enum { maxdata = 65536, maxline = 65536 };

// ---- .reg files (regfile.cpp) -------------------------------------------------------

// The file's bytes: "Windows Registry Editor Version 5.00", UTF-16LE with a
// byte-order mark and CR LF line ends. kind ("backup", "export", "undo
// journal") names the file in its first and last comment lines; a file
// that has the first and not the last is reported as cut short. A note,
// when given, follows the first comment line.
void writereg(buffer *file, const regimage *image, const WCHAR *kind, const WCHAR *note);

// Reads a .reg file of either version as regedit writes it, limited to
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. On failure it gives 0 and, in
// error, "file:line: what is wrong". note gets the text of a note line, or
// NULL.
int readreg(const BYTE *data, size_t size, const WCHAR *file, regimage *image,
            const WCHAR **note, buffer *error);

// ---- commands -------------------------------------------------------------------

// Runs the command that argv names (argv[0] is the program); its exit code.
// What it prints waits in out and err until flush().
int run(int argc, WCHAR **argv);

// ---- Registry.pol files (polfile.cpp) ---------------------------------------------

// The values of image under root as a Registry.pol file, in image order,
// absent values as Group Policy's deletions; the number of records.
int writepol(buffer *file, const regimage *image, HKEY root);

// Reads a Registry.pol file as what it does to values under root, in file
// order: a present value is set, an absent one deleted, and an absent one
// without a name stands for every value of its key. On failure, 0 with the
// byte offset and what is wrong there.
int readpol(const BYTE *data, size_t size, HKEY root, regimage *actions, size_t *offset,
            const char **why);

// ---- files ----------------------------------------------------------------------

// The whole file; 0 with the system's error code when it cannot be read.
int readfile(const WCHAR *path, buffer *contents, DWORD *error);
// Writes a temporary file beside path and renames it over path, so that a
// failed write leaves nothing half-written under that name. 0 with the
// system's error code on failure.
int writefile(const WCHAR *path, const void *data, size_t size, DWORD *error);

#endif
