// Measures Tolvane against the least the system needs for the same work, in
// one run under one Wine prefix, and prints the medians as a table:
//   open   the whole WM_INITDIALOG of each policy dialog, against the same
//          registry reads made directly;
//   Apply  each dialog's Apply command with its confirmation box kept from
//          appearing, against the same key creations, writes and deletes
//          made directly;
//   start  Tolvane.exe from CreateProcess until its main window is visible,
//          against bare.exe, which only creates and shows one window.
// The program's module and resources are linked in, so the dialogs run the
// program's own code from its own templates. The stripped sizes of
// Tolvane.exe, Varrowen.dll and bare.exe come as the three arguments.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "policy.h"
#include "resource.h"
#include "commands.h"

extern HINSTANCE happ;
INT_PTR CALLBACK dlgtweakproc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK dlgrestrictproc(HWND, UINT, WPARAM, LPARAM);

static void fail(const char *what)
{
    fprintf(stderr, "bench: %s\n", what);
    exit(1);
}

// ---- the dialogs' registry work, done directly ---------------------------------
// The same keys and values, in the same order: the program's own tables.

struct dialog {
    const char *name;
    int templ;
    DLGPROC proc;
    int apply;
    const policydialog *tables;
};

static const dialog dialogs[] = {
    { "Tweak settings", IDD_TWEAK, dlgtweakproc, IDC_TWEAKAPPLY, &tweakdialog },
    { "Set Restrictions", IDD_RESTRICT, dlgrestrictproc, IDC_RESTRICTAPPLY, &restrictdialog },
};

// Each value read as the dialog reads it: its key opened with full access,
// the value read into a buffer of the same size, the key closed.
static void floorreads(const dialog *d)
{
    BYTE data[2048];

    for (int i = 0; i < d->tables->nreads; i++) {
        const readrow *v = &d->tables->reads[i];
        HKEY key;
        DWORD type, size = sizeof data;
        if (RegOpenKeyExA(v->root, v->key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        // A missing value is part of the work, not an error.
        (void)RegQueryValueExA(key, v->name, NULL, &type, data, &size);
        RegCloseKey(key);
    }
}

static int flooropens(void *context, const char *path)
{
    HKEY key;

    (void)context;
    if (RegOpenKeyExA(HKCU, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

static void flooraddkey(void *context, const char *parent, const char *leaf)
{
    HKEY key, created;
    DWORD disposition;

    (void)context;
    if (RegOpenKeyExA(HKCU, parent, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyExA(key, leaf, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &created, &disposition) == ERROR_SUCCESS)
        RegCloseKey(created);
    RegCloseKey(key);
}

// Every box ticked (context non-null) or every box clear.
static int floorstate(void *context, int id)
{
    (void)id;
    return context != NULL;
}

// Each value written or deleted in its own open. As in the program, a failed
// write or delete is not looked at.
static void floorwrite(void *context, const target *t, int ticked)
{
    HKEY key;

    (void)context;
    if (RegOpenKeyExA(t->root, t->key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (ticked) {
        DWORD data = strtoul(t->data, NULL, 16);
        (void)RegSetValueExA(key, t->name, 0, REG_DWORD, (const BYTE *)&data, sizeof data);
    } else {
        (void)RegDeleteValueA(key, t->name);
    }
    RegCloseKey(key);
}

// One Apply made directly, with every box ticked (set) or every box clear:
// the keys made sure of, then each value written or deleted.
static void floorapply(const dialog *d, bool set)
{
    walkprepare(d->tables, NULL, flooropens, flooraddkey);
    walkapply(d->tables, set ? (void *)d : NULL, floorstate, floorwrite);
}

static void makekey(HKEY root, const char *path)
{
    HKEY key;

    if (RegCreateKeyExA(root, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        fail("a key of the policies could not be made");
    RegCloseKey(key);
}

static void deletevalue(HKEY root, const char *path, const char *name)
{
    HKEY key;

    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    (void)RegDeleteValueA(key, name);   // not there: nothing to do
    RegCloseKey(key);
}

static void makekeyof(void *context, const target *t, int ticked)
{
    (void)context;
    (void)ticked;
    makekey(t->root, t->key);
}

static void deletetarget(void *context, const target *t, int ticked)
{
    (void)context;
    (void)ticked;
    deletevalue(t->root, t->key, t->name);
}

// Every key that a dialog reads or writes is there, so that no value is
// missing only because an Apply could not create its key.
static void preparekeys(const dialog *d)
{
    for (int i = 0; i < d->tables->nreads; i++)
        makekey(d->tables->reads[i].root, d->tables->reads[i].key);
    walkapply(d->tables, NULL, floorstate, makekeyof);
}

// No policy of the dialog set: none of its values is there.
static void clearvalues(const dialog *d)
{
    for (int i = 0; i < d->tables->nreads; i++)
        deletevalue(d->tables->reads[i].root, d->tables->reads[i].key, d->tables->reads[i].name);
    walkapply(d->tables, NULL, floorstate, deletetarget);
}

// ---- timing ----------------------------------------------------------------------

static double milliseconds()
{
    static LARGE_INTEGER frequency;
    LARGE_INTEGER now;

    if (!frequency.QuadPart)
        (void)QueryPerformanceFrequency(&frequency);     // always there since Windows XP
    (void)QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

static int compare(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

static double median(double *samples, int n)
{
    qsort(samples, n, sizeof *samples, compare);
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

// ---- the dialogs, in-process ------------------------------------------------------

enum { opensamples = 201, applysamples = 51, startsamples = 21 };

// Ticks or clears every check box of the dialog, as a user would before Apply.
static void setboxes(HWND dlg, bool ticked)
{
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[16];
        if (GetClassNameA(child, cls, sizeof cls) && lstrcmpiA(cls, "Button") == 0 &&
            (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
            (void)SendMessageA(child, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

// Message boxes kept from appearing: the hook refuses the creation of the
// box's dialog window, so MessageBoxA returns at once without showing it.
static int boxeskept;

static LRESULT CALLBACK keepbox(int code, WPARAM wparam, LPARAM lparam)
{
    char cls[16];

    if (code == HCBT_CREATEWND && GetClassNameA((HWND)wparam, cls, sizeof cls) &&
        lstrcmpA(cls, "#32770") == 0) {
        boxeskept++;
        return 1;
    }
    return CallNextHookEx(NULL, code, wparam, lparam);
}

static HHOOK keepboxes()
{
    HHOOK hook = SetWindowsHookExA(WH_CBT, keepbox, NULL, GetCurrentThreadId());
    if (!hook)
        fail("the hook that keeps message boxes away could not be set");
    return hook;
}

// Presses Apply as a click does, with the confirmation box kept away, and
// gives the time the dialog procedure took. The hook is set and removed
// outside the time.
static double pressapply(const dialog *d, HWND dlg)
{
    HWND button = GetDlgItem(dlg, d->apply);
    HHOOK hook = keepboxes();
    int kept = boxeskept;

    double start = milliseconds();
    (void)SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(d->apply, BN_CLICKED), (LPARAM)button);
    double took = milliseconds() - start;

    (void)UnhookWindowsHookEx(hook);
    if (boxeskept != kept + 1)
        fail("Apply did not ask for its confirmation box exactly once");
    return took;
}

// What asking for the confirmation box costs when the box is kept away, as
// each Apply above asks for it.
static double keptbox(HWND dlg)
{
    static double t[applysamples];
    HHOOK hook = keepboxes();

    for (int s = 0; s < applysamples; s++) {
        double start = milliseconds();
        (void)MessageBoxA(dlg, "Settings saved successfully\nAll changes will take effect after system restart",
                          "DONE", MB_OK);
        t[s] = milliseconds() - start;
    }
    (void)UnhookWindowsHookEx(hook);
    return median(t, applysamples);
}

static double floorapplytime(const dialog *d, bool set)
{
    double start = milliseconds();
    floorapply(d, set);
    return milliseconds() - start;
}

// The whole WM_INITDIALOG, as the system sends it after making the
// controls, with every box clear beforehand as in a dialog just made;
// against the reads made directly. Program and floor take turns in going
// first.
static void measureopen(const dialog *d, HWND dlg, double *program, double *floor)
{
    static double p[opensamples], f[opensamples];

    for (int s = 0; s < opensamples; s++) {
        setboxes(dlg, false);
        for (int turn = 0; turn < 2; turn++) {
            double start = milliseconds();
            if ((turn + s) % 2 == 0) {
                (void)SendMessageA(dlg, WM_INITDIALOG, 0, 0);
                p[s] = milliseconds() - start;
            } else {
                floorreads(d);
                f[s] = milliseconds() - start;
            }
        }
    }
    *program = median(p, opensamples);
    *floor = median(f, opensamples);
}

// One sample is two Applies, every box ticked (all values written) and then
// every box clear (all deleted), so that each write and delete changes the
// registry; the figure is the time of one Apply, the mean of the two.
static void measureapply(const dialog *d, HWND dlg, double *program, double *floor)
{
    static double p[applysamples], f[applysamples];

    for (int s = 0; s < applysamples; s++)
        for (int turn = 0; turn < 2; turn++) {
            if ((turn + s) % 2 == 0) {
                setboxes(dlg, true);
                double ticked = pressapply(d, dlg);
                setboxes(dlg, false);
                p[s] = (ticked + pressapply(d, dlg)) / 2;
            } else {
                f[s] = (floorapplytime(d, true) + floorapplytime(d, false)) / 2;
            }
        }
    *program = median(p, applysamples);
    *floor = median(f, applysamples);
}

// ---- tolvctl list ------------------------------------------------------------------
//
// The whole command, formatting and output to NUL included, in-process,
// against each value it shows read as the dialogs read it: the key opened
// with full access, up to 2,048 bytes, the key closed.

struct listvalue {
    HKEY root;
    WCHAR key[128], name[64];
};

static listvalue listvalues[128];
static int nlistvalues;

static void addlistvalue(HKEY root, const char *key, const char *name)
{
    listvalue v = { root, {}, {} };
    MultiByteToWideChar(CP_ACP, 0, key, -1, v.key, COUNT(v.key));
    MultiByteToWideChar(CP_ACP, 0, name, -1, v.name, COUNT(v.name));
    for (int i = 0; i < nlistvalues; i++)
        if (listvalues[i].root == root && !lstrcmpiW(listvalues[i].key, v.key) &&
            !lstrcmpiW(listvalues[i].name, v.name))
            return;
    if (nlistvalues == COUNT(listvalues))
        fail("more values than the list floor has room for");
    listvalues[nlistvalues++] = v;
}

static void addtarget(void *context, const target *t, int ticked)
{
    (void)context;
    (void)ticked;
    addlistvalue(t->root, t->key, t->name);
}

static void floorlist(void)
{
    BYTE data[2048];

    for (int i = 0; i < nlistvalues; i++) {
        HKEY key;
        DWORD type, size = sizeof data;
        if (RegOpenKeyExW(listvalues[i].root, listvalues[i].key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        (void)RegQueryValueExW(key, listvalues[i].name, NULL, &type, data, &size);   // absent is part of it
        RegCloseKey(key);
    }
}

static void measurelist(double *program, double *floor)
{
    static double p[opensamples], f[opensamples];
    WCHAR name[] = L"tolvctl", list[] = L"list";
    WCHAR *args[] = { name, list, NULL };
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    HANDLE stdout_ = GetStdHandle(STD_OUTPUT_HANDLE);

    for (int d = 0; d < COUNT(dialogs); d++) {
        const policydialog *pd = dialogs[d].tables;
        for (int i = 0; i < pd->nreads; i++)
            addlistvalue(pd->reads[i].root, pd->reads[i].key, pd->reads[i].name);
        walkapply(pd, NULL, floorstate, addtarget);
    }
    if (nul == INVALID_HANDLE_VALUE || !SetStdHandle(STD_OUTPUT_HANDLE, nul))
        fail("the list's output could not be sent to NUL");
    for (int s = 0; s < opensamples; s++)
        for (int turn = 0; turn < 2; turn++) {
            double start = milliseconds();
            if ((turn + s) % 2 == 0) {
                if (run(2, args) != 0)
                    fail("tolvctl list failed");
                flush();
                p[s] = milliseconds() - start;
            } else {
                floorlist();
                f[s] = milliseconds() - start;
            }
        }
    (void)SetStdHandle(STD_OUTPUT_HANDLE, stdout_);     // the old handle was valid a moment ago
    (void)CloseHandle(nul);
    *program = median(p, opensamples);
    *floor = median(f, opensamples);
}

// ---- start-up --------------------------------------------------------------------

static char bindir[MAX_PATH];

// From CreateProcess until a visible top-level window of the class exists;
// the program is then closed as a user closes it and waited for.
static double startup(const char *exe, const char *cls)
{
    char path[MAX_PATH + 32], cmd[MAX_PATH + 34];
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    HWND hwnd;

    if (FindWindowA(cls, NULL))
        fail("a window of the class measured is there already");
    wsprintfA(path, "%s%s", bindir, exe);
    wsprintfA(cmd, "\"%s\"", path);
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;

    double start = milliseconds();
    if (!CreateProcessA(path, cmd, NULL, NULL, FALSE, 0, NULL, bindir, &si, &pi))
        fail("the program could not be started");
    while (!(hwnd = FindWindowA(cls, NULL)) || !IsWindowVisible(hwnd)) {
        if (milliseconds() - start > 30000)
            fail("the main window did not appear within 30 seconds");
        Sleep(1);
    }
    double took = milliseconds() - start;

    (void)PostMessageA(hwnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
        (void)TerminateProcess(pi.hProcess, 1);     // the figure stands; only the clean-up failed
        (void)WaitForSingleObject(pi.hProcess, 5000);
    }
    (void)CloseHandle(pi.hThread);      // handles just used: nothing to report
    (void)CloseHandle(pi.hProcess);
    // Wine finishes a process's exit after the process handle is signalled
    // (its windows, its desktop); a start during that is slowed by it.
    Sleep(200);
    return took;
}

// The first start of each is left out: it writes the install marker and
// fills the caches. Then they take turns in going first.
static void measurestart(double *program, double *floor)
{
    static double p[startsamples], f[startsamples];

    (void)startup("Tolvane.exe", "wndclsname");
    (void)startup("bare.exe", "barewindow");
    for (int s = 0; s < startsamples; s++)
        for (int turn = 0; turn < 2; turn++) {
            if ((turn + s) % 2 == 0)
                p[s] = startup("Tolvane.exe", "wndclsname");
            else
                f[s] = startup("bare.exe", "barewindow");
        }
    *program = median(p, startsamples);
    *floor = median(f, startsamples);
}

// ---- the table ---------------------------------------------------------------------

static void row(const char *what, double program, double floor, double target)
{
    double ratio = program / floor;
    printf("%-36s %8.2f ms %8.2f ms %6.2f  <= %.2f  ", what, program, floor, ratio, target);
    if (ratio <= target)
        printf("met\n");
    else
        printf("missed by %.0f%%\n", (ratio / target - 1) * 100);
    fflush(stdout);
}

int main(int argc, char **argv)
{
    if (argc != 6)
        fail("usage: tolvane_bench <bytes of Tolvane.exe> <of Varrowen.dll> <of bare.exe> "
             "<of tolvctl.exe> <of the x64 tolvctl.exe>, stripped");
    long exe = atol(argv[1]), dll = atol(argv[2]), bare = atol(argv[3]);
    long tool = atol(argv[4]), tool64 = atol(argv[5]);

    if (!GetModuleFileNameA(NULL, bindir, sizeof bindir) || !strrchr(bindir, '\\'))
        fail("the benchmark's own folder is not known");
    *(strrchr(bindir, '\\') + 1) = 0;
    happ = GetModuleHandleA(NULL);

    printf("%-36s %11s %11s %6s  %s\n", "median of repeated runs", "Tolvane", "floor", "ratio", "target");
    for (int i = 0; i < COUNT(dialogs); i++) {
        const dialog *d = &dialogs[i];
        char what[64];
        double program, floor;

        preparekeys(d);
        // Made once and hidden: making the controls is not part of WM_INITDIALOG.
        HWND dlg = CreateDialogParamA(happ, MAKEINTRESOURCEA(d->templ), NULL, d->proc, 0);
        if (!dlg)
            fail("a dialog could not be made from its template");

        clearvalues(d);
        measureopen(d, dlg, &program, &floor);
        wsprintfA(what, "%s: open, nothing set", d->name);
        row(what, program, floor, 1.10);

        // The registry as an Apply with every box ticked leaves it.
        setboxes(dlg, true);
        (void)pressapply(d, dlg);
        measureopen(d, dlg, &program, &floor);
        wsprintfA(what, "%s: open, all applied", d->name);
        row(what, program, floor, 1.10);

        measureapply(d, dlg, &program, &floor);
        wsprintfA(what, "%s: Apply", d->name);
        row(what, program, floor, 1.10);
        printf("%-36s %8.2f ms\n", "  of which the box kept away", keptbox(dlg));
        (void)DestroyWindow(dlg);   // the process ends soon in any case
    }

    double program, floor;
    measurelist(&program, &floor);
    printf("%-36s %11s %11s\n", "", "tolvctl", "floor");
    row("tolvctl list, all 62 settings", program, floor, 1.10);
    printf("%-36s %8d values\n", "  read by both", nlistvalues);

    measurestart(&program, &floor);
    row("start-up to main window", program, floor, 1.05);

    printf("%-36s %8.1f KiB (bare.exe %.1f KiB)   <= 64 KiB  %s\n", "Tolvane.exe + Varrowen.dll, stripped",
           (exe + dll) / 1024.0, bare / 1024.0, exe + dll <= 65536 ? "met" : "missed");
    printf("%-36s %8ld B + %ld B = %ld B\n", "", exe, dll, exe + dll);
    printf("%-36s %8.1f KiB   <= 76 KiB  %s\n", "tolvctl.exe, stripped", tool / 1024.0,
           tool <= 76 * 1024 ? "met" : "missed");
    printf("%-36s %8.1f KiB   <= 92 KiB  %s\n", "x64 tolvctl.exe, stripped", tool64 / 1024.0,
           tool64 <= 92 * 1024 ? "met" : "missed");
    printf("samples: %d per open, %d per Apply (two Applies each), %d per start-up\n",
           opensamples, applysamples, startsamples);
    return 0;
}
