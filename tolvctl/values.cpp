// Registry values: reading, showing, comparing and capturing them.
#include <string.h>
#include "values.h"

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

int samevalue(const regvalue *a, const regvalue *b)
{
    return samekey(a->root, a->key, b->root, b->key) && a->name && b->name && sametext(a->name, b->name);
}

int samedata(const regvalue *a, const regvalue *b)
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

int inabsent(const regimage *image, HKEY root, const WCHAR *key)
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

void addvaluepath(buffer *b, const regvalue *v)
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

void addtypename(buffer *b, DWORD type)
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

void adddescription(buffer *b, const regvalue *v)
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

static HKEY userhive;

void setuserhive(HKEY hive)
{
    userhive = hive;
}

// Most values fit the dialogs' own 2,048 bytes: one read. A longer one is
// read again into room of its size, which may grow meanwhile.
LONG queryvalue(HKEY handle, regvalue *v)
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

void novalue(HKEY root, const WCHAR *key, const WCHAR *name, regvalue *v)
{
    regvalue absent = { root, key, name, 0, 0, NULL, 0 };
    *v = absent;
}

// The last link that walkkey() met: the length of the path up to it, and
// where it leads.
static size_t linkdepth;
static const WCHAR *linktarget;

// Opens a key of the user's hive one step at a time from the hive's own
// handle, each step with REG_OPTION_OPEN_LINK, and looks at each: a key
// whose SymbolicLinkValue is a REG_LINK is a link. The key, which the
// caller closes, or the error of the first step that fails. With create, a
// missing step is made, also with REG_OPTION_OPEN_LINK lest a link that
// appears meanwhile be followed, and then opened and looked at as any other.
static LONG walkkey(const WCHAR *key, REGSAM access, int create, HKEY *handle)
{
    HKEY at = userhive, next;
    const WCHAR *step = key, *made = NULL;

    for (;;) {
        const WCHAR *end = step;
        while (*end && *end != L'\\')
            end++;
        const WCHAR *name = wcopy(step, end - step);
        LONG rc = RegOpenKeyExW(at, name, REG_OPTION_OPEN_LINK, (*end ? 0 : access) | KEY_QUERY_VALUE, &next);
        if (rc == ERROR_FILE_NOT_FOUND && create && made != step) {
            made = step;
            rc = RegCreateKeyExW(at, name, 0, NULL, REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE,
                                 NULL, &next, NULL);
            if (rc == ERROR_SUCCESS) {
                RegCloseKey(next);
                continue;
            }
        }
        if (rc == ERROR_SUCCESS) {
            regvalue link;
            novalue(NULL, NULL, L"SymbolicLinkValue", &link);
            rc = queryvalue(next, &link);
            if (rc == ERROR_SUCCESS && link.present && link.type == REG_LINK) {
                linkdepth = end - key;
                linktarget = wcopy((const WCHAR *)link.data, link.size / sizeof(WCHAR));
                rc = linkerror;
            }
            if (rc != ERROR_SUCCESS)
                RegCloseKey(next);
        }
        if (at != userhive)
            RegCloseKey(at);    // the hive's own handle belongs to the users floor
        if (rc != ERROR_SUCCESS)
            return rc;
        at = next;
        if (!*end)
            break;
        step = end + 1;
    }
    *handle = at;
    return ERROR_SUCCESS;
}

LONG openkey(HKEY root, const WCHAR *key, REGSAM access, HKEY *handle)
{
    if (root != HKEY_CURRENT_USER || !userhive)
        return RegOpenKeyExW(root, key, 0, access, handle);
    return walkkey(key, access, 0, handle);
}

LONG createkey(HKEY root, const WCHAR *key)
{
    HKEY handle;
    LONG rc = root == HKEY_CURRENT_USER && userhive
                  ? walkkey(key, 0, 1, &handle)
                  : RegCreateKeyExW(root, key, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE, NULL, &handle, NULL);

    if (rc == ERROR_SUCCESS)
        RegCloseKey(handle);
    return rc;
}

int findlink(const touched *t)
{
    for (int i = 0; userhive && i < t->nvalues; i++) {
        const regvalue *v = &t->values[i];
        HKEY handle;
        // A key is named again for each of its values: it is walked once.
        if (v->root != HKEY_CURRENT_USER || (i && samekey(v->root, v->key, v[-1].root, v[-1].key)))
            continue;
        LONG rc = walkkey(v->key, 0, 0, &handle);
        if (rc == ERROR_SUCCESS)
            RegCloseKey(handle);
        // Other errors are left to the reads and changes, which report them.
        if (rc == linkerror) {
            complain("HKCU\\", wcopy(v->key, linkdepth), " is a registry link out of the user's hive, to ", linktarget);
            return 1;
        }
    }
    return 0;
}

int readvalue(HKEY root, const WCHAR *key, const WCHAR *name, REGSAM access,
              regvalue *v, DWORD *error)
{
    HKEY handle;
    LONG rc;

    novalue(root, key, name, v);
    rc = openkey(root, key, access, &handle);
    if (rc == ERROR_FILE_NOT_FOUND)
        return 1;
    if (rc == ERROR_SUCCESS) {
        rc = queryvalue(handle, v);
        RegCloseKey(handle);
    }
    *error = rc;
    return rc == ERROR_SUCCESS;
}

int keyexists(HKEY root, const WCHAR *key)
{
    HKEY handle;
    LONG rc = openkey(root, key, KEY_READ, &handle);
    if (rc == ERROR_SUCCESS)
        RegCloseKey(handle);
    return rc != ERROR_FILE_NOT_FOUND;
}

DWORD tryaccess(HKEY root, const WCHAR *key, REGSAM access)
{
    HKEY handle;
    LONG rc = openkey(root, key, access, &handle);

    if (rc == ERROR_SUCCESS)
        RegCloseKey(handle);
    return rc;
}

// ---- capture: the present state of values and keys, as a backup keeps it --------------

int capturevalue(regimage *image, HKEY root, const WCHAR *key, const WCHAR *name)
{
    regvalue v, section = { root, key, NULL, 1, 0, NULL, 0 }, want = { root, key, name, 1, 0, NULL, 0 };
    DWORD error;

    checkstop();
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

void touchvalue(touched *t, HKEY root, const WCHAR *key, const WCHAR *name)
{
    regvalue v = { root, key, name, 1, 0, NULL, 0 };
    addvalue(t, &v);
}

void touchkey(touched *t, HKEY root, const WCHAR *key)
{
    for (int i = 0; i < t->nvalues; i++)
        if (!t->values[i].name && samekey(root, key, t->values[i].root, t->values[i].key))
            return;
    touchvalue(t, root, key, NULL);
}

int capture(const touched *t, regimage *image)
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

