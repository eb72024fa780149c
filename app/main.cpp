// Tolvane: turns Windows shell, system, network and browser policies on and
// off for the administrator of one machine.

#include <windows.h>
#include "policy.h"
#include "resource.h"
#include "varrowen.h"

// ---- globals --------------------------------------------------------------

// The program's instance: written once by WinMain before the first window,
// read as the module that holds the dialog templates.
HINSTANCE happ;

// ---- policy check boxes -------------------------------------------------------
//
// The tables, the tick test and the walks of key preparation and Apply are
// in policy.h; here they meet the dialog's boxes and the library.

// Ticks each box that one of its values passes; no row clears a box, so a
// box with several rows is ticked when any of them passes.
static void readpolicies(HWND dlg, const policydialog *pd)
{
    DWORD type, size;
    BYTE data[2048];

    for (int i = 0; i < pd->nreads; i++) {
        const readrow *row = &pd->reads[i];
        HKEY key;
        size = sizeof data;
        if (row->readonly) {
            // A value that Apply never writes is read with read access
            // alone, so that a standard user sees it too; one that cannot
            // be read fails the tick test.
            if (RegOpenKeyExA(row->root, row->key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
                continue;
            if (RegQueryValueExA(key, row->name, NULL, &type, data, &size) != ERROR_SUCCESS)
                type = REG_NONE;
        } else if (!(key = VR_regquery(row->root, row->key, row->name, 2, &type, data, &size))) {
            continue;   // missing, not openable with full access, or too long
        }
        if (ticks(type, data, size, row->test))
            CheckDlgButton(dlg, row->id, BST_CHECKED);
        RegCloseKey(key);
    }
}

// Key preparation through the library. Failures show up only as values that
// cannot be written, so no code is looked at.
static int mykeyopens(void *context, const char *path)
{
    (void)context;
    HKEY key = VR_regquery(HKCU, path, NULL, 1, NULL, NULL, NULL);
    if (!key)
        return 0;
    RegCloseKey(key);
    return 1;
}

static void myaddkey(void *context, const char *parent, const char *leaf)
{
    (void)context;
    (void)VR_regaddkey(HKCU, parent, leaf);
}

// A box counts as ticked only when it is BST_CHECKED; any other state
// deletes its targets.
static int myboxstate(void *context, int id)
{
    return IsDlgButtonChecked((HWND)context, id) == BST_CHECKED;
}

static void mywritetarget(void *context, const target *t, int ticked)
{
    (void)context;
    if (ticked) {
        char text[16];     // the library takes writable text
        // The key with its missing parents, below "Software", which every
        // root has. A key that cannot be made shows up as the value that is
        // not written.
        if (keyruleof(t) == keys_made)
            (void)VR_regaddkey(t->root, "Software", t->key + sizeof "Software");
        lstrcpynA(text, t->data, sizeof text);
        (void)VR_regsetvalue(t->root, t->key, t->name, text, REG_DWORD);
    } else {
        (void)VR_regdelval(t->root, t->key, t->name);
    }
}

// Writes every box back: a ticked box sets its targets, any other state
// deletes them. A failed write or delete is not reported; the confirmation
// follows every Apply.
static void applypolicies(HWND dlg, const policydialog *pd)
{
    walkprepare(pd, NULL, mykeyopens, myaddkey);
    walkapply(pd, dlg, myboxstate, mywritetarget);
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
        readpolicies(dlg, &tweakdialog);
        return FALSE;   // no initial focus
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_TWEAKAPPLY:
            applypolicies(dlg, &tweakdialog);
            return FALSE;
        case IDC_TWEAKCLOSE:
            EndDialog(dlg, wparam);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// ---- Set Restrictions dialog ------------------------------------------------------

// Sets every box to the pattern of one preset (0 to 3). Nothing reaches the
// registry before Apply.
static void applypreset(HWND dlg, int preset)
{
    for (int i = 0; i < COUNT(presets); i++)
        CheckDlgButton(dlg, presets[i].id, presets[i].ticked[preset] ? BST_CHECKED : BST_UNCHECKED);
}

// Only Close ends the dialog; Esc, Enter and WM_CLOSE are ignored.
INT_PTR CALLBACK dlgrestrictproc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (msg) {
    case WM_INITDIALOG:
        readpolicies(dlg, &restrictdialog);
        return FALSE;   // no initial focus
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_RESTRICTAPPLY:
            applypolicies(dlg, &restrictdialog);
            return TRUE;
        case IDC_RESTRICTCLOSE:
            EndDialog(dlg, wparam);
            return TRUE;
        case IDC_SCHOOL:
        case IDC_CYBERCAFE:
        case IDC_HIGHLY:
        case IDC_CLEARALL:
            applypreset(dlg, LOWORD(wparam) - IDC_SCHOOL);
            return FALSE;
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
    case WM_INITDIALOG:
        // DS_SYSMODAL asks for a box above all other windows, but not every
        // window manager honours the style; ask for the z-order itself too.
        (void)SetWindowPos(hdlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
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
        case IDM_RESTRICT:
            // The dialog's result means nothing to the main window.
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_RESTRICT), hwnd, dlgrestrictproc, 0);
            break;
        case IDM_TWEAK:
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_TWEAK), hwnd, dlgtweakproc, 0);
            break;
        case IDM_AUTHOR:
            // The box always ends with 0; there is nothing to look at.
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, dlgaboutproc, 0);
            break;
        case IDM_EXIT:
            // The loop ends on the quit message that WM_DESTROY posts; the
            // window itself goes with the process.
            (void)PostMessageA(hwnd, WM_DESTROY, wparam, lparam);
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

// ---- file lock helpers ----------------------------------------------------
//
// Nothing in the program calls these two; they belong to its toolkit.

// Locks (or unlocks) the range that starts at 0xFFFFFFFF00000000, far beyond
// any data, so that the lock never stands in the way of reading the file.
// The range tried first is 0xFFFFFFFF00000000 bytes long: it runs past the
// last 64-bit offset, which current file systems refuse as an invalid range.
// When it fails, the same range cut off at the last offset is tried, so that
// the helpers work there too; the last error is then that attempt's.
static BOOL lockrange(HANDLE file, BOOL lock)
{
    static const DWORD lengths[2][2] = {    // low word, high word
        { 0,          0xFFFFFFFF },
        { 0xFFFFFFFF, 0 },
    };
    for (int i = 0; i < 2; i++) {
        OVERLAPPED ov;
        ZeroMemory(&ov, sizeof ov);         // no event: the call waits itself
        ov.OffsetHigh = 0xFFFFFFFF;
        if (lock ? LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, lengths[i][0], lengths[i][1], &ov)
                 : UnlockFileEx(file, 0, lengths[i][0], lengths[i][1], &ov))
            return TRUE;
    }
    return FALSE;
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
    if (!lockrange(file, TRUE)) {
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
    if (!lockrange(file, FALSE)) {
        VR_whaterror();
        return 0;
    }
    return 1;
}
