// tolvctl's lowest floor: memory, text, and what the program prints. Text is
// UTF-16 throughout, as the registry's W functions keep it; it becomes UTF-8
// only on its way out to a file or a pipe.
#ifndef TOLVCTL_TEXT_H
#define TOLVCTL_TEXT_H

#include <windows.h>

#define COUNT(a) ((int)(sizeof(a) / sizeof((a)[0])))

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
size_t textlength(const buffer *b);
// Room for size more bytes and a NUL character after them.
void reserve(buffer *b, size_t size);
// The buffer's UTF-16 text becomes UTF-8, as files and pipes get it.
void toutf8(buffer *b);

// ---- comparing ------------------------------------------------------------------

// Whether two texts are equal but for case, as the registry compares names.
int sametext(const WCHAR *a, const WCHAR *b);
// The tables' own texts, which are ASCII, ignoring case.
int sametextA(const char *a, const char *b);
// What follows the ASCII word at the start of given, ignoring the case of
// ASCII letters; NULL when given does not start with it.
const WCHAR *afterword(const WCHAR *given, const char *word);
// Whether what the command line gives is the word, ignoring case.
int sameword(const WCHAR *given, const char *word);
// Whether text (of length characters) starts with the ASCII word, exactly.
int prefixis(const WCHAR *text, size_t length, const char *word);
// Whether text (of length characters) starts with word, ignoring case as
// the registry and Group Policy do.
int startswith(const WCHAR *text, size_t length, const WCHAR *word);
// folder\name: a path in the registry or on disk.
const WCHAR *joinpath(const WCHAR *folder, const char *name);

// ---- output -------------------------------------------------------------------
//
// Standard output and standard error, each gathered in a buffer: a console
// gets it through WriteConsoleW, a file or a pipe as UTF-8. Lines end in
// CR LF.

extern buffer out, err;
void flush(void);

void say(const WCHAR *text);
void say(const char *text);
// Ends a line of standard output.
void sayline(void);
// The verb of a change line, padded to ten columns: "set       ".
void addverb(const char *verb);
// "tolvctl: " and the message on standard error: literal text and, between
// the literal parts, what the command was given or found.
void complain(const char *a, const WCHAR *b = NULL, const char *c = NULL, const WCHAR *d = NULL);

// The last line of a dry run, on standard error.
void dryrunend(int dryrun);

// The system's text for an error code, without its line end.
const WCHAR *systemtext(DWORD code);

// ---- leaving ------------------------------------------------------------------
//
// Every way out of tolvctl goes through leave(): what a floor above has
// loaded (another user's hive) is released first, on success, on failure,
// when memory runs out and after Ctrl+C.

// What leave() must release; NULL when nothing is held.
void onleave(void (*release)(void));
// Flushes the output, releases what onleave() named and ends the process.
__attribute__((noreturn)) void leave(int code);
// Set by the console's control handler: Ctrl+C, Ctrl+Break or the console
// closing asked tolvctl to stop.
extern volatile LONG stopping;
// Where a command holds no key open: when asked to stop, says so and
// leaves with exit code 1.
void checkstop(void);

// Exit codes: 0 done; 1 some value could not be changed, the rest was done;
// 2 a usage error or a bad file, nothing changed. A command that was given
// wrong arguments returns showusage after its message: the command line
// adds the command's usage and exits with 2.
enum { showusage = -1 };

#endif
