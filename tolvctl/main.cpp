// tolvctl: Tolvane's settings from the command line, for scripts and many
// machines. It reads and writes the registry itself, through the same
// tables and walks as the dialogs, and keeps an undo journal of the exact
// bytes that each change replaced.
#include <windows.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>
#include "policy.h"
#include "tolvctl.h"

#ifndef TOLVANE_VERSION
#error "TOLVANE_VERSION gives the product's version"
#endif

// ---- memory and text --------------------------------------------------------------

void *grab(size_t size)
{
    void *p = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
    if (!p) {
        static const char text[] = "tolvctl: out of memory\r\n";
        DWORD written;
        (void)WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, sizeof text - 1, &written, NULL);
        ExitProcess(1);
    }
    return p;
}

WCHAR *wcopy(const WCHAR *text, size_t length)
{
    WCHAR *copy = (WCHAR *)grab((length + 1) * sizeof(WCHAR));
    CopyMemory(copy, text, length * sizeof(WCHAR));
    return copy;
}

WCHAR *widen(const char *text)
{
    size_t length = lstrlenA(text);
    WCHAR *wide = (WCHAR *)grab((length + 1) * sizeof(WCHAR));
    for (size_t i = 0; i < length; i++)
        wide[i] = (BYTE)text[i];
    return wide;
}

// Room for size more bytes and a NUL character after them.
static void reserve(buffer *b, size_t size)
{
    if (b->size + size + sizeof(WCHAR) > b->room) {
        size_t room = b->room ? b->room : 256;
        while (room < b->size + size + sizeof(WCHAR))
            room *= 2;
        BYTE *grown = (BYTE *)grab(room);
        if (b->size)
            CopyMemory(grown, b->data, b->size);
        b->data = grown;
        b->room = room;
    }
}

void addbytes(buffer *b, const void *data, size_t size)
{
    reserve(b, size);
    if (size)
        CopyMemory(b->data + b->size, data, size);
    b->size += size;
}

void addtextn(buffer *b, const WCHAR *text, size_t length)
{
    addbytes(b, text, length * sizeof(WCHAR));
}

void addtext(buffer *b, const WCHAR *text)
{
    addtextn(b, text, lstrlenW(text));
}

void addtext(buffer *b, const char *text)
{
    size_t length = lstrlenA(text);
    reserve(b, length * sizeof(WCHAR));
    WCHAR *to = (WCHAR *)(b->data + b->size);
    for (size_t i = 0; i < length; i++)
        to[i] = (BYTE)text[i];
    b->size += length * sizeof(WCHAR);
}

void addchar(buffer *b, WCHAR c)
{
    addbytes(b, &c, sizeof c);
}

void addnumber(buffer *b, unsigned long number)
{
    WCHAR digits[24];
    int n = 0;
    do {
        digits[n++] = (WCHAR)(L'0' + number % 10);
        number /= 10;
    } while (number);
    while (n)
        addchar(b, digits[--n]);
}

void addhex(buffer *b, unsigned long long number, int digits)
{
    WCHAR text[16];
    int n = 0;
    do {
        text[n++] = L"0123456789abcdef"[number & 15];
        number >>= 4;
    } while (number || n < digits);
    while (n)
        addchar(b, text[--n]);
}

const WCHAR *textof(buffer *b)
{
    reserve(b, 0);
    b->data[b->size] = b->data[b->size + 1] = 0;
    return b->size ? (const WCHAR *)b->data : L"";
}

size_t textlength(const buffer *b)
{
    return b->size / sizeof(WCHAR);
}

static int sametext(const WCHAR *a, const WCHAR *b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

static char lowerascii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c + 32) : c;
}

// The tables' own texts, which are ASCII, ignoring case.
static int sametextA(const char *a, const char *b)
{
    for (; *a && *b; a++, b++)
        if (lowerascii(*a) != lowerascii(*b))
            return 0;
    return !*a && !*b;
}

// What follows the ASCII word at the start of given, ignoring the case of
// ASCII letters; NULL when given does not start with it.
static const WCHAR *afterword(const WCHAR *given, const char *word)
{
    for (; *word; given++, word++) {
        WCHAR g = *given >= L'A' && *given <= L'Z' ? *given + 32 : *given;
        if (g != (BYTE)lowerascii(*word))
            return NULL;
    }
    return given;
}

// Whether what the command line gives is the word, ignoring case.
static int sameword(const WCHAR *given, const char *word)
{
    const WCHAR *rest = afterword(given, word);
    return rest && !*rest;
}

int prefixis(const WCHAR *text, size_t length, const char *word)
{
    for (size_t i = 0; word[i]; i++)
        if (i == length || text[i] != (BYTE)word[i])
            return 0;
    return 1;
}

int startswith(const WCHAR *text, size_t length, const WCHAR *word)
{
    size_t n = lstrlenW(word);
    return length >= n && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text, (int)n, word, (int)n) == CSTR_EQUAL;
}

// The data text of a table: a short hexadecimal numeral.
static DWORD hexnumber(const char *text)
{
    DWORD number = 0;
    for (; *text; text++)
        number = number * 16 + (*text <= '9' ? *text - '0' : lowerascii(*text) - 'a' + 10);
    return number;
}

// ---- output -------------------------------------------------------------------

buffer out, err;

static void flushto(buffer *b, DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    DWORD mode, written;
    size_t length = textlength(b);

    if (!length || handle == INVALID_HANDLE_VALUE || !handle) {
        b->size = 0;
        return;
    }
    const WCHAR *text = textof(b);
    if (GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode)) {
        (void)WriteConsoleW(handle, text, (DWORD)length, &written, NULL);
    } else {
        int n = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, NULL, 0, NULL, NULL);
        char *utf8 = (char *)grab(n);
        WideCharToMultiByte(CP_UTF8, 0, text, (int)length, utf8, n, NULL, NULL);
        // Nowhere to report a failed write of the output itself.
        (void)WriteFile(handle, utf8, n, &written, NULL);
    }
    b->size = 0;
}

void flush(void)
{
    flushto(&out, STD_OUTPUT_HANDLE);
    flushto(&err, STD_ERROR_HANDLE);
}

static void say(const WCHAR *text)
{
    addtext(&out, text);
}

static void say(const char *text)
{
    addtext(&out, text);
}

static void sayline(void)
{
    addtext(&out, "\r\n");
    if (out.size > 16384)
        flush();
}

// "tolvctl: " and the message on standard error: literal text and, between
// the literal parts, what the command was given or found.
static void complain(const char *a, const WCHAR *b = NULL, const char *c = NULL,
                     const WCHAR *d = NULL)
{
    addtext(&err, "tolvctl: ");
    addtext(&err, a);
    if (b)
        addtext(&err, b);
    if (c)
        addtext(&err, c);
    if (d)
        addtext(&err, d);
    addtext(&err, "\r\n");
}

const WCHAR *systemtext(DWORD code)
{
    WCHAR *text = NULL;
    buffer b = {};

    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPWSTR)&text, 0, NULL) && text) {
        size_t length = lstrlenW(text);
        while (length && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' '))
            length--;
        addtextn(&b, text, length);
        (void)LocalFree(text);      // NULL on success; nothing to do otherwise
    } else {
        addtext(&b, "error ");
        addnumber(&b, code);
    }
    return textof(&b);
}

// ---- files ----------------------------------------------------------------------

enum { maxfile = 64 << 20 };

int readfile(const WCHAR *path, buffer *contents, DWORD *error)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    LARGE_INTEGER size;
    DWORD done;
    int ok = 0;

    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return 0;
    }
    if (!GetFileSizeEx(file, &size)) {
        *error = GetLastError();
    } else if (size.QuadPart > maxfile) {
        *error = ERROR_FILE_TOO_LARGE;
    } else {
        contents->size = 0;
        reserve(contents, (size_t)size.QuadPart);
        if (ReadFile(file, contents->data, (DWORD)size.QuadPart, &done, NULL)) {
            contents->size = done;
            ok = 1;
        } else {
            *error = GetLastError();
        }
    }
    CloseHandle(file);
    return ok;
}

int writefile(const WCHAR *path, const void *data, size_t size, DWORD *error)
{
    // The temporary file is made in the folder of path, so that the rename
    // stays on one volume.
    WCHAR folder[MAX_PATH], temporary[MAX_PATH];
    WCHAR *part;
    DWORD length = GetFullPathNameW(path, MAX_PATH, folder, &part);

    if (!length || length >= MAX_PATH || !part) {
        *error = length >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return 0;
    }
    *part = 0;
    if (!GetTempFileNameW(folder, L"tlv", 0, temporary)) {
        *error = GetLastError();
        return 0;
    }
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD done;
    int ok = file != INVALID_HANDLE_VALUE && WriteFile(file, data, (DWORD)size, &done, NULL) &&
             done == size;
    if (!ok)
        *error = GetLastError();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && ok) {
        *error = GetLastError();
        ok = 0;
    }
    if (ok && !MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = GetLastError();
        ok = 0;
    }
    if (!ok)
        (void)DeleteFileW(temporary);   // gone already, or nothing more to do
    return ok;
}

// ---- registry values ----------------------------------------------------------------

const WCHAR *rootname(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU";
}

const WCHAR *rootlongname(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

int samekey(HKEY root1, const WCHAR *key1, HKEY root2, const WCHAR *key2)
{
    return root1 == root2 && sametext(key1, key2);
}

static int samevalue(const regvalue *a, const regvalue *b)
{
    return samekey(a->root, a->key, b->root, b->key) && a->name && b->name && sametext(a->name, b->name);
}

static int samedata(const regvalue *a, const regvalue *b)
{
    return a->present == b->present &&
           (!a->present || (a->type == b->type && a->size == b->size &&
                            (!a->size || !memcmp(a->data, b->data, a->size))));
}

// Adds one to a growing array of values.
static void append(regvalue **items, int *n, int *room, const regvalue *item)
{
    if (*n == *room) {
        *room = *room ? *room * 2 : 32;
        regvalue *grown = (regvalue *)grab(*room * sizeof *grown);
        if (*n)
            CopyMemory(grown, *items, *n * sizeof *grown);
        *items = grown;
    }
    (*items)[(*n)++] = *item;
}

void addvalue(regimage *image, const regvalue *value)
{
    append(&image->values, &image->nvalues, &image->room, value);
}

// Whether the image records the key as absent.
static int inabsent(const regimage *image, HKEY root, const WCHAR *key)
{
    for (int i = 0; i < image->nabsent; i++)
        if (samekey(root, key, image->absent[i].root, image->absent[i].key))
            return 1;
    return 0;
}

void addabsent(regimage *image, HKEY root, const WCHAR *key)
{
    regvalue k = { root, key, NULL, 0, 0, NULL, 0 };
    if (!inabsent(image, root, key))
        append(&image->absent, &image->nabsent, &image->absentroom, &k);
}

// The value path as the lines show it: HKCU\key\name, "(Default)" for the
// default value.
static void addvaluepath(buffer *b, const regvalue *v)
{
    addtext(b, rootname(v->root));
    addchar(b, L'\\');
    addtext(b, v->key);
    if (v->name) {
        addchar(b, L'\\');
        if (*v->name)
            addtext(b, v->name);
        else
            addtext(b, "(Default)");
    }
}

static const char *typetext(DWORD type)
{
    static const char *const names[] = {
        "REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
        "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST",
        "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD",
    };
    return type < sizeof names / sizeof names[0] ? names[type] : NULL;
}

static void addtypename(buffer *b, DWORD type)
{
    if (typetext(type)) {
        addtext(b, typetext(type));
    } else {
        addtext(b, "0x");
        addhex(b, type, 8);
    }
}

int isstring(const regvalue *v)
{
    const WCHAR *text = (const WCHAR *)v->data;
    size_t length = v->size / sizeof(WCHAR);

    if ((v->type != REG_SZ && v->type != REG_EXPAND_SZ) || v->size % sizeof(WCHAR) ||
        !length || text[length - 1])
        return 0;
    for (size_t i = 0; i + 1 < length; i++)
        if (!text[i])
            return 0;
    return 1;
}

// A value as the lines show it: "absent", "REG_DWORD 0x1", REG_SZ "text",
// or the type and its bytes (the first 32, then how many there are).
static void adddescription(buffer *b, const regvalue *v)
{
    if (!v->present) {
        addtext(b, "absent");
        return;
    }
    addtypename(b, v->type);
    addchar(b, L' ');
    if (v->type == REG_DWORD && v->size == 4) {
        DWORD number;
        CopyMemory(&number, v->data, 4);
        addtext(b, "0x");
        addhex(b, number, 1);
    } else if (v->type == REG_QWORD && v->size == 8) {
        unsigned long long number;
        CopyMemory(&number, v->data, 8);
        addtext(b, "0x");
        addhex(b, number, 1);
    } else if (isstring(v)) {
        addchar(b, L'"');
        addtextn(b, (const WCHAR *)v->data, v->size / sizeof(WCHAR) - 1);
        addchar(b, L'"');
    } else if (!v->size) {
        addtext(b, "(empty)");
    } else {
        for (DWORD i = 0; i < v->size && i < 32; i++)
            addhex(b, v->data[i], 2);
        if (v->size > 32) {
            addtext(b, "... (");
            addnumber(b, v->size);
            addtext(b, " bytes)");
        }
    }
}

// Reads one value of an open key into v: ERROR_SUCCESS whether it is there
// or not. Most values fit the dialogs' own 2,048 bytes: one read. A longer
// one is read again into room of its size, which may grow meanwhile.
static LONG queryvalue(HKEY handle, regvalue *v)
{
    BYTE first[2048];
    DWORD size = sizeof first, type;
    LONG rc = RegQueryValueExW(handle, v->name, NULL, &type, first, &size);

    if (rc == ERROR_SUCCESS) {
        BYTE *data = (BYTE *)grab(size + sizeof(WCHAR));
        CopyMemory(data, first, size);
        v->data = data;
    }
    while (rc == ERROR_MORE_DATA) {
        BYTE *data = (BYTE *)grab(size + sizeof(WCHAR));
        rc = RegQueryValueExW(handle, v->name, NULL, &type, data, &size);
        v->data = data;
    }
    if (rc == ERROR_SUCCESS) {
        v->present = 1;
        v->type = type;
        v->size = size;
    }
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

static void novalue(HKEY root, const WCHAR *key, const WCHAR *name, regvalue *v)
{
    regvalue absent = { root, key, name, 0, 0, NULL, 0 };
    *v = absent;
}

// Reads one value with the access given. 1 when it was read (present or
// not), 0 with the error when its key or it cannot be read.
static int readvalue(HKEY root, const WCHAR *key, const WCHAR *name, REGSAM access,
                     regvalue *v, DWORD *error)
{
    HKEY handle;
    LONG rc;

    novalue(root, key, name, v);
    rc = RegOpenKeyExW(root, key, 0, access, &handle);
    if (rc == ERROR_FILE_NOT_FOUND)
        return 1;
    if (rc == ERROR_SUCCESS) {
        rc = queryvalue(handle, v);
        RegCloseKey(handle);
    }
    *error = rc;
    return rc == ERROR_SUCCESS;
}

static int keyexists(HKEY root, const WCHAR *key)
{
    HKEY handle;
    LONG rc = RegOpenKeyExW(root, key, 0, KEY_READ, &handle);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(handle);
    // A key that exists but may not be read still exists.
    return rc != ERROR_FILE_NOT_FOUND;
}

// ---- settings -------------------------------------------------------------------------

// One value of a box: where the dialog reads it (the read row, or NULL when
// it only writes it) and what Apply writes (the first target, or NULL when
// it only reads it).
struct boxvalue {
    HKEY           root;
    const char    *key;
    const char    *name;
    const readrow *read;
    const target  *write;
};

// The values of one box: its read rows in read order, then what only Apply
// writes, each value once.
static int boxvalues(const dialogboxes *d, int id, boxvalue *values, int room)
{
    int n = 0;
    const policydialog *pd = d->tables;

    for (int i = 0; i < pd->nreads; i++) {
        const readrow *row = &pd->reads[i];
        if (row->id != id || n == room)
            continue;
        boxvalue v = { row->root, row->key, row->name, row, NULL };
        values[n++] = v;
    }
    for (int i = 0; i < pd->napplies; i++) {
        const applyrow *row = &pd->applies[i];
        for (int t = 0; row->id == id && t < COUNT(row->targets) && row->targets[t].name; t++) {
            const target *tg = &row->targets[t];
            int j = 0;
            while (j < n && !(values[j].root == tg->root && sametextA(values[j].key, tg->key) &&
                              sametextA(values[j].name, tg->name)))
                j++;
            if (j < n) {
                if (!values[j].write)
                    values[j].write = tg;
            } else if (n < room) {
                boxvalue v = { tg->root, tg->key, tg->name, NULL, tg };
                values[n++] = v;
            }
        }
    }
    return n;
}

enum { maxboxvalues = 8 };

// A setting named by its short name, or by tweak.ID or restrict.ID.
static int findsetting(const WCHAR *name, const dialogboxes **dialog, const boxrow **box)
{
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++) {
            const boxrow *b = &alldialogs[d].boxes[i];
            buffer dotted = {};
            addtext(&dotted, alldialogs[d].name);
            addchar(&dotted, L'.');
            addnumber(&dotted, b->id);
            if (sameword(name, b->name) || sametext(name, textof(&dotted))) {
                *dialog = &alldialogs[d];
                *box = b;
                return 1;
            }
        }
    return 0;
}

// ---- local Group Policy -----------------------------------------------------------------
//
// The local policy object's two Registry.pol files, which Group Policy
// applies again at every refresh: what they do to the values that tolvctl
// shows and changes.

// The two sides of a policy object: each folder's Registry.pol holds the
// values of one root.
static const struct { const char *folder; HKEY root; } policysides[] = {
    { "User", HKEY_CURRENT_USER }, { "Machine", HKEY_LOCAL_MACHINE },
};

// %SystemRoot%\System32\GroupPolicy\side\Registry.pol; a 32-bit process on
// 64-bit Windows reaches the real System32 as Sysnative.
static const WCHAR *grouppolicyfile(const char *side)
{
    WCHAR windows[MAX_PATH];
    BOOL wow64 = FALSE;
    buffer path = {};

    if (!GetWindowsDirectoryW(windows, MAX_PATH))
        return NULL;
    if (!IsWow64Process(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    addtext(&path, windows);
    addtext(&path, wow64 ? "\\Sysnative\\GroupPolicy\\" : "\\System32\\GroupPolicy\\");
    addtext(&path, side);
    addtext(&path, "\\Registry.pol");
    return textof(&path);
}

// What both files do, in file order; a file that cannot be parsed adds
// nothing and gets one warning with the byte where it went wrong.
static void loadgrouppolicy(regimage *actions)
{
    for (int i = 0; i < COUNT(policysides); i++) {
        const WCHAR *path = grouppolicyfile(policysides[i].folder);
        buffer contents = {};
        regimage file = {};
        DWORD error;
        size_t offset;
        const char *why;
        if (!path || !readfile(path, &contents, &error))
            continue;   // no local policy on this side
        if (!readpol(contents.data, contents.size, policysides[i].root, &file, &offset, &why)) {
            addtext(&err, "tolvctl: warning: ");
            addtext(&err, path);
            addtext(&err, ": byte ");
            addnumber(&err, (unsigned long)offset);
            addtext(&err, ": ");
            addtext(&err, why);
            addtext(&err, "; nothing of it is shown\r\n");
            continue;
        }
        for (int j = 0; j < file.nvalues; j++)
            addvalue(actions, &file.values[j]);
    }
}

// The last action of local Group Policy on the value, or NULL.
static const regvalue *grouppolicyon(const regimage *actions, const regvalue *v)
{
    const regvalue *found = NULL;

    for (int i = 0; i < actions->nvalues; i++) {
        const regvalue *a = &actions->values[i];
        if (samekey(a->root, a->key, v->root, v->key) && (!a->name || sametext(a->name, v->name)))
            found = a;
    }
    return found;
}

// ---- list -----------------------------------------------------------------------------

// What list shows of one value: its state, and whether it alone would tick
// its box, read as the dialog reads it (full access, 2,048 bytes at most).
struct shownvalue {
    regvalue    value;
    int         readable;   // 0: the key or value could not be read at all
    int         full;       // the key opens with full access
    int         passes;
    const regvalue *policy; // what local Group Policy does to it, or NULL
};

// The key that list has open with full access: values of one key come one
// after another in the tables, so each key is opened once for them.
struct openkey {
    HKEY        root;
    const char *key;
    HKEY        handle;
    LONG        rc;
};

static void showvalue(const boxvalue *bv, shownvalue *s, openkey *open)
{
    DWORD error;
    const WCHAR *key = widen(bv->key), *name = widen(bv->name);

    if (!open->key || open->root != bv->root || !sametextA(open->key, bv->key)) {
        if (open->key && open->rc == ERROR_SUCCESS)
            RegCloseKey(open->handle);
        open->root = bv->root;
        open->key = bv->key;
        open->rc = RegOpenKeyExW(bv->root, key, 0, KEY_ALL_ACCESS, &open->handle);
    }
    novalue(bv->root, key, name, &s->value);
    s->full = open->rc == ERROR_FILE_NOT_FOUND ||
              (open->rc == ERROR_SUCCESS && queryvalue(open->handle, &s->value) == ERROR_SUCCESS);
    s->readable = s->full || readvalue(bv->root, key, name, KEY_READ, &s->value, &error);
    s->passes = s->full && bv->read && s->value.present && s->value.size <= 2048 &&
                ticks(s->value.type, s->value.data, s->value.size, bv->read->test);
}

enum listform { list_text, list_json, list_markdown };

static void addjsonstring(buffer *b, const WCHAR *text, size_t length)
{
    addchar(b, L'"');
    for (size_t i = 0; i < length; i++) {
        WCHAR c = text[i];
        if (c == L'"' || c == L'\\') {
            addchar(b, L'\\');
            addchar(b, c);
        } else if (c < 0x20) {
            addtext(b, "\\u");
            addhex(b, c, 4);
        } else {
            addchar(b, c);
        }
    }
    addchar(b, L'"');
}

// A number for a REG_DWORD, a string for a REG_SZ, hex text otherwise.
static void addjsondata(buffer *b, const regvalue *v)
{
    if (v->type == REG_DWORD && v->size == 4) {
        DWORD number;
        CopyMemory(&number, v->data, 4);
        addnumber(b, number);
    } else if (v->type == REG_SZ && isstring(v)) {
        addjsonstring(b, (const WCHAR *)v->data, v->size / sizeof(WCHAR) - 1);
    } else {
        addchar(b, L'"');
        for (DWORD i = 0; i < v->size; i++)
            addhex(b, v->data[i], 2);
        addchar(b, L'"');
    }
}

static void addjsonvalue(buffer *b, const shownvalue *s)
{
    const regvalue *v = &s->value;

    addtext(b, "{\"root\": \"");
    addtext(b, rootname(v->root));
    addtext(b, "\", \"key\": ");
    addjsonstring(b, v->key, lstrlenW(v->key));
    addtext(b, ", \"value\": ");
    addjsonstring(b, v->name, lstrlenW(v->name));
    addtext(b, v->present ? ", \"present\": true, \"type\": " : ", \"present\": false, \"type\": null");
    if (v->present) {
        addchar(b, L'"');
        addtypename(b, v->type);
        addchar(b, L'"');
    }
    addtext(b, ", \"data\": ");
    if (v->present)
        addjsondata(b, v);
    else
        addtext(b, "null");
    addtext(b, s->passes ? ", \"passes\": true, \"group_policy\": " : ", \"passes\": false, \"group_policy\": ");
    if (!s->policy) {
        addtext(b, "null}");
    } else if (!s->policy->present) {
        addtext(b, "{\"action\": \"delete\"}}");
    } else {
        addtext(b, "{\"action\": \"set\", \"type\": \"");
        addtypename(b, s->policy->type);
        addtext(b, "\", \"data\": ");
        addjsondata(b, s->policy);
        addtext(b, "}}");
    }
}

// The preset names that tick a box of Set Restrictions, comma-separated.
static void addpresets(buffer *b, const dialogboxes *d, int id)
{
    int any = 0;

    if (d->tables != &restrictdialog)
        return;
    for (int i = 0; i < COUNT(presets); i++)
        for (int p = 0; presets[i].id == id && p < COUNT(presetnames); p++)
            if (presets[i].ticked[p]) {
                if (any++)
                    addtext(b, ", ");
                addtext(b, presetnames[p]);
            }
}

static const char *const tickwords[] = {
    "ticks on 1", "ticks on 0", "ticks above 3", "ticks above 0xfffffe",
};

static void addmarkdownbox(buffer *b, const dialogboxes *d, const boxrow *box)
{
    boxvalue values[maxboxvalues];
    int n = boxvalues(d, box->id, values, maxboxvalues);

    addtext(b, "| `");
    addtext(b, box->name);
    addtext(b, "` `");
    addtext(b, d->name);
    addchar(b, L'.');
    addnumber(b, box->id);
    addtext(b, "` | ");
    addtext(b, d->caption);
    addtext(b, " | ");
    addtext(b, box->caption);
    addtext(b, " | ");
    for (int i = 0; i < n; i++) {
        if (i)
            addtext(b, "<br>");
        addtext(b, "`");
        addtext(b, rootname(values[i].root));
        addchar(b, L'\\');
        addtext(b, values[i].key);
        addchar(b, L'\\');
        addtext(b, values[i].name);
        addtext(b, "`");
        if (!values[i].write) {
            addtext(b, " (read only)");
            continue;
        }
        addtext(b, " = ");
        addtext(b, values[i].write->data);
        if (!values[i].read)
            addtext(b, " (written only)");
        else if (values[i].read->test != tick_eq1 || !sametextA(values[i].write->data, "1")) {
            addtext(b, " (");
            addtext(b, tickwords[values[i].read->test]);
            addchar(b, L')');
        }
    }
    addtext(b, " | ");
    addpresets(b, d, box->id);
    addtext(b, " |\r\n");
}

static int listcommand(listform form)
{
    if (form == list_markdown) {
        say("# Settings\r\n\r\n"
            "Every setting of both dialogs, as `tolvctl list --markdown` prints it. On writes "
            "each value with the data shown, as `REG_DWORD`; off deletes them. The box is "
            "ticked when a value that it reads passes its test, equal to 1 unless another is "
            "shown. The presets are the quick settings that tick it.\r\n\r\n"
            "| Name | Dialog | Caption | Registry values, and the data written when on | Presets |\r\n"
            "|---|---|---|---|---|\r\n");
        for (int d = 0; d < COUNT(alldialogs); d++)
            for (int i = 0; i < alldialogs[d].nboxes; i++)
                addmarkdownbox(&out, &alldialogs[d], &alldialogs[d].boxes[i]);
        return 0;
    }

    regimage policy = {};
    loadgrouppolicy(&policy);
    if (form == list_json)
        say("[");
    int first = 1, marked = 0;
    openkey open = {};
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++) {
            const boxrow *box = &alldialogs[d].boxes[i];
            boxvalue values[maxboxvalues];
            shownvalue shown[maxboxvalues];
            int n = boxvalues(&alldialogs[d], box->id, values, maxboxvalues);
            int on = 0;
            for (int v = 0; v < n; v++) {
                showvalue(&values[v], &shown[v], &open);
                shown[v].policy = grouppolicyon(&policy, &shown[v].value);
                on |= shown[v].passes;
            }
            if (form == list_json) {
                say(first ? "\r\n  {\"dialog\": \"" : ",\r\n  {\"dialog\": \"");
                say(alldialogs[d].name);
                say("\", \"id\": ");
                addnumber(&out, box->id);
                say(", \"name\": \"");
                say(box->name);
                say("\", \"caption\": ");
                addjsonstring(&out, widen(box->caption), lstrlenA(box->caption));
                say(on ? ", \"state\": \"on\", \"values\": [" : ", \"state\": \"off\", \"values\": [");
                for (int v = 0; v < n; v++) {
                    if (v)
                        say(", ");
                    addjsonvalue(&out, &shown[v]);
                }
                say("]}");
                first = 0;
                continue;
            }
            say(alldialogs[d].name);
            say(".");
            addnumber(&out, box->id);
            say(" ");
            say(box->name);
            say(on ? ": on  \"" : ": off \"");
            say(box->caption);
            say("\"");
            sayline();
            for (int v = 0; v < n; v++) {
                const shownvalue *s = &shown[v];
                say("    ");
                addvaluepath(&out, &s->value);
                say(": ");
                if (!s->readable)
                    say("cannot be read");
                else
                    adddescription(&out, &s->value);
                if (!values[v].read)
                    say(", written only");
                else if (s->readable && !s->full)
                    say(", no full access: the dialog shows it clear");
                else if (s->value.present)
                    say(s->passes ? ", passes" : ", does not pass");
                if (s->policy) {
                    say(" [local Group Policy: ");
                    if (s->policy->present)
                        adddescription(&out, s->policy);
                    else
                        say("deletes it");
                    say("]");
                    marked++;
                }
                sayline();
            }
        }
    if (open.key && open.rc == ERROR_SUCCESS)
        RegCloseKey(open.handle);
    if (form == list_json)
        say("\r\n]\r\n");
    if (marked) {
        say("[local Group Policy: ...] marks the values that local Group Policy sets or deletes: "
            "it applies them again at its next refresh, whatever is changed here.");
        sayline();
    }
    return 0;
}

// ---- changes --------------------------------------------------------------------------
//
// set, apply, restore and undo change the registry through these steps.
// Each prints one line. In a dry run they look at the registry with the
// run's own planned changes laid over it, so that they print what a real
// run would print.

struct changer {
    int      dryrun;
    int      failures;
    int      changes;
    regimage policy;    // what local Group Policy does to values
    regimage planned;   // dry run: values set or deleted, keys made (NULL names)
    regimage removed;   // dry run: keys removed (in absent)
};

static void addverb(const char *verb)
{
    say(verb);
    for (int n = lstrlenA(verb); n < 10; n++)
        say(" ");
}

static void failed(changer *c, const regvalue *v, DWORD error)
{
    addverb("failed");
    addvaluepath(&out, v);
    if (v->name && v->present) {
        say(" = ");
        adddescription(&out, v);
    } else if (v->name) {
        say(" (delete)");
    }
    say(": ");
    say(systemtext(error));
    sayline();
    c->failures++;
}

static int plannedkey(changer *c, HKEY root, const WCHAR *key)
{
    for (int i = 0; i < c->planned.nvalues; i++)
        if (!c->planned.values[i].name && samekey(root, key, c->planned.values[i].root,
                                                  c->planned.values[i].key))
            return 1;
    return 0;
}

static int removedkey(changer *c, HKEY root, const WCHAR *key)
{
    return inabsent(&c->removed, root, key);
}

static int keythere(changer *c, HKEY root, const WCHAR *key)
{
    if (c->dryrun && removedkey(c, root, key))
        return 0;
    return keyexists(root, key) || (c->dryrun && plannedkey(c, root, key));
}

// The value as the run has left it so far.
static int currentvalue(changer *c, const regvalue *want, regvalue *v, DWORD *error)
{
    if (c->dryrun)
        for (int i = c->planned.nvalues - 1; i >= 0; i--)
            if (samevalue(&c->planned.values[i], want)) {
                *v = c->planned.values[i];
                return 1;
            }
    if (!keythere(c, want->root, want->key)) {
        novalue(want->root, want->key, want->name, v);
        return 1;
    }
    return readvalue(want->root, want->key, want->name, KEY_QUERY_VALUE, v, error);
}

// A line when local Group Policy will undo the value's new state at its
// next refresh.
static void notegrouppolicy(changer *c, const regvalue *v)
{
    const regvalue *p = grouppolicyon(&c->policy, v);

    if (!p || samedata(p, v))
        return;
    addverb("note");
    addvaluepath(&out, v);
    say(p->present ? ": local Group Policy sets it back to " : ": local Group Policy deletes it again");
    if (p->present)
        adddescription(&out, p);
    say(" at its next refresh");
    sayline();
}

static void plan(changer *c, const regvalue *v)
{
    if (c->dryrun)
        addvalue(&c->planned, v);
    c->changes++;
}

// Whether a key could be opened with the access given.
static DWORD tryaccess(HKEY root, const WCHAR *key, REGSAM access)
{
    HKEY handle;
    LONG rc = RegOpenKeyExW(root, key, 0, access, &handle);

    if (rc == ERROR_SUCCESS)
        RegCloseKey(handle);
    return rc;
}

// For a dry run's key that would be made: whether its nearest existing
// parent lets it be.
static DWORD trycreate(HKEY root, const WCHAR *key)
{
    size_t length = lstrlenW(key);
    WCHAR *parent = wcopy(key, length);

    for (;;) {
        while (length && parent[length - 1] != L'\\')
            length--;
        if (!length)
            return ERROR_SUCCESS;   // the root itself takes new keys if anything does
        parent[--length] = 0;
        if (keyexists(root, parent))
            return tryaccess(root, parent, KEY_CREATE_SUB_KEY);
    }
}

// Makes sure that a key exists, with a "created" line when it is made. On
// failure, 0 and the error; the caller's line reports it.
static int ensurekey(changer *c, HKEY root, const WCHAR *key, DWORD *error)
{
    if (keythere(c, root, key))
        return 1;
    if (c->dryrun) {
        *error = trycreate(root, key);
        if (*error != ERROR_SUCCESS)
            return 0;
        regvalue k = { root, key, NULL, 1, 0, NULL, 0 };
        addvalue(&c->planned, &k);
    } else {
        HKEY handle;
        LONG rc = RegCreateKeyExW(root, key, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE,
                                  NULL, &handle, NULL);
        if (rc != ERROR_SUCCESS) {
            *error = rc;
            return 0;
        }
        RegCloseKey(handle);
    }
    c->changes++;
    addverb("created");
    say(rootname(root));
    say("\\");
    say(key);
    sayline();
    return 1;
}

// A key alone: made when missing.
static void makekey(changer *c, HKEY root, const WCHAR *key)
{
    DWORD error;
    if (!ensurekey(c, root, key, &error)) {
        regvalue k = { root, key, NULL, 1, 0, NULL, 0 };
        failed(c, &k, error);
    }
}

// The value's path, and " = " and what it holds, or " (absent)".
static void addvalueline(const regvalue *v)
{
    addvaluepath(&out, v);
    if (v->present) {
        say(" = ");
        adddescription(&out, v);
    } else {
        say(" (absent)");
    }
}

// Sets a value to exactly the type and bytes of v, or deletes it when v is
// absent; a missing key is made for a value to be set.
static void changevalue(changer *c, const regvalue *v)
{
    regvalue before;
    DWORD error;

    if (!currentvalue(c, v, &before, &error))
        goto failure;
    if (samedata(&before, v)) {
        addverb("unchanged");
        addvalueline(v);
    } else {
        if (v->present && !ensurekey(c, v->root, v->key, &error))
            goto failure;
        if (c->dryrun) {
            error = keyexists(v->root, v->key) ? tryaccess(v->root, v->key, KEY_SET_VALUE) : ERROR_SUCCESS;
        } else {
            HKEY handle;
            error = RegOpenKeyExW(v->root, v->key, 0, KEY_SET_VALUE, &handle);
            if (error == ERROR_SUCCESS) {
                error = v->present ? RegSetValueExW(handle, v->name, 0, v->type, v->data, v->size)
                                   : RegDeleteValueW(handle, v->name);
                RegCloseKey(handle);
            }
        }
        if (error != ERROR_SUCCESS)
            goto failure;
        plan(c, v);
        if (v->present) {
            addverb("set");
            addvalueline(v);
        } else {
            addverb("deleted");
            addvaluepath(&out, v);
        }
        say(" (was ");
        adddescription(&out, &before);
        say(")");
    }
    sayline();
    notegrouppolicy(c, v);
    return;
failure:
    failed(c, v, error);
}

// Whether a key holds no values and no keys, as the run has left it. A dry
// run looks at the key's values and keys through its plan: what it deletes
// or removes is gone, what it makes is there.
static int keyisempty(changer *c, HKEY root, const WCHAR *key)
{
    HKEY handle;
    DWORD subkeys = 0, values = 0, longest = 0;
    int left = 0;

    if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return 0;
    if (RegQueryInfoKeyW(handle, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, &longest,
                         NULL, NULL, NULL) != ERROR_SUCCESS)
        left = 1;
    else if (!c->dryrun)
        left = subkeys || values;
    WCHAR *name = (WCHAR *)grab((longest + 1) * sizeof(WCHAR));
    for (DWORD i = 0; c->dryrun && !left && i < values; i++) {
        DWORD length = longest + 1;
        regvalue want = { root, key, name, 1, 0, NULL, 0 }, now;
        DWORD error;
        left = RegEnumValueW(handle, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS ||
               !currentvalue(c, &want, &now, &error) || now.present;
    }
    for (DWORD i = 0; c->dryrun && !left && i < subkeys; i++) {
        WCHAR sub[256];
        DWORD length = 256;
        buffer path = {};
        left = RegEnumKeyExW(handle, i, sub, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS;
        addtext(&path, key);
        addchar(&path, L'\\');
        addtextn(&path, sub, length);
        left = left || !removedkey(c, root, textof(&path));
    }
    RegCloseKey(handle);
    // Values and keys that a dry run makes in or below the key.
    size_t keylength = lstrlenW(key);
    for (int i = 0; c->dryrun && !left && i < c->planned.nvalues; i++) {
        const regvalue *p = &c->planned.values[i];
        size_t length = lstrlenW(p->key);
        int below = p->root == root && length > keylength && p->key[keylength] == L'\\' &&
                    startswith(p->key, length, key);
        regvalue now;
        DWORD error;
        left = (below && !removedkey(c, root, p->key)) ||
               (p->name && samekey(root, key, p->root, p->key) && currentvalue(c, p, &now, &error) &&
                now.present);
    }
    return !left;
}

// Removes a key that a backup records as absent, when it holds nothing.
static void removekey(changer *c, HKEY root, const WCHAR *key)
{
    regvalue k = { root, key, NULL, 1, 0, NULL, 0 };

    if (!keythere(c, root, key))
        return;
    if (!keyisempty(c, root, key)) {
        addverb("kept");
        addvaluepath(&out, &k);
        say(": it holds values or keys");
        sayline();
        return;
    }
    LONG rc = c->dryrun ? tryaccess(root, key, DELETE) : RegDeleteKeyW(root, key);
    if (rc != ERROR_SUCCESS) {
        failed(c, &k, rc);
        return;
    }
    if (c->dryrun)
        addabsent(&c->removed, root, key);
    c->changes++;
    addverb("removed");
    addvaluepath(&out, &k);
    sayline();
}

static int depth(const WCHAR *key)
{
    int n = 0;
    for (; *key; key++)
        n += *key == L'\\';
    return n;
}

// Puts back what a backup records: sections and values in file order, then
// the keys that were absent, the deepest first, where they hold nothing.
static void restoreimage(changer *c, const regimage *image)
{
    for (int i = 0; i < image->nvalues; i++) {
        const regvalue *v = &image->values[i];
        if (!v->name) {
            if (!inabsent(image, v->root, v->key))
                makekey(c, v->root, v->key);
        } else {
            changevalue(c, v);
        }
    }
    int *order = (int *)grab((image->nabsent + 1) * sizeof(int));
    for (int i = 0; i < image->nabsent; i++)
        order[i] = i;
    for (int i = 1; i < image->nabsent; i++)
        for (int j = i; j > 0 && depth(image->absent[order[j]].key) > depth(image->absent[order[j - 1]].key); j--) {
            int t = order[j];
            order[j] = order[j - 1];
            order[j - 1] = t;
        }
    for (int i = 0; i < image->nabsent; i++)
        removekey(c, image->absent[order[i]].root, image->absent[order[i]].key);
}

// ---- capture: the present state of values and keys, as a backup keeps it --------------

// Adds the value's present state, or its absence.
static int capturevalue(regimage *image, HKEY root, const WCHAR *key, const WCHAR *name)
{
    regvalue v, section = { root, key, NULL, 1, 0, NULL, 0 }, want = { root, key, name, 1, 0, NULL, 0 };
    DWORD error;

    for (int i = 0; i < image->nvalues; i++)
        if (samevalue(&image->values[i], &want))
            return 1;
    if (!readvalue(root, key, name, KEY_QUERY_VALUE, &v, &error)) {
        buffer path = {};
        addvaluepath(&path, &section);
        complain("cannot read ", textof(&path), "\\", name);
        return 0;
    }
    if (v.size > maxdata) {
        buffer path = {};
        addvaluepath(&path, &v);
        complain("", textof(&path), " holds more than 65536 bytes, more than tolvctl keeps");
        return 0;
    }
    addvalue(image, &v);
    return 1;
}

// Adds the key as a section when it exists; when it does not, it and each
// of its missing parents are recorded as absent.
static void capturekey(regimage *image, HKEY root, const WCHAR *key)
{
    if (keyexists(root, key)) {
        for (int i = 0; i < image->nvalues; i++)
            if (!image->values[i].name && samekey(root, key, image->values[i].root, image->values[i].key))
                return;
        regvalue section = { root, key, NULL, 1, 0, NULL, 0 };
        addvalue(image, &section);
        return;
    }
    size_t length = lstrlenW(key);
    WCHAR *path = wcopy(key, length);
    while (length && !keyexists(root, path)) {
        addabsent(image, root, wcopy(path, length));
        while (length && path[length - 1] != L'\\')
            length--;
        if (length)
            path[--length] = 0;
    }
}

// What a command may touch is kept as a regimage too: values with names,
// and keys that it may make with NULL names.
typedef regimage touched;

static void touchvalue(touched *t, HKEY root, const WCHAR *key, const WCHAR *name)
{
    regvalue v = { root, key, name, 1, 0, NULL, 0 };
    addvalue(t, &v);
}

static void touchkey(touched *t, HKEY root, const WCHAR *key)
{
    touchvalue(t, root, key, NULL);
}

// The present state of all that t names; 0 after a message when a value
// cannot be kept.
static int capture(const touched *t, regimage *image)
{
    for (int i = 0; i < t->nvalues; i++)
        if (!t->values[i].name)
            capturekey(image, t->values[i].root, t->values[i].key);
    for (int i = 0; i < t->nvalues; i++) {
        const regvalue *v = &t->values[i];
        if (v->name && !capturevalue(image, v->root, v->key, v->name))
            return 0;
    }
    return 1;
}

// ---- the undo journal ---------------------------------------------------------------
//
// One .reg file per change, in the user's local application data folder,
// under Tolvane\undo, named by a rising number; the newest 100 are kept.

enum { journalkeeps = 100 };

typedef HRESULT (WINAPI *getfolderpath)(HWND, int, HANDLE, DWORD, LPWSTR);

// The journal's folder, made when missing; NULL after a message.
static const WCHAR *journalfolder(void)
{
    WCHAR appdata[MAX_PATH];
    buffer folder = {};
    // shell32 is loaded only by the commands that journal.
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    getfolderpath get = shell ? (getfolderpath)(void *)GetProcAddress(shell, "SHGetFolderPathW") : NULL;
    HRESULT hr = get ? get(NULL, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, NULL, 0, appdata) : E_FAIL;

    if (shell)
        (void)FreeLibrary(shell);   // nothing of it is used after this
    if (FAILED(hr)) {
        complain("the local application data folder is not known");
        return NULL;
    }
    addtext(&folder, appdata);
    static const char *const parts[] = { "\\Tolvane", "\\undo" };
    for (int i = 0; i < COUNT(parts); i++) {
        addtext(&folder, parts[i]);
        if (!CreateDirectoryW(textof(&folder), NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
            complain("cannot make ", textof(&folder));
            return NULL;
        }
    }
    return textof(&folder);
}

// The numbers of the journal's entries, ascending.
static int journalentries(const WCHAR *folder, unsigned **numbers)
{
    buffer pattern = {}, list = {};
    WIN32_FIND_DATAW found;
    int n = 0;

    *numbers = NULL;
    addtext(&pattern, folder);
    addtext(&pattern, "\\*.reg");
    HANDLE search = FindFirstFileW(textof(&pattern), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        unsigned number = 0;
        int digits = 0;
        while (found.cFileName[digits] >= L'0' && found.cFileName[digits] <= L'9' && digits < 9)
            number = number * 10 + (found.cFileName[digits++] - L'0');
        if (digits != 8 || !sameword(found.cFileName + 8, ".reg"))
            continue;
        addbytes(&list, &number, sizeof number);
        *numbers = (unsigned *)list.data;
        int i = n++;
        while (i > 0 && (*numbers)[i - 1] > number) {
            (*numbers)[i] = (*numbers)[i - 1];
            i--;
        }
        (*numbers)[i] = number;
    } while (FindNextFileW(search, &found));
    (void)FindClose(search);    // the search is over either way
    return n;
}

static const WCHAR *journalpath(const WCHAR *folder, unsigned number)
{
    buffer path = {};
    addtext(&path, folder);
    addchar(&path, L'\\');
    unsigned long padded = 100000000ul + number;     // eight digits after the 1
    buffer digits = {};
    addnumber(&digits, padded);
    addtext(&path, textof(&digits) + 1);
    addtext(&path, ".reg");
    return textof(&path);
}

// Saves the present state of what a command may touch as the newest entry;
// the name of the entry, or NULL after a message.
static const WCHAR *journal(const touched *t, const WCHAR *command)
{
    const WCHAR *folder = journalfolder();
    regimage image = {};
    buffer file = {};
    unsigned *numbers;
    DWORD error;

    if (!folder || !capture(t, &image))
        return NULL;
    int n = journalentries(folder, &numbers);
    const WCHAR *path = journalpath(folder, n ? numbers[n - 1] + 1 : 1);
    writereg(&file, &image, L"undo journal", command);
    if (!writefile(path, file.data, file.size, &error)) {
        complain("cannot write the undo journal ", path, ": ", systemtext(error));
        return NULL;
    }
    // The oldest go; one that cannot be deleted is tried again next time.
    for (int i = 0; i + journalkeeps - 1 < n; i++)
        (void)DeleteFileW(journalpath(folder, numbers[i]));
    return path;
}

// ---- commands that change the registry ---------------------------------------------

struct applycontext {
    changer    *c;
    touched    *t;                      // collecting what may be touched, or NULL
    const dialogboxes *dialog;
    const int  *states;                 // per box of the dialog: -1, 0 or 1
};

static int boxstate(void *context, int id)
{
    applycontext *a = (applycontext *)context;
    for (int i = 0; i < a->dialog->nboxes; i++)
        if (a->dialog->boxes[i].id == id)
            return a->states[i];
    return -1;
}

// A target as its box leaves it: set to the data Apply writes, or absent.
static regvalue targetvalue(const target *tg, int ticked)
{
    regvalue v = { tg->root, widen(tg->key), widen(tg->name), ticked, 0, NULL, 0 };
    if (ticked) {
        DWORD *data = (DWORD *)grab(sizeof(DWORD));
        *data = hexnumber(tg->data);
        v.type = REG_DWORD;
        v.data = (const BYTE *)data;
        v.size = sizeof(DWORD);
    }
    return v;
}

static void writetarget(void *context, const target *tg, int ticked)
{
    applycontext *a = (applycontext *)context;
    regvalue v = targetvalue(tg, ticked);

    if (a->t) {
        // A value to be set may need its key made; one to be deleted not.
        if (ticked)
            touchkey(a->t, v.root, v.key);
        touchvalue(a->t, v.root, v.key, v.name);
        return;
    }
    changevalue(a->c, &v);
}

// folder\name: a path in the registry or on disk.
static const WCHAR *joinpath(const WCHAR *folder, const char *name)
{
    buffer path = {};
    addtext(&path, folder);
    addchar(&path, L'\\');
    addtext(&path, name);
    return textof(&path);
}

// parent\leaf, the path of a key that Apply makes sure of.
static const WCHAR *keypath(const char *parent, const char *leaf)
{
    return joinpath(widen(parent), leaf);
}

static int testopens(void *context, const char *path)
{
    (void)context;
    return keyexists(HKCU, widen(path));
}

static void prepkey(void *context, const char *parent, const char *leaf)
{
    applycontext *a = (applycontext *)context;
    if (a->t)
        touchkey(a->t, HKCU, keypath(parent, leaf));
    else
        makekey(a->c, HKCU, keypath(parent, leaf));
}

// The command line as the journal notes it.
static const WCHAR *commandline(int argc, WCHAR **argv)
{
    buffer b = {};
    addtext(&b, "tolvctl");
    for (int i = 1; i < argc; i++) {
        addchar(&b, L' ');
        addtext(&b, argv[i]);
    }
    return textof(&b);
}

static int finish(changer *c, const WCHAR *entry)
{
    if (entry && !c->changes)
        (void)DeleteFileW(entry);   // nothing changed: nothing to undo
    if (c->dryrun)
        addtext(&err, "tolvctl: dry run: nothing was changed\r\n");
    return c->failures ? 1 : 0;
}

// Both dialogs' walks with the boxes in the states given: collecting what
// they may touch into t, or changing the registry when t is NULL.
static void walkboxes(changer *c, touched *t, int *const *states, int prepare)
{
    for (int d = 0; d < COUNT(alldialogs); d++) {
        applycontext a = { c, t, &alldialogs[d], states[d] };
        if (prepare && alldialogs[d].tables == &restrictdialog)
            walkprepare(alldialogs[d].tables, &a, testopens, prepkey);
        walkapply(alldialogs[d].tables, &a, boxstate, writetarget);
    }
}

// Sets boxes of the dialogs to the states given (one array per dialog),
// as Apply would for those boxes; with prepare, after the key preparation
// of Set Restrictions, as the dialog's Apply does.
static int changeboxes(int *const *states, int prepare, int dryrun, const WCHAR *command)
{
    changer c = {};
    loadgrouppolicy(&c.policy);
    touched t = {};
    const WCHAR *entry = NULL;

    c.dryrun = dryrun;
    // Everything that the run may touch, saved before it starts.
    if (!dryrun) {
        walkboxes(&c, &t, states, prepare);
        entry = journal(&t, command);
        if (!entry)
            return 1;
    }
    walkboxes(&c, NULL, states, prepare);
    return finish(&c, entry);
}

static int usage(const char *command);

// The state of every box of both dialogs: -1 (left alone), 0 or 1.
static int **nostates(void)
{
    int **states = (int **)grab(COUNT(alldialogs) * sizeof *states);
    for (int d = 0; d < COUNT(alldialogs); d++) {
        states[d] = (int *)grab(alldialogs[d].nboxes * sizeof(int));
        for (int i = 0; i < alldialogs[d].nboxes; i++)
            states[d][i] = -1;
    }
    return states;
}

// One SETTING=on|off into the states: 0, or 2 after the message (and the
// usage of command when the argument is no SETTING=... at all).
static int namestate(int **states, const WCHAR *arg, const char *command)
{
    const WCHAR *equals = arg;
    while (*equals && *equals != L'=')
        equals++;
    if (!*equals) {
        complain("expected SETTING=on or SETTING=off, not ", arg);
        return usage(command);
    }
    const WCHAR *name = wcopy(arg, equals - arg);
    const dialogboxes *dialog;
    const boxrow *box;
    if (!findsetting(name, &dialog, &box)) {
        complain("unknown setting ", name, "; \"tolvctl list\" shows them all");
        return 2;
    }
    int on = sameword(equals + 1, "on");
    if (!on && !sameword(equals + 1, "off")) {
        complain("a setting is on or off, not ", equals + 1);
        return 2;
    }
    int *state = &states[dialog - alldialogs][box - dialog->boxes];
    if (*state >= 0) {
        complain("the setting is named twice: ", name);
        return 2;
    }
    *state = on;
    return 0;
}

// The 43 boxes of Set Restrictions as the preset sets them: 0, or 2 after
// the message.
static int presetstates(int **states, const WCHAR *preset)
{
    int p = 0;
    while (p < COUNT(presetnames) && !sameword(preset, presetnames[p]))
        p++;
    if (p == COUNT(presetnames)) {
        complain("unknown preset ", preset, "; the presets are school, cyber-cafe, "
                 "highly-restricted and clear-all");
        return 2;
    }
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++)
            for (int r = 0; alldialogs[d].tables == &restrictdialog && r < COUNT(presets); r++)
                if (presets[r].id == alldialogs[d].boxes[i].id)
                    states[d][i] = presets[r].ticked[p];
    return 0;
}

static int setcommand(int argc, WCHAR **argv, int first, int dryrun)
{
    int **states = nostates();
    int named = 0;

    for (int i = first; i < argc; i++) {
        if (sameword(argv[i], "--dry-run"))
            continue;
        int code = namestate(states, argv[i], "set");
        if (code)
            return code;
        named++;
    }
    if (!named) {
        complain("name at least one SETTING=on or SETTING=off");
        return usage("set");
    }
    return changeboxes(states, 0, dryrun, commandline(argc, argv));
}

static int applycommand(int argc, WCHAR **argv, int first, int dryrun)
{
    const WCHAR *preset = NULL;
    int **states = nostates();

    for (int i = first; i < argc; i++) {
        if (sameword(argv[i], "--dry-run"))
            continue;
        if (preset) {
            complain("apply takes one preset");
            return usage("apply");
        }
        preset = argv[i];
    }
    if (!preset) {
        complain("apply needs a preset: school, cyber-cafe, highly-restricted or clear-all");
        return usage("apply");
    }
    if (presetstates(states, preset))
        return 2;
    return changeboxes(states, 1, dryrun, commandline(argc, argv));
}

// Reads and checks a .reg file whole; 0 after the message.
static int loadreg(const WCHAR *path, regimage *image, const WCHAR **note)
{
    buffer contents = {}, error = {};
    DWORD code;

    if (!readfile(path, &contents, &code)) {
        complain("cannot read ", path, ": ", systemtext(code));
        return 0;
    }
    if (!readreg(contents.data, contents.size, path, image, note, &error)) {
        complain("", textof(&error));
        return 0;
    }
    return 1;
}

static int restorecommand(const WCHAR *path, int dryrun, const WCHAR *command)
{
    regimage image = {};
    const WCHAR *note;
    changer c = {};
    const WCHAR *entry = NULL;

    if (!loadreg(path, &image, &note))
        return 2;
    loadgrouppolicy(&c.policy);
    c.dryrun = dryrun;
    if (!dryrun) {
        touched t = {};
        for (int i = 0; i < image.nvalues; i++) {
            touchkey(&t, image.values[i].root, image.values[i].key);
            if (image.values[i].name)
                touchvalue(&t, image.values[i].root, image.values[i].key, image.values[i].name);
        }
        for (int i = 0; i < image.nabsent; i++)
            touchkey(&t, image.absent[i].root, image.absent[i].key);
        entry = journal(&t, command);
        if (!entry)
            return 1;
    }
    restoreimage(&c, &image);
    return finish(&c, entry);
}

static int undocommand(int dryrun)
{
    const WCHAR *folder = journalfolder();
    unsigned *numbers;
    regimage image = {};
    const WCHAR *note;
    changer c = {};

    if (!folder)
        return 1;
    int n = journalentries(folder, &numbers);
    if (!n) {
        complain("the undo journal is empty: nothing to undo");
        return 1;
    }
    const WCHAR *path = journalpath(folder, numbers[n - 1]);
    if (!loadreg(path, &image, &note))
        return 2;
    loadgrouppolicy(&c.policy);
    say("undo of: ");
    say(note ? note : path);
    sayline();
    c.dryrun = dryrun;
    restoreimage(&c, &image);
    if (!dryrun && !c.failures && !DeleteFileW(path)) {
        complain("cannot remove the journal entry ", path, ": ", systemtext(GetLastError()));
        return 1;
    }
    if (c.failures)
        complain("the journal entry is kept, so that undo can be run again: ", path);
    return finish(&c, NULL);
}

// ---- backup ---------------------------------------------------------------------------

// Everything that the two dialogs read, write or make.
static void touchall(touched *t)
{
    for (int i = 0; i < COUNT(preparedkeys); i++)
        touchkey(t, HKCU, keypath(preparedkeys[i].parent, preparedkeys[i].leaf));
    for (int d = 0; d < COUNT(alldialogs); d++) {
        const policydialog *pd = alldialogs[d].tables;
        for (int i = 0; i < pd->ntests; i++)
            touchkey(t, HKCU, widen(pd->tests[i].parent));
        for (int b = 0; b < alldialogs[d].nboxes; b++) {
            boxvalue values[maxboxvalues];
            int n = boxvalues(&alldialogs[d], alldialogs[d].boxes[b].id, values, maxboxvalues);
            for (int v = 0; v < n; v++)
                touchvalue(t, values[v].root, widen(values[v].key), widen(values[v].name));
        }
    }
}

static int backupcommand(const WCHAR *path)
{
    touched t = {};
    regimage image = {};
    buffer file = {};
    DWORD error;

    touchall(&t);
    if (!capture(&t, &image))
        return 1;
    writereg(&file, &image, L"backup", NULL);
    if (!writefile(path, file.data, file.size, &error)) {
        complain("cannot write ", path, ": ", systemtext(error));
        return 1;
    }
    int values = 0;
    for (int i = 0; i < image.nvalues; i++)
        values += image.values[i].name != NULL;
    say("saved ");
    addnumber(&out, values);
    say(" values and ");
    addnumber(&out, image.nabsent);
    say(" absent keys to ");
    say(path);
    sayline();
    return 0;
}

// ---- export -----------------------------------------------------------------------------
//
// Settings as files for other machines: a .reg file for reg import or
// regedit, or Registry.pol files for Group Policy. Nothing in the registry
// changes.

// Group Policy removes what a policy object set when the object stops
// applying only in these branches, under either root.
static int inpolicybranch(const WCHAR *key)
{
    static const char *const branches[] = {
        "Software\\Policies", "Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
    };
    for (int i = 0; i < COUNT(branches); i++) {
        const WCHAR *rest = afterword(key, branches[i]);
        if (rest && (!*rest || *rest == L'\\'))
            return 1;
    }
    return 0;
}

// On: the target with the data Apply writes; off: its deletion. A target
// that two rows write is exported once.
static void exporttarget(void *context, const target *tg, int ticked)
{
    applycontext *a = (applycontext *)context;
    regvalue v = targetvalue(tg, ticked);

    for (int i = 0; i < a->t->nvalues; i++)
        if (samevalue(&a->t->values[i], &v))
            return;
    addvalue(a->t, &v);
}

// Makes a folder and its missing parents; 0 with the error. Each parent is
// tried in turn and may fail where it exists or cannot be made, such as a
// drive or a server's share; only the folder itself must be there at the end.
static int makefolders(const WCHAR *path, DWORD *error)
{
    size_t length = lstrlenW(path);
    WCHAR *part = wcopy(path, length);

    *error = ERROR_PATH_NOT_FOUND;
    for (size_t i = 1; i <= length; i++)
        if (i == length || part[i] == L'\\' || part[i] == L'/') {
            WCHAR kept = part[i];
            part[i] = 0;
            if (!CreateDirectoryW(part, NULL))
                *error = GetLastError();
            part[i] = kept;
        }
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct exportfile {
    const WCHAR *path;
    const WCHAR *folder;    // made when missing; NULL for a .reg file, made by nobody
    buffer       data;
    int          records;
    int          remove;    // the file goes, if it is there
};

// gpt.ini of a local policy object: each side's version is 1 when it has a
// file, and the extension lists name the registry client-side extension
// and the editor's extension of each side, in ascending order.
static void writegptini(buffer *file, int user, int machine)
{
    buffer text = {};
    addtext(&text, "[General]\r\n"
                   "gPCMachineExtensionNames=[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}"
                   "{D02B1F72-3407-48AE-BA88-E8213C6761F1}]\r\n"
                   "gPCUserExtensionNames=[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}"
                   "{D02B1F73-3407-48AE-BA88-E8213C6761F1}]\r\n"
                   "Version=");
    addnumber(&text, (unsigned long)(user ? 1 : 0) << 16 | (machine ? 1 : 0));
    addtext(&text, "\r\n");
    // ASCII throughout: one byte a character.
    const WCHAR *wide = textof(&text);
    for (size_t i = 0; wide[i]; i++) {
        char c = (char)wide[i];
        addbytes(file, &c, 1);
    }
}

enum { export_reg, export_pol, export_gpo };

static int exportcommand(int argc, WCHAR **argv)
{
    int kind = -1, source = -1, force = 0;
    const WCHAR *target = NULL, *preset = NULL;
    int **states = nostates();

    for (int i = 2; i < argc; i++) {
        const WCHAR *arg = argv[i];
        if (sameword(arg, "--reg") || sameword(arg, "--pol") || sameword(arg, "--gpo")) {
            if (kind >= 0 || i + 1 == argc)
                return usage("export");
            kind = sameword(arg, "--reg") ? export_reg : sameword(arg, "--pol") ? export_pol : export_gpo;
            target = argv[++i];
        } else if (sameword(arg, "--preset")) {
            if (source >= 0 || i + 1 == argc)
                return usage("export");
            source = 0;
            preset = argv[++i];
        } else if (sameword(arg, "--set")) {
            if (source >= 0)
                return usage("export");
            source = 1;
            int named = 0;
            for (; i + 1 < argc && (argv[i + 1][0] != L'-' || argv[i + 1][1] != L'-'); named++)
                if (namestate(states, argv[++i], "export"))
                    return 2;
            if (!named) {
                complain("--set names at least one SETTING=on or SETTING=off");
                return usage("export");
            }
        } else if (sameword(arg, "--current")) {
            if (source >= 0)
                return usage("export");
            source = 2;
        } else if (sameword(arg, "--force")) {
            force = 1;
        } else {
            complain("unknown option ", arg);
            return usage("export");
        }
    }
    if (kind < 0 || source < 0) {
        complain(kind < 0 ? "export needs --reg FILE, --pol DIR or --gpo DIR"
                          : "export needs --preset NAME, --set SETTING=on|off ... or --current");
        return usage("export");
    }
    if (source == 0 && presetstates(states, preset))
        return 2;

    regimage image = {};
    if (source == 2) {
        touched t = {};
        touchall(&t);
        for (int i = 0; i < t.nvalues; i++)
            if (t.values[i].name && !capturevalue(&image, t.values[i].root, t.values[i].key, t.values[i].name))
                return 1;
    } else {
        for (int d = 0; d < COUNT(alldialogs); d++) {
            applycontext a = { NULL, &image, &alldialogs[d], states[d] };
            walkapply(alldialogs[d].tables, &a, boxstate, exporttarget);
        }
    }

    exportfile files[3] = {};
    int nfiles = 0;
    if (kind == export_reg) {
        files[0].path = target;
        writereg(&files[0].data, &image, L"export", NULL);
        files[0].records = image.nvalues;
        nfiles = 1;
    } else {
        int has[COUNT(policysides)] = {};
        for (int i = 0; i < COUNT(policysides); i++) {
            exportfile *f = &files[nfiles++];
            f->records = writepol(&f->data, &image, policysides[i].root);
            f->folder = joinpath(target, policysides[i].folder);
            f->path = joinpath(f->folder, "Registry.pol");
            // A side with no values gets no file, and loses one that an
            // earlier export left there.
            f->remove = !f->records;
            has[i] = f->records > 0;
        }
        if (kind == export_gpo) {
            files[nfiles].folder = target;
            files[nfiles].path = joinpath(target, "gpt.ini");
            writegptini(&files[nfiles].data, has[0], has[1]);
            nfiles++;
        }
    }
    // Nothing is written while any file would be replaced without --force.
    for (int i = 0; i < nfiles && kind != export_reg && !force; i++)
        if (GetFileAttributesW(files[i].path) != INVALID_FILE_ATTRIBUTES) {
            complain("", files[i].path, " exists; --force replaces it");
            return 2;
        }
    for (int i = 0; i < image.nvalues && kind != export_reg; i++)
        if (!inpolicybranch(image.values[i].key)) {
            buffer path = {};
            addvaluepath(&path, &image.values[i]);
            complain("warning: ", textof(&path), " lies outside the policy branches: Group Policy "
                     "leaves it behind when the policy object no longer applies");
        }
    int failures = 0;
    for (int i = 0; i < nfiles; i++) {
        DWORD error = 0;
        if (files[i].remove) {
            if (GetFileAttributesW(files[i].path) == INVALID_FILE_ATTRIBUTES)
                continue;
            if (!DeleteFileW(files[i].path)) {
                complain("cannot remove ", files[i].path, ": ", systemtext(GetLastError()));
                failures++;
                continue;
            }
            addverb("removed");
            say(files[i].path);
            sayline();
            continue;
        }
        if ((files[i].folder && !makefolders(files[i].folder, &error)) ||
            !writefile(files[i].path, files[i].data.data, files[i].data.size, &error)) {
            complain("cannot write ", files[i].path, ": ", systemtext(error));
            failures++;
            continue;
        }
        addverb("wrote");
        say(files[i].path);
        if (files[i].records) {
            say(" (");
            addnumber(&out, files[i].records);
            say(files[i].records == 1 ? " value)" : " values)");
        }
        sayline();
    }
    return failures ? 1 : 0;
}

// ---- help and the command line ---------------------------------------------------------

struct helptext {
    const char *command;
    const char *text;
};

static const helptext helps[] = {
    { "list", "tolvctl list [--json | --markdown]\r\n"
              "  Each setting's state and the values its box reads or writes.\r\n" },
    { "set", "tolvctl set SETTING=on|off ... [--dry-run]\r\n"
             "  Sets only these, as Apply would. SETTING: a name, tweak.ID or restrict.ID.\r\n" },
    { "apply", "tolvctl apply school|cyber-cafe|highly-restricted|clear-all [--dry-run]\r\n"
               "  Writes the 43 boxes of Set Restrictions as the preset and Apply do.\r\n" },
    { "backup", "tolvctl backup FILE\r\n"
                "  Saves every value the dialogs touch, absent ones too, to a .reg file.\r\n" },
    { "restore", "tolvctl restore FILE [--dry-run]\r\n"
                 "  Puts back a backup byte for byte, or a .reg file as regedit writes it.\r\n" },
    { "undo", "tolvctl undo [--dry-run]\r\n"
              "  Takes back the newest set, apply or restore; again to go further back.\r\n" },
    { "export", "tolvctl export --reg FILE | --pol DIR | --gpo DIR\r\n"
                "               --preset NAME | --set SETTING=on|off ... | --current [--force]\r\n"
                "  Writes settings for other machines: a .reg file, DIR\\User and\r\n"
                "  DIR\\Machine\\Registry.pol, or those and DIR\\gpt.ini. --force replaces.\r\n" },
    { "help", "tolvctl help [COMMAND] | --version\r\n" },
};

static int helpcommand(const WCHAR *command)
{
    if (command) {
        for (int i = 0; i < COUNT(helps); i++)
            if (sameword(command, helps[i].command)) {
                say(helps[i].text);
                return 0;
            }
        complain("no such command: ", command);
        return 2;
    }
    say("tolvctl " TOLVANE_VERSION ": Tolvane's settings from the command line.\r\n\r\n");
    for (int i = 0; i < COUNT(helps); i++)
        say(helps[i].text);
    say("\r\nset, apply and restore first save what they change in the undo journal\r\n"
        "(local application data, Tolvane\\undo). --dry-run changes nothing.\r\n"
        "Exit codes: 0 done; 1 some value not changed, the rest done; 2 usage error\r\n"
        "or bad file, nothing changed.\r\n");
    return 0;
}

// A usage error: the command's usage on standard error, exit code 2.
static int usage(const char *command)
{
    for (int i = 0; i < COUNT(helps); i++)
        if (sametextA(command, helps[i].command)) {
            addtext(&err, "usage: ");
            addtext(&err, helps[i].text);
        }
    return 2;
}

int run(int argc, WCHAR **argv)
{
    if (argc < 2) {
        complain("name a command; \"tolvctl help\" lists them");
        return 2;
    }
    const WCHAR *command = argv[1];
    int dryrun = 0, others = 0;
    for (int i = 2; i < argc; i++) {
        if (sameword(argv[i], "--dry-run"))
            dryrun = 1;
        else
            others++;
    }

    if (sameword(command, "help") || sameword(command, "-h") || sameword(command, "--help") ||
        sameword(command, "/?")) {
        if (argc > 3)
            return usage("help");
        return helpcommand(argc == 3 ? argv[2] : NULL);
    }
    if (sameword(command, "--version")) {
        if (argc > 2)
            return usage("help");
        say("tolvctl " TOLVANE_VERSION);
        sayline();
        return 0;
    }
    if (sameword(command, "list")) {
        if (argc > 3 || dryrun)
            return usage("list");
        if (argc == 2)
            return listcommand(list_text);
        if (sameword(argv[2], "--json"))
            return listcommand(list_json);
        if (sameword(argv[2], "--markdown"))
            return listcommand(list_markdown);
        complain("unknown option ", argv[2]);
        return usage("list");
    }
    if (sameword(command, "set"))
        return setcommand(argc, argv, 2, dryrun);
    if (sameword(command, "apply"))
        return applycommand(argc, argv, 2, dryrun);
    if (sameword(command, "backup")) {
        if (argc != 3 || dryrun)
            return usage("backup");
        return backupcommand(argv[2]);
    }
    if (sameword(command, "restore")) {
        if (others != 1)
            return usage("restore");
        int i = 2;
        while (sameword(argv[i], "--dry-run"))
            i++;
        return restorecommand(argv[i], dryrun, commandline(argc, argv));
    }
    if (sameword(command, "export")) {
        if (dryrun)
            return usage("export");
        return exportcommand(argc, argv);
    }
    if (sameword(command, "undo")) {
        if (others)
            return usage("undo");
        return undocommand(dryrun);
    }
    complain("unknown command ", command, "; \"tolvctl help\" lists them");
    return 2;
}

// ---- start ----------------------------------------------------------------------------
//
// tolvctl starts here rather than in the C runtime's start-up code, which
// would be a quarter of its size: it needs nothing of that code but the
// command line, split here by the runtime's rules. 2n backslashes and a
// quote give n backslashes and open or close quoting; 2n+1 and a quote give
// n and a literal quote; "" inside quotes is a literal quote; other
// backslashes are literal.

static int splitcommandline(WCHAR ***argvout)
{
    const WCHAR *p = GetCommandLineW();
    buffer args = {};

    for (;;) {
        while (*p == L' ' || *p == L'\t')
            p++;
        if (!*p)
            break;
        buffer arg = {};
        int quoted = 0;
        for (;;) {
            int backslashes = 0;
            while (*p == L'\\') {
                backslashes++;
                p++;
            }
            int quote = *p == L'"';
            for (int i = 0; i < (quote ? backslashes / 2 : backslashes); i++)
                addchar(&arg, L'\\');
            if (quote) {
                if (backslashes % 2) {
                    addchar(&arg, L'"');
                } else if (quoted && p[1] == L'"') {
                    addchar(&arg, L'"');
                    p++;
                } else {
                    quoted = !quoted;
                }
                p++;
                continue;
            }
            if (!*p || (!quoted && (*p == L' ' || *p == L'\t')))
                break;
            addchar(&arg, *p++);
        }
        WCHAR *text = (WCHAR *)textof(&arg);
        addbytes(&args, &text, sizeof text);
    }
    *argvout = (WCHAR **)args.data;
    return (int)(args.size / sizeof(WCHAR *));
}

extern "C" void __cdecl tolvctlstart(void)
{
    WCHAR **argv;
    int argc = splitcommandline(&argv);
    int code = run(argc, argv);
    flush();
    ExitProcess(code);
}
