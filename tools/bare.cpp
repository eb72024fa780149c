// The floor for Tolvane's start-up: a program that only registers a class,
// creates and shows one window like Tolvane's main window and runs its
// message loop. It is built with the same options as Tolvane.exe.
#include <windows.h>

static LRESULT CALLBACK bareproc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdline, int show)
{
    (void)previous;
    (void)cmdline;

    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.lpfnWndProc = bareproc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "barewindow";
    if (!RegisterClassA(&wc))
        return 1;

    HWND hwnd = CreateWindowExA(0, "barewindow", "bare", WS_OVERLAPPEDWINDOW,
                                10, 10, 300, 300, NULL, NULL, instance, NULL);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, show);

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
