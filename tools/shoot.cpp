// Puts the running Tolvane into the state of one picture of the README and
// prints the screen rectangle worth keeping, "left top width height", for
// the caller to capture and crop (for the menu, then the menu's own):
//   menu      the main window with its Go menu open
//   tweak     the Tweak settings dialog
//   restrict  the Set Restrictions dialog after a click on "School"
//   about     the About box
// A dialog left open by an earlier step is closed first with its own
// button, so the steps can follow one another in any order.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "resource.h"

struct dialogshot {
    const char *name;
    const char *caption;
    int command;            // the main window's menu command that opens it
    int close;              // the button that ends it
};

static const dialogshot dialogs[] = {
    { "tweak",    "Tweak settings.",   IDM_TWEAK,    IDC_TWEAKCLOSE },
    { "restrict", "Set Restrictions.", IDM_RESTRICT, IDC_RESTRICTCLOSE },
    { "about",    "About Tolvane",     IDM_AUTHOR,   IDC_ABOUTOK },
};

static void fail(const char *what)
{
    fprintf(stderr, "shoot: %s\n", what);
    exit(1);
}

struct search {
    const char *cls;
    const char *caption;
    HWND found;
};

static BOOL CALLBACK match(HWND hwnd, LPARAM lparam)
{
    search *s = (search *)lparam;
    char cls[64], caption[128];

    if (!IsWindowVisible(hwnd) || !GetClassNameA(hwnd, cls, sizeof cls))
        return TRUE;
    caption[0] = 0;
    (void)GetWindowTextA(hwnd, caption, sizeof caption);   // no caption: empty
    if (strcmp(cls, s->cls) == 0 && (!s->caption || strcmp(caption, s->caption) == 0)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the class (and caption, unless NULL).
static HWND visible(const char *cls, const char *caption)
{
    search s = { cls, caption, NULL };
    (void)EnumWindows(match, (LPARAM)&s);     // FALSE only when stopped at a match
    return s.found;
}

static HWND waitfor(const char *cls, const char *caption)
{
    for (int tries = 0; tries < 300; tries++) {
        HWND hwnd = visible(cls, caption);
        if (hwnd)
            return hwnd;
        Sleep(100);
    }
    fprintf(stderr, "shoot: no window \"%s\" of class %s within 30 seconds\n",
            caption ? caption : "", cls);
    exit(1);
}

static void closedialogs()
{
    for (int i = 0; i < (int)(sizeof dialogs / sizeof dialogs[0]); i++) {
        HWND dlg = visible("#32770", dialogs[i].caption);
        if (!dlg)
            continue;
        (void)PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(dialogs[i].close, BN_CLICKED),
                           (LPARAM)GetDlgItem(dlg, dialogs[i].close));
        for (int tries = 0; IsWindow(dlg) && tries < 100; tries++)
            Sleep(100);
        if (IsWindow(dlg))
            fail("a dialog did not close");
    }
}

int main(int argc, char **argv)
{
    if (argc != 2)
        fail("usage: shoot menu|tweak|restrict|about");
    HWND mainwnd = waitfor("wndclsname", NULL);
    closedialogs();

    RECT keep;
    if (strcmp(argv[1], "menu") == 0) {
        // Alt+G typed on the keyboard: the menu bar opens its Go menu.
        (void)SetForegroundWindow(mainwnd);
        INPUT keys[4];
        ZeroMemory(keys, sizeof keys);
        WORD codes[4] = { VK_MENU, 'G', 'G', VK_MENU };
        for (int i = 0; i < 4; i++) {
            keys[i].type = INPUT_KEYBOARD;
            keys[i].ki.wVk = codes[i];
            keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
        }
        if (SendInput(4, keys, sizeof keys[0]) != 4)
            fail("the keys could not be typed");
        HWND menu = waitfor("#32768", NULL);
        RECT r;
        // Windows found visible a moment ago: their rectangles are there.
        (void)GetWindowRect(mainwnd, &keep);
        (void)GetWindowRect(menu, &r);
        (void)UnionRect(&keep, &keep, &r);
        // The menu's own rectangle as well: see screenshots.sh.
        printf("%ld %ld %ld %ld ", keep.left, keep.top, keep.right - keep.left, keep.bottom - keep.top);
        keep = r;
    } else {
        const dialogshot *shot = NULL;
        for (int i = 0; i < (int)(sizeof dialogs / sizeof dialogs[0]); i++)
            if (strcmp(argv[1], dialogs[i].name) == 0)
                shot = &dialogs[i];
        if (!shot)
            fail("no such picture");
        (void)PostMessageA(mainwnd, WM_COMMAND, shot->command, 0);
        HWND dlg = waitfor("#32770", shot->caption);
        if (shot->command == IDM_RESTRICT)
            (void)SendMessageA(GetDlgItem(dlg, IDC_SCHOOL), BM_CLICK, 0, 0);
        (void)GetWindowRect(dlg, &keep);
    }
    printf("%ld %ld %ld %ld\n", keep.left, keep.top, keep.right - keep.left, keep.bottom - keep.top);
    return 0;
}
