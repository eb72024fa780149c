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
#include "resource.h"

extern HINSTANCE happ;
INT_PTR CALLBACK dlgtweakproc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK dlgrestrictproc(HWND, UINT, WPARAM, LPARAM);

#define HKCU HKEY_CURRENT_USER
#define HKLM HKEY_LOCAL_MACHINE
#define COUNT(a) ((int)(sizeof(a) / sizeof((a)[0])))

static void fail(const char *what)
{
    fprintf(stderr, "bench: %s\n", what);
    exit(1);
}

// ---- the dialogs' registry work, done directly ---------------------------------
// The same keys and values, in the same order, as the tables of the program.

static const char pbase[]    = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
static const char pexp[]     = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
static const char psys[]     = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
static const char pnonenum[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\NonEnum";
static const char pnet[]     = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network";
static const char punin[]    = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Uninstall";
static const char ms[]       = "Software\\Policies\\Microsoft";
static const char mmmc[]     = "Software\\Policies\\Microsoft\\MMC";
static const char mwin[]     = "Software\\Policies\\Microsoft\\Windows";
static const char mwinsys[]  = "Software\\Policies\\Microsoft\\Windows\\System";
static const char mwinapp[]  = "Software\\Policies\\Microsoft\\Windows\\AppCompat";
static const char mwinnet[]  = "Software\\Policies\\Microsoft\\Windows\\Network Connections";
static const char mwininst[] = "Software\\Policies\\Microsoft\\Windows\\Installer";
static const char mie[]      = "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
static const char ccsmm[]    = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
static const char ccs001mm[] = "SYSTEM\\CurrentControlSet001\\Control\\Session Manager\\Memory Management";
static const char shexp[]    = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
static const char shadv[]    = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
static const char recycle[]  = "{645FF040-5081-101B-9F08-00AA002F954E}";

struct readrow {
    HKEY root;
    const char *key;
    const char *name;
};

struct writerow {
    HKEY root;
    const char *key;
    const char *name;
    DWORD data;             // written when the box is ticked
};

struct keyrow {             // under HKEY_CURRENT_USER
    const char *parent;
    const char *leaf;
};

static const readrow tweakreads[] = {
    { HKCU, pexp, "MemCheckBoxInRunDlg" }, { HKCU, pexp, "NoSMBalloonTip" },
    { HKCU, pexp, "NoInstrumentation" }, { HKCU, pnonenum, recycle },
    { HKCU, pexp, "NoStartMenuMFUprogramsList" }, { HKCU, pexp, "HideClock" },
    { HKCU, pexp, "NoTrayItemsDisplay" }, { HKCU, pexp, "NoThumbnailCache" },
    { HKCU, pexp, "GreyMSIAds" }, { HKCU, pexp, "ClearRecentDocsOnExit" },
    { HKCU, pexp, "NoAutoUpdate" }, { HKCU, pexp, "NoWindowsUpdate" },
    { HKCU, pexp, "NoDriveTypeAutoRun" }, { HKCU, pexp, "NoRecentDocsMenu" },
    { HKCU, pexp, "NoWinKeys" }, { HKCU, pexp, "NoTrayItemDisplay" },
    { HKLM, ccsmm, "ClearPageFileAtShutdown" }, { HKLM, ccs001mm, "ClearPageFileAtShutdown" },
    { HKLM, shexp, "AlwaysUnloadDll" }, { HKCU, shadv, "HideFileExt" },
    { HKCU, shadv, "ShowSuperHidden" }, { HKCU, mwinapp, "VDMDisallowed" },
};

static const keyrow tweaktests[] = { { pexp, "Explorer" }, { pnet, "Network" } };

static const writerow tweakwrites[] = {
    { HKCU, pexp, "NoDriveTypeAutoRun", 1 }, { HKCU, pexp, "NoInstrumentation", 1 },
    { HKCU, pexp, "ClearRecentDocsOnExit", 1 }, { HKCU, pexp, "NoRecentDocsMenu", 1 },
    { HKCU, pnonenum, recycle, 1 }, { HKCU, pexp, "MemCheckBoxInRunDlg", 1 },
    { HKCU, pexp, "NoSMBalloonTip", 1 }, { HKCU, pexp, "NoStartMenuMFUprogramsList", 1 },
    { HKCU, pexp, "HideClock", 1 }, { HKCU, pexp, "NoTrayItemDisplay", 1 },
    { HKCU, pexp, "NoThumbnailCache", 1 }, { HKCU, pexp, "GreyMSIAds", 1 },
    { HKCU, pexp, "NoWinKeys", 1 }, { HKCU, mwinapp, "VDMDisallowed", 1 },
    { HKLM, shexp, "AlwaysUnloadDll", 1 }, { HKCU, shadv, "ShowSuperHidden", 1 },
    { HKCU, shadv, "HideFileExt", 1 }, { HKLM, ccsmm, "ClearPageFileAtShutdown", 1 },
    { HKLM, ccs001mm, "ClearPageFileAtShutdown", 1 }, { HKCU, pexp, "NoWindowsUpdate", 1 },
    { HKCU, pexp, "NoAutoUpdate", 1 },
};

static const readrow restrictreads[] = {
    { HKCU, pexp, "NoFolderOptions" }, { HKCU, pexp, "StartMenuLogOff" },
    { HKCU, pexp, "NoRun" }, { HKCU, pexp, "NoSetTaskbar" },
    { HKCU, pexp, "NoFind" }, { HKCU, pexp, "NoShellSearchButton" },
    { HKCU, pexp, "NoControlPanel" }, { HKCU, pexp, "NoViewContextMenu" },
    { HKCU, pexp, "NoTrayContextMenu" }, { HKCU, pexp, "NoActiveDesktop" },
    { HKCU, pexp, "DisablePersonalDirChange" }, { HKCU, pexp, "NoFileMenu" },
    { HKCU, pexp, "NoManageMyComputerVerb" }, { HKCU, pexp, "NoSharedDocuments" },
    { HKCU, mmmc, "RestrictAuthorMode" }, { HKLM, pexp, "NoAddPrinter" },
    { HKLM, pexp, "NoDeletePrinter" }, { HKCU, psys, "NoDispBackgroundPage" },
    { HKCU, psys, "NoDispAppearancePage" }, { HKCU, psys, "NoDispSettingsPage" },
    { HKCU, mwininst, "AlwaysInstallElevated" }, { HKCU, psys, "NoDispScrSavPage" },
    { HKCU, psys, "DisableTaskMgr" }, { HKCU, psys, "DisableLockWorkstation" },
    { HKCU, psys, "DisableChangePassword" }, { HKCU, punin, "NoAddRemovePrograms" },
    { HKCU, pexp, "NoViewOnDrive" }, { HKCU, pexp, "NoDrives" },
    { HKCU, psys, "DisableRegistryTools" }, { HKCU, pbase, "DisableRegistryTools" },
    { HKCU, pexp, "NoHardwareTab" }, { HKCU, pexp, "NoCDBurning" },
    { HKCU, pexp, "NoStartMenuMorePrograms" }, { HKCU, mwininst, "DisableMedia" },
    { HKCU, pexp, "NoInternetIcon" }, { HKCU, mwinnet, "NC_NewConnectionWizard" },
    { HKCU, mwinnet, "NC_DeleteAllUserConnection" }, { HKCU, mie, "Proxy" },
    { HKCU, mwinnet, "NC_AllowAdvancedTCPIPConfig" }, { HKCU, mwinnet, "NC_EnableAdminProhibits" },
    { HKCU, mwinnet, "NC_RasConnect" }, { HKCU, pnet, "NoEntireNetwork" },
    { HKCU, mie, "History" }, { HKCU, mie, "HomePage" },
    { HKCU, mwinsys, "DisableCMD" },
};

static const keyrow restricttests[] = { { pexp, "Explorer" }, { pnet, "Network" }, { psys, "System" } };

static const writerow restrictwrites[] = {
    { HKCU, pexp, "NoFolderOptions", 1 }, { HKCU, pexp, "StartMenuLogOff", 1 },
    { HKCU, mwininst, "AlwaysInstallElevated", 1 }, { HKCU, pexp, "NoRun", 1 },
    { HKCU, pexp, "NoSetTaskbar", 1 }, { HKCU, pexp, "NoShellSearchButton", 1 },
    { HKCU, pexp, "NoControlPanel", 1 }, { HKCU, pexp, "NoTrayContextMenu", 1 },
    { HKCU, pexp, "NoViewContextMenu", 1 }, { HKCU, pexp, "NoActiveDesktop", 1 },
    { HKCU, pexp, "NoInternetIcon", 1 }, { HKCU, pexp, "DisablePersonalDirChange", 1 },
    { HKCU, psys, "NoDispBackgroundPage", 1 }, { HKCU, psys, "NoDispScrSavPage", 1 },
    { HKCU, psys, "NoDispAppearancePage", 1 }, { HKCU, psys, "NoDispSettingsPage", 1 },
    { HKCU, psys, "DisableTaskMgr", 1 }, { HKCU, psys, "DisableLockWorkstation", 1 },
    { HKCU, psys, "DisableChangePassword", 1 }, { HKCU, pexp, "NoShellSearchButton", 1 },
    { HKCU, pexp, "NoFind", 1 }, { HKCU, pexp, "NoFileMenu", 1 },
    { HKCU, pexp, "NoManageMyComputerVerb", 1 }, { HKCU, pexp, "NoSharedDocuments", 1 },
    { HKCU, mmmc, "RestrictAuthorMode", 1 }, { HKCU, mwinsys, "DisableCMD", 1 },
    { HKCU, mwinnet, "NC_NewConnectionWizard", 0 }, { HKCU, pexp, "NoAddPrinter", 1 },
    { HKCU, pexp, "NoDeletePrinter", 1 }, { HKCU, pexp, "NoHardwareTab", 1 },
    { HKCU, pexp, "NoCDBurning", 1 }, { HKCU, pexp, "NoStartMenuMorePrograms", 1 },
    { HKCU, mwininst, "DisableMedia", 1 }, { HKCU, pexp, "NoInternetIcon", 1 },
    { HKCU, mwinnet, "NC_RasConnect", 0 }, { HKCU, mwinnet, "NC_DeleteAllUserConnection", 0 },
    { HKCU, mwinnet, "NC_EnableAdminProhibits", 1 }, { HKCU, mie, "History", 1 },
    { HKCU, mie, "Proxy", 1 }, { HKCU, mie, "HomePage", 1 },
    { HKCU, mwinnet, "NC_AllowAdvancedTCPIPConfig", 0 }, { HKCU, pnet, "NoEntireNetwork", 1 },
    { HKCU, psys, "DisableRegistryTools", 1 }, { HKCU, pbase, "DisableRegistryTools", 1 },
    { HKCU, punin, "NoAddRemovePrograms", 1 }, { HKCU, pexp, "NoViewOnDrive", 4 },
    { HKCU, pexp, "NoDrives", 0xFFFFFFFF },
};

// Made sure of before every Apply of either dialog, parents first.
static const keyrow preparedkeys[] = {
    { ms, "MMC" }, { ms, "InternetManagement" }, { ms, "Windows" },
    { mwin, "AppCompat" }, { mwin, "Installer" }, { mwin, "Network Connections" },
    { mwin, "System" },
};

struct dialog {
    const char *name;
    int templ;
    DLGPROC proc;
    int apply;
    const readrow *reads;
    int nreads;
    const keyrow *tests;
    int ntests;
    const writerow *writes;
    int nwrites;
};

static const dialog dialogs[] = {
    { "Tweak settings", IDD_TWEAK, dlgtweakproc, IDC_TWEAKAPPLY,
      tweakreads, COUNT(tweakreads), tweaktests, COUNT(tweaktests),
      tweakwrites, COUNT(tweakwrites) },
    { "Set Restrictions", IDD_RESTRICT, dlgrestrictproc, IDC_RESTRICTAPPLY,
      restrictreads, COUNT(restrictreads), restricttests, COUNT(restricttests),
      restrictwrites, COUNT(restrictwrites) },
};

// Each value read as the dialog reads it: its key opened with full access,
// the value read into a buffer of the same size, the key closed.
static void floorreads(const dialog *d)
{
    BYTE data[2048];

    for (int i = 0; i < d->nreads; i++) {
        const readrow *v = &d->reads[i];
        HKEY key;
        DWORD type, size = sizeof data;
        if (RegOpenKeyExA(v->root, v->key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        // A missing value is part of the work, not an error.
        (void)RegQueryValueExA(key, v->name, NULL, &type, data, &size);
        RegCloseKey(key);
    }
}

static void addkey(const char *parent, const char *leaf)
{
    HKEY key, created;
    DWORD disposition;

    if (RegOpenKeyExA(HKCU, parent, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyExA(key, leaf, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &created, &disposition) == ERROR_SUCCESS)
        RegCloseKey(created);
    RegCloseKey(key);
}

// One Apply made directly, with every box ticked (set) or every box clear:
// the keys made sure of, then each value written or deleted in its own open.
static void floorapply(const dialog *d, bool set)
{
    for (int i = 0; i < d->ntests; i++) {
        HKEY key;
        if (RegOpenKeyExA(HKCU, d->tests[i].parent, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
            RegCloseKey(key);
        else
            addkey(pbase, d->tests[i].leaf);
    }
    for (int i = 0; i < COUNT(preparedkeys); i++)
        addkey(preparedkeys[i].parent, preparedkeys[i].leaf);
    for (int i = 0; i < d->nwrites; i++) {
        const writerow *v = &d->writes[i];
        HKEY key;
        if (RegOpenKeyExA(v->root, v->key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        // As in the program, a failed write or delete is not looked at.
        if (set)
            (void)RegSetValueExA(key, v->name, 0, REG_DWORD, (const BYTE *)&v->data, sizeof v->data);
        else
            (void)RegDeleteValueA(key, v->name);
        RegCloseKey(key);
    }
}

static void makekey(HKEY root, const char *path)
{
    HKEY key;

    if (RegCreateKeyExA(root, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        fail("a key of the policies could not be made");
    RegCloseKey(key);
}

// Every key that a dialog reads or writes is there, so that no value is
// missing only because an Apply could not create its key.
static void preparekeys(const dialog *d)
{
    for (int i = 0; i < d->nreads; i++)
        makekey(d->reads[i].root, d->reads[i].key);
    for (int i = 0; i < d->nwrites; i++)
        makekey(d->writes[i].root, d->writes[i].key);
}

static void deletevalue(HKEY root, const char *path, const char *name)
{
    HKEY key;

    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    (void)RegDeleteValueA(key, name);   // not there: nothing to do
    RegCloseKey(key);
}

// No policy of the dialog set: none of its values is there.
static void clearvalues(const dialog *d)
{
    for (int i = 0; i < d->nreads; i++)
        deletevalue(d->reads[i].root, d->reads[i].key, d->reads[i].name);
    for (int i = 0; i < d->nwrites; i++)
        deletevalue(d->writes[i].root, d->writes[i].key, d->writes[i].name);
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
    if (argc != 4)
        fail("usage: tolvane_bench <bytes of Tolvane.exe> <of Varrowen.dll> <of bare.exe>, stripped");
    long exe = atol(argv[1]), dll = atol(argv[2]), bare = atol(argv[3]);

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
    measurestart(&program, &floor);
    row("start-up to main window", program, floor, 1.05);

    printf("%-36s %8.1f KiB (bare.exe %.1f KiB)   <= 64 KiB  %s\n", "Tolvane.exe + Varrowen.dll, stripped",
           (exe + dll) / 1024.0, bare / 1024.0, exe + dll <= 65536 ? "met" : "missed");
    printf("%-36s %8ld B + %ld B = %ld B\n", "", exe, dll, exe + dll);
    printf("samples: %d per open, %d per Apply (two Applies each), %d per start-up\n",
           opensamples, applysamples, startsamples);
    return 0;
}
