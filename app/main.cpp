// Tolvane: turns Windows shell, system, network and browser policies on and
// off for the administrator of one machine.

#include <windows.h>
#include "resource.h"
#include "varrowen.h"

// ---- globals --------------------------------------------------------------

// The program's instance: written once by WinMain before the first window,
// read as the module that holds the dialog templates.
HINSTANCE happ;

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
