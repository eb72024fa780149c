// Registry.pol, the "PReg" files that carry Group Policy's registry
// settings: an 8-byte header, "PReg" and version 1, then one record per
// value, [key;value;type;size;data], with the brackets and semicolons as
// UTF-16 characters, key and value as UTF-16 text each ending in its NUL,
// type and size as 32-bit little-endian numbers. The file's folder, User
// or Machine, gives the root; the keys carry none.
#include <string.h>
#include "polfile.h"

static const BYTE header[8] = { 'P', 'R', 'e', 'g', 1, 0, 0, 0 };
static const WCHAR delprefix[] = L"**del.";
static const WCHAR delvalsprefix[] = L"**delvals.";
static const WCHAR softprefix[] = L"**soft.";
static const WCHAR deletevalues[] = L"**DeleteValues";

static void addtextz(buffer *file, const WCHAR *text)
{
    addtextn(file, text, lstrlenW(text) + 1);
}

static void adddword(buffer *file, DWORD number)
{
    BYTE bytes[4] = { (BYTE)number, (BYTE)(number >> 8), (BYTE)(number >> 16), (BYTE)(number >> 24) };
    addbytes(file, bytes, sizeof bytes);
}

void addpolheader(buffer *file)
{
    addbytes(file, header, sizeof header);
}

// A deletion is Group Policy's own: "**del." and the name, as REG_SZ, with
// one space and its NUL for data.
void addrecord(buffer *file, const regvalue *v)
{
    static const WCHAR space[] = L" ";

    addchar(file, L'[');
    addtextz(file, v->key);
    addchar(file, L';');
    if (v->present) {
        addtextz(file, v->name);
    } else {
        addtext(file, delprefix);
        addtextz(file, v->name);
    }
    addchar(file, L';');
    adddword(file, v->present ? v->type : REG_SZ);
    addchar(file, L';');
    adddword(file, v->present ? v->size : sizeof space);
    addchar(file, L';');
    if (v->present)
        addbytes(file, v->data, v->size);
    else
        addbytes(file, space, sizeof space);
    addchar(file, L']');
}

int writepol(buffer *file, const regimage *image, HKEY root)
{
    int records = 0;

    addpolheader(file);
    for (int i = 0; i < image->nvalues; i++)
        if (image->values[i].name && image->values[i].root == root) {
            addrecord(file, &image->values[i]);
            records++;
        }
    return records;
}

// ---- reading ----------------------------------------------------------------------

struct polreader {
    const BYTE *data;
    size_t      size, at;
    size_t     *offset;     // where a failure was found
    const char **why;
};

static int polfail(polreader *r, const char *why)
{
    *r->offset = r->at;
    *r->why = why;
    return 0;
}

static int getchar16(polreader *r, WCHAR *c)
{
    if (r->size - r->at < 2)
        return polfail(r, r->size - r->at == 1 ? "a string of an odd number of bytes"
                                               : "a record cut short");
    *c = (WCHAR)(r->data[r->at] | r->data[r->at + 1] << 8);
    r->at += 2;
    return 1;
}

static int expect(polreader *r, WCHAR want, const char *why)
{
    size_t at = r->at;
    WCHAR c;
    if (!getchar16(r, &c))
        return 0;
    if (c != want) {
        r->at = at;
        return polfail(r, why);
    }
    return 1;
}

// UTF-16 text up to and with its NUL.
static int getstring(polreader *r, const WCHAR **text)
{
    size_t start = r->at;
    WCHAR c;
    do
        if (!getchar16(r, &c))
            return 0;
    while (c);
    *text = wcopy((const WCHAR *)(r->data + start), (r->at - start) / 2 - 1);
    return 1;
}

static int getdword(polreader *r, DWORD *number)
{
    if (r->size - r->at < 4)
        return polfail(r, "a record cut short");
    const BYTE *p = r->data + r->at;
    *number = p[0] | p[1] << 8 | p[2] << 16 | (DWORD)p[3] << 24;
    r->at += 4;
    return 1;
}

// Each record as what it does to one value: sets it (present) or deletes
// it; "**delvals." deletes every value of its key (a NULL name), and
// "**DeleteValues" the names that its data lists. "**soft." sets a value
// that is not there yet. Other "**" records change no value by name.
static void addaction(regimage *actions, HKEY root, const WCHAR *key, const WCHAR *name,
                      DWORD type, const BYTE *data, DWORD size)
{
    regvalue v = { root, key, name, 1, type, data, size };
    size_t length = lstrlenW(name);

    if (name[0] != L'*' || name[1] != L'*') {
        addvalue(actions, &v);
        return;
    }
    v.present = 0;
    if (startswith(name, length, delprefix)) {
        v.name = name + lstrlenW(delprefix);
    } else if (startswith(name, length, delvalsprefix)) {
        v.name = NULL;
    } else if (startswith(name, length, softprefix)) {
        v.name = name + lstrlenW(softprefix);
        v.present = 1;
    } else if (length == (size_t)lstrlenW(deletevalues) && startswith(name, length, deletevalues) &&
               type == REG_SZ) {
        size_t count = size / 2;
        const WCHAR *list = wcopy((const WCHAR *)data, count);    // aligned
        for (size_t start = 0, i = 0; i <= count; i++)
            if (i == count || list[i] == L';' || !list[i]) {
                if (i > start) {
                    v.name = wcopy(list + start, i - start);
                    addvalue(actions, &v);
                }
                start = i + 1;
                if (i < count && !list[i])
                    break;
            }
        return;
    } else {
        return;
    }
    addvalue(actions, &v);
}

int readrecords(const BYTE *data, size_t size, polrecord **records, int *n, size_t *offset, const char **why)
{
    polreader r = { data, size, 0, offset, why };
    buffer list = {};

    *n = 0;
    if (size < sizeof header || memcmp(data, header, sizeof header))
        return polfail(&r, "not a Registry.pol file: it does not start with \"PReg\" and version 1");
    r.at = sizeof header;
    while (r.at < size) {
        polrecord record = {};
        record.start = r.at;
        if (!expect(&r, L'[', "expected \"[\" at the start of a record") || !getstring(&r, &record.key) ||
            !expect(&r, L';', "expected \";\" after the key") || !getstring(&r, &record.name) ||
            !expect(&r, L';', "expected \";\" after the value name") || !getdword(&r, &record.type) ||
            !expect(&r, L';', "expected \";\" after the type") || !getdword(&r, &record.size) ||
            !expect(&r, L';', "expected \";\" after the size"))
            return 0;
        if (record.size > size - r.at)
            return polfail(&r, "the data's size runs beyond the end of the file");
        record.data = data + r.at;
        r.at += record.size;
        if (!expect(&r, L']', "expected \"]\" at the end of a record"))
            return 0;
        record.end = r.at;
        addbytes(&list, &record, sizeof record);
        ++*n;
    }
    *records = (polrecord *)list.data;
    return 1;
}

int readpol(const BYTE *data, size_t size, HKEY root, regimage *actions, size_t *offset,
            const char **why)
{
    polrecord *records;
    int n;

    if (!readrecords(data, size, &records, &n, offset, why))
        return 0;
    for (int i = 0; i < n; i++)
        addaction(actions, root, records[i].key, records[i].name, records[i].type, records[i].data, records[i].size);
    return 1;
}

int deletes(const polrecord *record, const WCHAR *name)
{
    size_t length = lstrlenW(record->name);
    return startswith(record->name, length, delprefix) && sametext(record->name + lstrlenW(delprefix), name);
}

int inpolicybranch(const WCHAR *key)
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
