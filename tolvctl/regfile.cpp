// .reg files: the writer that backup, the undo journal and export use, and
// the reader that restore and undo use. The format is regedit's: a header
// line, then sections "[ROOT\path]" followed by their values.
#include <string.h>
#include "regfile.h"

static const char header5[] = "Windows Registry Editor Version 5.00";
static const char header4[] = "REGEDIT4";
// The comment lines of tolvctl's own files: the first and last name the
// file's kind, the others record a note, the user and the keys that were
// absent.
static const char beginmark[] = "; tolvctl ";
static const char endmark[] = "; end of tolvctl ";
static const char absentmark[] = "; absent key: ";
static const char notemark[] = "; note: ";
static const char usermark[] = "; user: ";
static const char policymark[] = "; policy: ";
static const char filemark[] = "; policy file: ";
#define LENGTHOF(literal) (sizeof literal - 1)   // characters, without the NUL

// ---- writing ----------------------------------------------------------------------

static void addline(buffer *file, const WCHAR *text)
{
    addtext(file, text);
    addtext(file, "\r\n");
}

static void addline(buffer *file, const char *text)
{
    addtext(file, text);
    addtext(file, "\r\n");
}

static void addkeypath(buffer *file, HKEY root, const WCHAR *key)
{
    addtext(file, rootlongname(root));
    if (*key) {
        addchar(file, L'\\');
        addtext(file, key);
    }
}

// Text in double quotes, with backslash and quote escaped as regedit does.
static void addquoted(buffer *file, const WCHAR *text, size_t length)
{
    addchar(file, L'"');
    for (size_t i = 0; i < length; i++) {
        if (text[i] == L'\\' || text[i] == L'"')
            addchar(file, L'\\');
        addchar(file, text[i]);
    }
    addchar(file, L'"');
}

// A REG_SZ that a quoted string gives back byte for byte: a string, and
// nothing in it that a line cannot carry.
static int isplainstring(const regvalue *v)
{
    const WCHAR *text = (const WCHAR *)v->data;

    if (v->type != REG_SZ || !isstring(v))
        return 0;
    for (size_t i = 0; i + 1 < v->size / sizeof(WCHAR); i++)
        if (text[i] < 0x20)
            return 0;
    return 1;
}

// Bytes as "xx,xx,...", continued with a backslash before column 80 as
// regedit wraps them; column is where the data starts.
static void addhexbytes(buffer *file, const BYTE *data, DWORD size, size_t column)
{
    for (DWORD i = 0; i < size; i++) {
        if (column > 76) {
            addtext(file, "\\\r\n  ");
            column = 2;
        }
        addhex(file, data[i], 2);
        column += 2;
        if (i + 1 < size) {
            addchar(file, L',');
            column++;
        }
    }
}

static void addvalueline(buffer *file, const regvalue *v)
{
    size_t start = textlength(file);

    if (*v->name)
        addquoted(file, v->name, lstrlenW(v->name));
    else
        addchar(file, L'@');
    addchar(file, L'=');
    if (!v->present) {
        addchar(file, L'-');
    } else if (v->type == REG_DWORD && v->size == sizeof(DWORD)) {
        DWORD number;
        CopyMemory(&number, v->data, sizeof number);
        addtext(file, "dword:");
        addhex(file, number, 8);
    } else if (isplainstring(v)) {
        addquoted(file, (const WCHAR *)v->data, v->size / sizeof(WCHAR) - 1);
    } else {
        if (v->type == REG_BINARY) {
            addtext(file, "hex:");
        } else {
            addtext(file, "hex(");
            addhex(file, v->type, 1);
            addtext(file, "):");
        }
        addhexbytes(file, v->data, v->size, textlength(file) - start);
    }
    addtext(file, "\r\n");
}

void writereg(buffer *file, const regimage *image, const WCHAR *kind, const regnotes *notes)
{
    addchar(file, 0xFEFF);
    addline(file, header5);
    addline(file, "");
    addtext(file, beginmark);
    addline(file, kind);
    if (notes->note) {
        addtext(file, notemark);
        addline(file, notes->note);
    }
    if (notes->user) {
        addtext(file, usermark);
        addline(file, notes->user);
    }
    if (notes->policy) {
        addtext(file, policymark);
        addline(file, notes->policy);
    }
    for (int i = 0; i < COUNT(notes->files) && notes->files[i]; i++) {
        addtext(file, filemark);
        addline(file, notes->files[i]);
    }
    for (int i = 0; i < image->nabsent; i++) {
        addtext(file, absentmark);
        addkeypath(file, image->absent[i].root, image->absent[i].key);
        addline(file, "");
    }
    // One section per key, where the key first appears, with every value
    // of that key in the order given.
    for (int i = 0; i < image->nvalues; i++) {
        const regvalue *v = &image->values[i];
        int seen = 0;
        for (int j = 0; j < i && !seen; j++)
            seen = samekey(v->root, v->key, image->values[j].root, image->values[j].key);
        if (seen)
            continue;
        addline(file, "");
        addchar(file, L'[');
        addkeypath(file, v->root, v->key);
        addline(file, "]");
        for (int j = i; j < image->nvalues; j++) {
            const regvalue *w = &image->values[j];
            if (w->name && samekey(v->root, v->key, w->root, w->key))
                addvalueline(file, w);
        }
    }
    addline(file, "");
    addtext(file, endmark);
    addline(file, kind);
}

// ---- reading ----------------------------------------------------------------------

struct reader {
    const WCHAR *text;      // the whole file as UTF-16
    size_t       length;
    size_t       at;        // start of the next line
    int          line;      // number of the line last taken
    const WCHAR *file;
    buffer      *error;
    int          version4;  // REGEDIT4: strings in hex data are 8-bit
};

// "file:line: what is wrong", in parts: literal text, what the file holds,
// literal text.
static int fail(reader *r, const char *what, const WCHAR *found = NULL, const char *rest = NULL)
{
    addtext(r->error, r->file);
    addchar(r->error, L':');
    addnumber(r->error, r->line);
    addtext(r->error, ": ");
    addtext(r->error, what);
    if (found)
        addtext(r->error, found);
    if (rest)
        addtext(r->error, rest);
    return 0;
}

// The next line, without its end (CR LF, LF or CR); 0 at the end of the file.
static int nextline(reader *r, const WCHAR **line, size_t *length)
{
    if (r->at >= r->length)
        return 0;
    size_t start = r->at, end = start;
    while (end < r->length && r->text[end] != L'\n' && r->text[end] != L'\r')
        end++;
    r->at = end;
    if (r->at < r->length && r->text[r->at] == L'\r')
        r->at++;
    if (r->at < r->length && r->text[r->at] == L'\n' && (r->at == end || r->text[end] == L'\r'))
        r->at++;
    r->line++;
    *line = r->text + start;
    *length = end - start;
    return 1;
}

static int isblank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

static int hexvalue(WCHAR c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

static int onlyblanks(const WCHAR *p, const WCHAR *end)
{
    while (p < end && isblank(*p))
        p++;
    return p == end;
}

// "ROOT\path" into a root and a path; fails on other roots and empty parts.
static int parsekey(reader *r, const WCHAR *p, const WCHAR *end, HKEY *root, const WCHAR **key)
{
    static const struct { const WCHAR *name; HKEY root; } roots[] = {
        { L"HKEY_CURRENT_USER", HKEY_CURRENT_USER }, { L"HKCU", HKEY_CURRENT_USER },
        { L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE }, { L"HKLM", HKEY_LOCAL_MACHINE },
    };
    const WCHAR *slash = p;

    while (slash < end && *slash != L'\\')
        slash++;
    *root = NULL;
    for (size_t i = 0; i < sizeof roots / sizeof roots[0]; i++)
        if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, p, (int)(slash - p),
                           roots[i].name, -1) == CSTR_EQUAL)
            *root = roots[i].root;
    if (!*root)
        return fail(r, "only keys under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are accepted");
    // Every backslash, the one after the root included, has a name after it.
    for (const WCHAR *q = slash; q < end; q++)
        if (*q == L'\\' && (q + 1 == end || q[1] == L'\\'))
            return fail(r, "the key path has an empty part");
    const WCHAR *path = slash < end ? slash + 1 : end;
    *key = wcopy(path, end - path);
    return 1;
}

// A quoted text starting at *p (the opening quote); *p ends after the
// closing quote. The escapes are regedit's, \\ and \".
static int parsequoted(reader *r, const WCHAR **p, const WCHAR *end, buffer *text,
                       const char *unterminated)
{
    const WCHAR *q = *p + 1;

    for (; q < end && *q != L'"'; q++) {
        if (*q == L'\\' && ++q < end && *q != L'\\' && *q != L'"')
            return fail(r, "unknown escape after a backslash; only \\\\ and \\\" are known");
        if (q < end)
            addchar(text, *q);
    }
    if (q >= end)
        return fail(r, unterminated);
    *p = q + 1;
    return 1;
}

// Hex bytes "xx,xx,..." from *p on, continued over lines that end in a
// backslash.
static int parsehex(reader *r, const WCHAR *p, const WCHAR *end, buffer *data)
{
    for (;;) {
        while (p < end && isblank(*p))
            p++;
        if (p == end)
            return 1;
        if (*p == L'\\' && onlyblanks(p + 1, end)) {
            size_t length;
            if (!nextline(r, &p, &length))
                return fail(r, "the value continues past the end of the file");
            if (length > maxline)
                return fail(r, "a line of more than 65536 characters");
            end = p + length;
            continue;
        }
        const WCHAR *digits = p;
        while (p < end && hexvalue(*p) >= 0)
            p++;
        if (p - digits != 2)
            return fail(r, p == digits ? "expected hex digits, a comma or a backslash"
                                       : "hex bytes are two digits each");
        BYTE byte = (BYTE)(hexvalue(digits[0]) * 16 + hexvalue(digits[1]));
        if (data->size >= maxdata)
            return fail(r, "a value of more than 65536 bytes");
        addbytes(data, &byte, 1);
        while (p < end && isblank(*p))
            p++;
        if (p < end && *p == L',')
            p++;
        else if (p < end && *p != L'\\')
            return fail(r, "expected a comma between hex bytes");
    }
}

// The data after "name=": a deletion, a string, dword: or hex.
static int parsedata(reader *r, const WCHAR *p, const WCHAR *end, regvalue *v)
{
    buffer data = {};

    v->present = 1;
    if (*p == L'-' && onlyblanks(p + 1, end)) {
        v->present = 0;
        return 1;
    }
    if (*p == L'"') {
        if (!parsequoted(r, &p, end, &data, "the string has no closing quote"))
            return 0;
        if (!onlyblanks(p, end))
            return fail(r, "unexpected text after the string");
        addchar(&data, 0);
        v->type = REG_SZ;
    } else if (startswith(p, end - p, L"dword:")) {
        const WCHAR *digits = p += 6;
        DWORD number = 0;
        while (p < end && hexvalue(*p) >= 0)
            number = number * 16 + hexvalue(*p++);
        if (p == digits || !onlyblanks(p, end))
            return fail(r, "\"dword:\" takes one to eight hex digits");
        if (p - digits > 8)
            return fail(r, "a dword: of more than eight hex digits");
        addbytes(&data, &number, sizeof number);
        v->type = REG_DWORD;
    } else if (startswith(p, end - p, L"hex:") || startswith(p, end - p, L"hex(")) {
        v->type = REG_BINARY;
        if (p[3] == L'(') {
            const WCHAR *digits = p += 4;
            v->type = 0;
            while (p < end && hexvalue(*p) >= 0)
                v->type = v->type * 16 + hexvalue(*p++);
            if (p == digits || p - digits > 8 || p + 1 >= end || p[0] != L')' || p[1] != L':')
                return fail(r, "expected a type of one to eight hex digits in \"hex(...):\"");
            p += 2;
        } else {
            p += 4;
        }
        if (!parsehex(r, p, end, &data))
            return 0;
        // regedit 4 keeps the strings in hex data in the 8-bit code page.
        if (r->version4 && data.size &&
            (v->type == REG_SZ || v->type == REG_EXPAND_SZ || v->type == REG_MULTI_SZ)) {
            int n = MultiByteToWideChar(CP_ACP, 0, (const char *)data.data, (int)data.size, NULL, 0);
            WCHAR *wide = (WCHAR *)grab((n + 1) * sizeof(WCHAR));
            MultiByteToWideChar(CP_ACP, 0, (const char *)data.data, (int)data.size, wide, n);
            data.data = (BYTE *)wide;
            data.size = n * sizeof(WCHAR);
        }
    } else {
        return fail(r, "expected a string, \"-\", dword: or hex: after \"=\"");
    }
    if (data.size > maxdata)
        return fail(r, "a value of more than 65536 bytes");
    v->data = data.data;
    v->size = (DWORD)data.size;
    return 1;
}

// The file as UTF-16: with a byte-order mark, UTF-8 with one, or 8-bit text
// in the system's code page.
static int decode(reader *r, const BYTE *data, size_t size)
{
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        if (size % 2)
            return fail(r, "the file ends in half a character: it is cut short");
        r->length = (size - 2) / 2;
        WCHAR *text = (WCHAR *)grab(r->length * sizeof(WCHAR) + sizeof(WCHAR));
        CopyMemory(text, data + 2, r->length * sizeof(WCHAR));
        r->text = text;
        return 1;
    }
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF)
        return fail(r, "big-endian UTF-16 is not read; save the file as UTF-16LE (\"Unicode\")");
    UINT codepage = CP_ACP;
    DWORD flags = 0;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        data += 3;
        size -= 3;
        codepage = CP_UTF8;
        flags = MB_ERR_INVALID_CHARS;
    }
    for (size_t i = 0; i < size; i++)
        if (!data[i])
            return fail(r, size >= 2 && (!data[0] || !data[1])
                               ? "UTF-16 text without its byte-order mark"
                               : "not a text file: it holds NUL bytes");
    if (size > 0x7FFFFFFF)
        return fail(r, "the file is too large");
    int n = size ? MultiByteToWideChar(codepage, flags, (const char *)data, (int)size, NULL, 0) : 0;
    if (size && !n)
        return fail(r, "not valid UTF-8 text");
    WCHAR *text = (WCHAR *)grab((n + 1) * sizeof(WCHAR));
    if (n)
        MultiByteToWideChar(codepage, flags, (const char *)data, (int)size, text, n);
    r->text = text;
    r->length = n;
    return 1;
}

int readreg(const BYTE *data, size_t size, const WCHAR *file, regimage *image,
            regnotes *notes, buffer *error)
{
    reader r = {};
    const WCHAR *line, *end;
    size_t length;
    HKEY root = NULL;
    const WCHAR *key = NULL;
    const WCHAR *begun = NULL;    // the kind of a tolvctl file, until its last line
    int ended = 0;

    r.file = file;
    r.error = error;
    r.line = 1;
    regnotes none = {};
    *notes = none;
    if (!decode(&r, data, size))
        return 0;
    r.line = 0;
    if (!nextline(&r, &line, &length)) {
        r.line = 1;
        return fail(&r, "the file is empty; a .reg file starts with "
                        "\"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"");
    }
    while (length && isblank(line[length - 1]))
        length--;
    if (length == LENGTHOF(header4) && prefixis(line, length, header4))
        r.version4 = 1;
    else if (length != LENGTHOF(header5) || !prefixis(line, length, header5))
        return fail(&r, "expected \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"");

    while (nextline(&r, &line, &length)) {
        if (length > maxline)
            return fail(&r, "a line of more than 65536 characters");
        end = line + length;
        while (line < end && isblank(*line))
            line++;
        while (end > line && isblank(end[-1]))
            end--;
        if (line == end)
            continue;
        if (ended)
            return fail(&r, "text after the last line of a tolvctl file");
        if (*line == L';') {
            size_t n = end - line;
            if (n > LENGTHOF(beginmark) && prefixis(line, n, beginmark) && !begun) {
                begun = wcopy(line + LENGTHOF(beginmark), n - LENGTHOF(beginmark));
            } else if (begun && n == LENGTHOF(endmark) + lstrlenW(begun) && prefixis(line, n, endmark) &&
                       !memcmp(line + LENGTHOF(endmark), begun, (n - LENGTHOF(endmark)) * sizeof(WCHAR))) {
                ended = 1;
            } else if (n > LENGTHOF(notemark) && prefixis(line, n, notemark)) {
                notes->note = wcopy(line + LENGTHOF(notemark), n - LENGTHOF(notemark));
            } else if (n > LENGTHOF(usermark) && prefixis(line, n, usermark)) {
                notes->user = wcopy(line + LENGTHOF(usermark), n - LENGTHOF(usermark));
            } else if (n > LENGTHOF(policymark) && prefixis(line, n, policymark)) {
                notes->policy = wcopy(line + LENGTHOF(policymark), n - LENGTHOF(policymark));
            } else if (n > LENGTHOF(filemark) && prefixis(line, n, filemark) && !notes->files[1]) {
                notes->files[notes->files[0] != NULL] = wcopy(line + LENGTHOF(filemark), n - LENGTHOF(filemark));
            } else if (n > LENGTHOF(absentmark) && prefixis(line, n, absentmark)) {
                HKEY absentroot;
                const WCHAR *absentkey;
                if (!parsekey(&r, line + LENGTHOF(absentmark), end, &absentroot, &absentkey))
                    return 0;
                addabsent(image, absentroot, absentkey);
            }
            continue;
        }
        if (*line == L'[') {
            if (end[-1] != L']' || end - line < 2)
                return fail(&r, "the key line has no closing \"]\"");
            if (line[1] == L'-')
                return fail(&r, "key deletions ([-...]) are not accepted");
            if (!parsekey(&r, line + 1, end - 1, &root, &key))
                return 0;
            regvalue section = { root, key, NULL, 1, 0, NULL, 0 };
            addvalue(image, &section);
            continue;
        }
        if (*line != L'"' && *line != L'@')
            return fail(&r, "expected a key in brackets, a value or a comment");
        if (!key)
            return fail(&r, "a value before any key section");
        regvalue v = { root, key, L"", 1, 0, NULL, 0 };
        const WCHAR *p = line + 1;
        if (*line == L'"') {
            buffer name = {};
            p = line;
            if (!parsequoted(&r, &p, end, &name, "the value name has no closing quote"))
                return 0;
            v.name = textof(&name);
        }
        while (p < end && isblank(*p))
            p++;
        if (p == end || *p != L'=')
            return fail(&r, "expected \"=\" after the value name");
        p++;
        while (p < end && isblank(*p))
            p++;
        if (p == end)
            return fail(&r, "expected a string, \"-\", dword: or hex: after \"=\"");
        if (!parsedata(&r, p, end, &v))
            return 0;
        addvalue(image, &v);
    }
    if (begun && !ended)
        return fail(&r, "the file ends before \"; end of tolvctl ", begun, "\": it is cut short");
    return 1;
}
