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
