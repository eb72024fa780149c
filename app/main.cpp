// Tolvane: turns Windows shell, system, network and browser policies on and
// off for the administrator of one machine.

#include <windows.h>
#include "resource.h"
#include "varrowen.h"

// ---- globals --------------------------------------------------------------

// The program's instance: written once by WinMain before the first window,
// read as the module that holds the dialog templates.
HINSTANCE happ;

// ---- key paths -------------------------------------------------------------

const char policy_base[]            = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
const char policy_explorer[]        = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char policy_system[]          = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char policy_nonenum[]         = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\NonEnum";
const char policy_network[]         = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network";
const char policy_ms[]              = "Software\\Policies\\Microsoft";
const char policy_ms_mmc[]          = "Software\\Policies\\Microsoft\\MMC";
const char policy_ms_win[]          = "Software\\Policies\\Microsoft\\Windows";
const char policy_ms_winsys[]       = "Software\\Policies\\Microsoft\\Windows\\System";
const char policy_ms_winapp[]       = "Software\\Policies\\Microsoft\\Windows\\AppCompat";
const char policy_ms_winnet[]       = "Software\\Policies\\Microsoft\\Windows\\Network Connections";
const char policy_ms_wininstaller[] = "Software\\Policies\\Microsoft\\Windows\\Installer";
const char policy_ms_iexplorer[]    = "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
const char system_ccs_mm[]          = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const char system_ccs001_mm[]       = "SYSTEM\\CurrentControlSet001\\Control\\Session Manager\\Memory Management";

// Shell settings outside the policy keys.
const char shell_explorer[]         = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char shell_advanced[]         = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

#define HKCU HKEY_CURRENT_USER
#define HKLM HKEY_LOCAL_MACHINE

// ---- policy tables ------------------------------------------------------------

// How a value read at open decides its box: it must be a REG_DWORD of at
// least four bytes whose first four, as an unsigned number, pass the test.
enum ticktest { tick_eq1, tick_eq0, tick_gt3, tick_gtfffffe };

struct readrow {            // one value read when a dialog opens
    int         id;         // check box that it may tick
    HKEY        root;
    const char *key;        // a policy_... constant or a literal path
    const char *name;       // value name
    ticktest    test;
};

struct target {             // one value that Apply sets or deletes
    HKEY        root;
    const char *key;
    const char *name;
    const char *data;       // hexadecimal text written as REG_DWORD when ticked
};

struct applyrow {           // one step of Apply, decided by one box
    int         id;
    target      targets[2]; // in the order written; an unused one has no name
};

struct keyrow {             // one key that Apply makes sure of
    const char *parent;     // under HKEY_CURRENT_USER
    const char *leaf;
};

struct policydialog {       // the tables of one dialog
    const readrow  *reads;
    int             nreads;
    const keyrow   *tests;  // test-opened; the leaf is created under policy_base if missing
    int             ntests;
    const applyrow *applies;
    int             napplies;
};

#define COUNT(a) ((int)(sizeof(a) / sizeof((a)[0])))

// Created without a test before every Apply, parents first.
static const keyrow preparedkeys[] = {
    { policy_ms,     "MMC" },
    { policy_ms,     "InternetManagement" },
    { policy_ms,     "Windows" },
    { policy_ms_win, "AppCompat" },
    { policy_ms_win, "Installer" },
    { policy_ms_win, "Network Connections" },
    { policy_ms_win, "System" },
};

// Tweak settings: every row ticks on 1 and every target is written as 1.
static const readrow tweakreads[] = {
    // id   root  key               value name                                 test
    { 1089, HKCU, policy_explorer,  "MemCheckBoxInRunDlg",                     tick_eq1 },
    { 1092, HKCU, policy_explorer,  "NoSMBalloonTip",                          tick_eq1 },
    { 1088, HKCU, policy_explorer,  "NoInstrumentation",                       tick_eq1 },
    { 1099, HKCU, policy_nonenum,   "{645FF040-5081-101B-9F08-00AA002F954E}",  tick_eq1 },
    { 1090, HKCU, policy_explorer,  "NoStartMenuMFUprogramsList",              tick_eq1 },
    { 1093, HKCU, policy_explorer,  "HideClock",                               tick_eq1 },
    { 1091, HKCU, policy_explorer,  "NoTrayItemsDisplay",                      tick_eq1 },
    { 1087, HKCU, policy_explorer,  "NoThumbnailCache",                        tick_eq1 },
    { 1094, HKCU, policy_explorer,  "GreyMSIAds",                              tick_eq1 },
    { 1002, HKCU, policy_explorer,  "ClearRecentDocsOnExit",                   tick_eq1 },
    { 1034, HKCU, policy_explorer,  "NoAutoUpdate",                            tick_eq1 },
    { 1034, HKCU, policy_explorer,  "NoWindowsUpdate",                         tick_eq1 },
    { 1001, HKCU, policy_explorer,  "NoDriveTypeAutoRun",                      tick_eq1 },
    { 1003, HKCU, policy_explorer,  "NoRecentDocsMenu",                        tick_eq1 },
    { 1098, HKCU, policy_explorer,  "NoWinKeys",                               tick_eq1 },
    { 1091, HKCU, policy_explorer,  "NoTrayItemDisplay",                       tick_eq1 },
    { 1004, HKLM, system_ccs_mm,    "ClearPageFileAtShutdown",                 tick_eq1 },
    { 1004, HKLM, system_ccs001_mm, "ClearPageFileAtShutdown",                 tick_eq1 },
    { 1095, HKLM, shell_explorer,   "AlwaysUnloadDll",                         tick_eq1 },
    { 1097, HKCU, shell_advanced,   "HideFileExt",                             tick_eq1 },
    { 1096, HKCU, shell_advanced,   "ShowSuperHidden",                         tick_eq1 },
    { 1100, HKCU, policy_ms_winapp, "VDMDisallowed",                           tick_eq1 },
};

static const keyrow tweaktests[] = {
    { policy_explorer, "Explorer" },
    { policy_network,  "Network" },
};

// "NoTrayItemsDisplay" is read above but never written.
static const applyrow tweakapplies[] = {
    // id     root  key               value name                                 data
    { 1001, {{ HKCU, policy_explorer,  "NoDriveTypeAutoRun",                      "1" }}},
    { 1088, {{ HKCU, policy_explorer,  "NoInstrumentation",                       "1" }}},
    { 1002, {{ HKCU, policy_explorer,  "ClearRecentDocsOnExit",                   "1" }}},
    { 1003, {{ HKCU, policy_explorer,  "NoRecentDocsMenu",                        "1" }}},
    { 1099, {{ HKCU, policy_nonenum,   "{645FF040-5081-101B-9F08-00AA002F954E}",  "1" }}},
    { 1089, {{ HKCU, policy_explorer,  "MemCheckBoxInRunDlg",                     "1" }}},
    { 1092, {{ HKCU, policy_explorer,  "NoSMBalloonTip",                          "1" }}},
    { 1090, {{ HKCU, policy_explorer,  "NoStartMenuMFUprogramsList",              "1" }}},
    { 1093, {{ HKCU, policy_explorer,  "HideClock",                               "1" }}},
    { 1091, {{ HKCU, policy_explorer,  "NoTrayItemDisplay",                       "1" }}},
    { 1087, {{ HKCU, policy_explorer,  "NoThumbnailCache",                        "1" }}},
    { 1094, {{ HKCU, policy_explorer,  "GreyMSIAds",                              "1" }}},
    { 1098, {{ HKCU, policy_explorer,  "NoWinKeys",                               "1" }}},
    { 1100, {{ HKCU, policy_ms_winapp, "VDMDisallowed",                           "1" }}},
    { 1095, {{ HKLM, shell_explorer,   "AlwaysUnloadDll",                         "1" }}},
    { 1096, {{ HKCU, shell_advanced,   "ShowSuperHidden",                         "1" }}},
    { 1097, {{ HKCU, shell_advanced,   "HideFileExt",                             "1" }}},
    { 1004, {{ HKLM, system_ccs_mm,    "ClearPageFileAtShutdown",                 "1" },
             { HKLM, system_ccs001_mm, "ClearPageFileAtShutdown",                 "1" }}},
    { 1034, {{ HKCU, policy_explorer,  "NoWindowsUpdate",                         "1" },
             { HKCU, policy_explorer,  "NoAutoUpdate",                            "1" }}},
};

static const policydialog tweak = {
    tweakreads, COUNT(tweakreads), tweaktests, COUNT(tweaktests),
    tweakapplies, COUNT(tweakapplies),
};

// ---- policy check boxes -------------------------------------------------------

static int ticks(DWORD type, const BYTE *data, DWORD size, ticktest test)
{
    DWORD value;

    if (type != REG_DWORD || size < sizeof value)
        return 0;
    CopyMemory(&value, data, sizeof value);
    switch (test) {
    case tick_eq1:      return value == 1;
    case tick_eq0:      return value == 0;
    case tick_gt3:      return value > 3;
    case tick_gtfffffe: return value > 0xFFFFFE;
    }
    return 0;
}

// Ticks each box that one of its values passes; no row clears a box, so a
// box with several rows is ticked when any of them passes.
static void readpolicies(HWND dlg, const policydialog *pd)
{
    DWORD type, size;
    BYTE data[2048];

    for (int i = 0; i < pd->nreads; i++) {
        const readrow *row = &pd->reads[i];
        size = sizeof data;
        HKEY key = VR_regquery(row->root, row->key, row->name, 2, &type, data, &size);
        if (!key)
            continue;   // missing, not openable with full access, or too long
        if (ticks(type, data, size, row->test))
            CheckDlgButton(dlg, row->id, BST_CHECKED);
        RegCloseKey(key);
    }
}

// Makes sure the parent keys of the values exist: the dialog's test-opened
// keys, then the prepared keys. Failures show up only as values that cannot
// be written, so no code is looked at.
static void preparekeys(const policydialog *pd)
{
    for (int i = 0; i < pd->ntests; i++) {
        HKEY key = VR_regquery(HKCU, pd->tests[i].parent, NULL, 1, NULL, NULL, NULL);
        if (key)
            RegCloseKey(key);
        else
            (void)VR_regaddkey(HKCU, policy_base, pd->tests[i].leaf);
    }
    for (int i = 0; i < COUNT(preparedkeys); i++)
        (void)VR_regaddkey(HKCU, preparedkeys[i].parent, preparedkeys[i].leaf);
}

// Writes every box back: a ticked box sets its targets, any other state
// deletes them. A failed write or delete is not reported; the confirmation
// follows every Apply.
static void applypolicies(HWND dlg, const policydialog *pd)
{
    preparekeys(pd);
    for (int i = 0; i < pd->napplies; i++) {
        const applyrow *row = &pd->applies[i];
        int ticked = IsDlgButtonChecked(dlg, row->id) == BST_CHECKED;
        for (int t = 0; t < COUNT(row->targets) && row->targets[t].name; t++) {
            const target *tg = &row->targets[t];
            if (ticked) {
                char text[16];     // the library takes writable text
                lstrcpynA(text, tg->data, sizeof text);
                (void)VR_regsetvalue(tg->root, tg->key, tg->name, text, REG_DWORD);
            } else {
                (void)VR_regdelval(tg->root, tg->key, tg->name);
            }
        }
    }
    MessageBoxA(dlg, "Settings saved successfully\nAll changes will take effect after system restart",
                "DONE", MB_OK);
}

// ---- Tweak settings dialog --------------------------------------------------------

// Only Close ends the dialog; Esc, Enter and WM_CLOSE are ignored.
INT_PTR CALLBACK dlgtweakproc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (msg) {
    case WM_INITDIALOG:
        readpolicies(dlg, &tweak);
        return FALSE;   // no initial focus
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_TWEAKAPPLY:
            applypolicies(dlg, &tweak);
            return FALSE;
        case IDC_TWEAKCLOSE:
            EndDialog(dlg, wparam);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// ---- about box ------------------------------------------------------------

// Ends on its own OK button and on WM_CLOSE (close box, system menu, Alt+F4)
// only: Esc arrives as IDCANCEL and leaves the box open on purpose. FALSE for
// every message, WM_INITDIALOG included, so the system sets no first focus.
INT_PTR CALLBACK dlgaboutproc(HWND hdlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (msg) {
    case WM_CLOSE:
        (void)EndDialog(hdlg, 0);
        break;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_ABOUTOK)
            (void)EndDialog(hdlg, 0);
        break;
    }
    return FALSE;
}

// ---- main window ----------------------------------------------------------

LRESULT CALLBACK wndmainproc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        // The command is the low word; the notification code is not looked
        // at, and commands the menu does not have are swallowed.
        switch (LOWORD(wparam)) {
        case IDM_TWEAK:
            // The dialog's result means nothing to the main window.
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_TWEAK), hwnd, dlgtweakproc, 0);
            break;
        case IDM_AUTHOR:
            // The box always ends with 0; there is nothing to look at.
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, dlgaboutproc, 0);
            break;
        case IDM_EXIT:
            // The loop ends on the quit message that WM_DESTROY posts; the
            // window itself goes with the process.
            PostMessageA(hwnd, WM_DESTROY, wparam, lparam);
            break;
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

// ---- start-up -------------------------------------------------------------

// The command line is ignored: the program has no options.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdline, int show)
{
    (void)previous;
    (void)cmdline;

    vrversion version = VR_version();
    if (version.major <= 0 || version.minor < 0) {
        MessageBoxA(NULL,
                    "Version of Varrowen.dll is incorrect.\n"
                    "Please use version 1.0.0.2 of Varrowen.dll",
                    "Incorrect Varrowen.dll", MB_OK);
        return 0;
    }

    happ = instance;

    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = wndmainproc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_MENU + 1);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = "wndclsname";
    if (!RegisterClassExA(&wc))
        return 0;

    // A marker that cannot be written changes nothing for the user.
    if (!VR_getsignature())
        VR_putsignature();

    HWND hwnd = CreateWindowExA(WS_EX_OVERLAPPEDWINDOW, "wndclsname",
                                "Tolvane - A Cool tool for most useful system settings",
                                WS_OVERLAPPEDWINDOW, 10, 10, 300, 300,
                                NULL, NULL, instance, NULL);
    // Without its window nothing could ever end the loop below.
    if (!hwnd)
        return 0;
    ShowWindow(hwnd, show);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

// ---- helpers nothing calls yet --------------------------------------------

// The lock range: offset and length both have 0xFFFFFFFF in the high word and
// 0 in the low word, so the range runs past the end of the 64-bit file space.
// That is kept as it is; a system that refuses such a range (Wine does, as an
// invalid parameter) makes every lock a refused one. mylockfile and
// myunlockfile must name the same range.
static void lockrange(OVERLAPPED *ov)
{
    ZeroMemory(ov, sizeof *ov);     // Offset 0, no event: the call waits itself
    ov->OffsetHigh = 0xFFFFFFFF;
}

// Opens an existing file for reading (others may read it, not write or
// delete it) and takes an exclusive lock, waiting as long as another handle
// holds an overlapping one. The handle belongs to the caller; NULL, after the
// error box, when the file cannot be opened or locked.
HANDLE mylockfile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        VR_whaterror();
        return NULL;
    }

    OVERLAPPED ov;
    lockrange(&ov);
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 0, 0xFFFFFFFF, &ov)) {
        // The box first: CloseHandle may change the last error. The handle
        // was never the caller's, so it is closed here.
        VR_whaterror();
        (void)CloseHandle(file);    // nothing more to report on a handle just opened
        return NULL;
    }
    return file;
}

// Releases the lock that mylockfile took through file; the handle stays open
// and the caller's. 1 when released, 0 after the error box.
int myunlockfile(HANDLE file)
{
    OVERLAPPED ov;
    lockrange(&ov);
    if (!UnlockFileEx(file, 0, 0, 0xFFFFFFFF, &ov)) {
        VR_whaterror();
        return 0;
    }
    return 1;
}
