// Memory, text and output: the floor that every other part of tolvctl
// stands on.
#include "text.h"

// ---- memory and text --------------------------------------------------------------

static void (*releaser)(void);

void *grab(size_t size)
{
    void *p = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
    if (!p) {
        static const char text[] = "tolvctl: out of memory\r\n";
        DWORD written;
        (void)WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, sizeof text - 1, &written, NULL);
        // What is held is still released; the release itself may not
        // allocate its way back here.
        void (*release)(void) = releaser;
        releaser = NULL;
        if (release)
            release();
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

void reserve(buffer *b, size_t size)
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

void toutf8(buffer *b)
{
    const WCHAR *text = textof(b);
    int length = (int)textlength(b);
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, NULL, 0, NULL, NULL);
    BYTE *utf8 = (BYTE *)grab(n);
    WideCharToMultiByte(CP_UTF8, 0, text, length, (char *)utf8, n, NULL, NULL);
    b->data = utf8;
    b->size = b->room = n;
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

int sametext(const WCHAR *a, const WCHAR *b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

static char lowerascii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c + 32) : c;
}

int sametextA(const char *a, const char *b)
{
    for (; *a && *b; a++, b++)
        if (lowerascii(*a) != lowerascii(*b))
            return 0;
    return !*a && !*b;
}

const WCHAR *afterword(const WCHAR *given, const char *word)
{
    for (; *word; given++, word++) {
        WCHAR g = *given >= L'A' && *given <= L'Z' ? *given + 32 : *given;
        if (g != (BYTE)lowerascii(*word))
            return NULL;
    }
    return given;
}

int sameword(const WCHAR *given, const char *word)
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

const WCHAR *joinpath(const WCHAR *folder, const char *name)
{
    buffer path = {};
    addtext(&path, folder);
    addchar(&path, L'\\');
    addtext(&path, name);
    return textof(&path);
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
    if (GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode)) {
        (void)WriteConsoleW(handle, textof(b), (DWORD)length, &written, NULL);
    } else {
        toutf8(b);
        // Nowhere to report a failed write of the output itself.
        (void)WriteFile(handle, b->data, (DWORD)b->size, &written, NULL);
    }
    b->size = 0;
}

void flush(void)
{
    flushto(&out, STD_OUTPUT_HANDLE);
    flushto(&err, STD_ERROR_HANDLE);
}

void say(const WCHAR *text)
{
    addtext(&out, text);
}

void say(const char *text)
{
    addtext(&out, text);
}

void sayline(void)
{
    addtext(&out, "\r\n");
    if (out.size > 16384)
        flush();
}

void addverb(const char *verb)
{
    say(verb);
    for (int n = lstrlenA(verb); n < 10; n++)
        say(" ");
}

void complain(const char *a, const WCHAR *b, const char *c, const WCHAR *d)
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

void dryrunend(int dryrun)
{
    if (dryrun)
        complain("dry run: nothing was changed");
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

// ---- leaving ----------------------------------------------------------------------

volatile LONG stopping;

void onleave(void (*release)(void))
{
    releaser = release;
}

void leave(int code)
{
    void (*release)(void) = releaser;

    releaser = NULL;
    if (release)
        release();
    flush();
    ExitProcess(code);
}

void checkstop(void)
{
    if (!stopping)
        return;
    complain("stopped before the end: what is done so far stays done");
    leave(1);
}
