// Helpers shared by the test programs: registry sandboxes, message boxes,
// handle counts and a driver for the real Tolvane.exe.
#pragma once

#include <windows.h>
#include <map>
#include <string>
#include <vector>

// Tests keep their own keys below this one, under HKEY_CURRENT_USER.
#define SANDBOX "Software\\TolvaneTest"

// ---- registry ---------------------------------------------------------------
void regwipe(HKEY root, const char *path);
void regdelete(HKEY root, const char *path, const char *name);
void regputdword(HKEY root, const char *path, const char *name, DWORD value);
void regput(HKEY root, const char *path, const char *name, DWORD type, const void *data, DWORD size);
// The value's type and bytes; false when the key or value is missing.
bool regget(HKEY root, const char *path, const char *name, DWORD *type, std::string *data);
// A DWORD value, or -1 when it is missing or of another type.
long long reggetdword(HKEY root, const char *path, const char *name);
bool regkeyexists(HKEY root, const char *path);
// Registry snapshots, entry by entry: the entries that differ, one line
// each; empty when none do.
std::string regdiff(const std::map<std::string, std::string> &expected,
                    const std::map<std::string, std::string> &actual);
// Lets everyone only read the key (readonly), or anyone do anything with it
// again; the owner may always rewrite its access list.
void regreadonly(HKEY root, const char *path, bool readonly);

// The system's text for an error code, as an error box shows it.
std::string systemtext(DWORD code);

// ---- message boxes ------------------------------------------------------------
struct shownbox {
    std::string caption;
    std::string text;
};

// While it lives, every message box that this thread shows is recorded and
// dismissed with OK.
struct boxcatcher {
    boxcatcher();
    ~boxcatcher();
    std::vector<shownbox> boxes;
};

// A message box is a #32770 window with an OK button and the text control.
bool ismessagebox(HWND hwnd);
shownbox readbox(HWND hwnd);

// ---- dialog templates -----------------------------------------------------------
struct templateitem {
    int id;
    std::string cls;        // "Button", "Static"... for the predefined classes
    std::string text;
    DWORD style, exstyle;
    short x, y, cx, cy;
};

struct dialogtemplate {
    bool extended;
    DWORD style, exstyle;
    short x, y, cx, cy;
    std::string menu, cls, caption;
    WORD pointsize, weight;
    BYTE italic, charset;   // of an extended template
    std::string font;
    std::vector<templateitem> items;
};

// Dialog template id of Tolvane.exe (U.S. English), read from the file.
bool readtemplate(int id, dialogtemplate *dt);

// ---- handles ------------------------------------------------------------------
// The handles this process holds, counted in the system's handle table.
unsigned handlecount();

// ---- console programs -----------------------------------------------------------
struct ran {
    DWORD code;             // exit code; STILL_ACTIVE when it never ran or was killed on the time-out
    std::string out, err;   // what it wrote, as bytes
};
// Runs a command line with standard output and error captured. When the
// program never ran, or its end was not seen, err begins with the reason.
ran runprogram(const std::string &cmdline, DWORD ms = 60000);

// ---- the real program -----------------------------------------------------------
// Folder of the running test program, with a trailing backslash.
std::string bindir();

// Tolvane.exe (or another program) started with CreateProcess; ended and
// closed when the object goes, whatever the test did.
struct program {
    PROCESS_INFORMATION pi = {};
    // useshow: pass show through STARTUPINFO with STARTF_USESHOWWINDOW.
    bool start(const std::string &exe, const std::string &args = "",
               bool useshow = false, WORD show = SW_SHOWNORMAL);
    // A visible top-level window of the process, by class and caption (either
    // may be NULL), waited for up to ms milliseconds.
    HWND waitwindow(const char *cls, const char *caption, DWORD ms = 20000);
    // Waits for a message box of the process, records it and presses OK.
    bool waitbox(shownbox *box, DWORD ms = 20000);
    // Waits for the process to end: its exit code, or STILL_ACTIVE after the
    // time-out (the process is then killed).
    DWORD waitexit(DWORD ms = 20000);
    // Waits until a window of the process has gone: false on the time-out.
    static bool waitgone(HWND hwnd, DWORD ms = 5000);
    // Visible top-level windows of the process.
    std::vector<HWND> windows();
    ~program();
};
