// The About box, in-process and through the real program, and the file lock
// helpers that nothing in the program calls.
#include <gtest/gtest.h>
#include "support.h"

extern HINSTANCE happ;
INT_PTR CALLBACK dlgaboutproc(HWND, UINT, WPARAM, LPARAM);
HANDLE mylockfile(const char *);
int myunlockfile(HANDLE);

// ---- the template -------------------------------------------------------------

// The compiled template in the shipped program, field by field, so that no
// style that the resource compiler might add goes unseen.
TEST(about, template_108)
{
    dialogtemplate dt;
    ASSERT_TRUE(readtemplate(108, &dt));
    EXPECT_TRUE(dt.extended);
    EXPECT_EQ(0u, dt.exstyle);
    EXPECT_EQ(0x10C800C2u, dt.style);
    EXPECT_EQ(203, dt.cx);
    EXPECT_EQ(100, dt.cy);
    EXPECT_EQ("", dt.menu);
    EXPECT_EQ("", dt.cls);
    EXPECT_NE("", dt.caption);
    EXPECT_EQ(8, dt.pointsize);
    EXPECT_TRUE(dt.weight == 0 || dt.weight == FW_NORMAL) << dt.weight;
    EXPECT_EQ(0, dt.italic);
    EXPECT_EQ(DEFAULT_CHARSET, dt.charset);
    EXPECT_EQ("MS Sans Serif", dt.font);

    struct { int id; const char *cls; DWORD style, exstyle; short x, y, cx, cy; } rows[] = {
        { 1048, "Button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, WS_EX_DLGMODALFRAME,
          143, 55, 45, 25 },
        { 1045, "Static", WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, WS_EX_TRANSPARENT, 12, 9, 174, 14 },
        { 1053, "Static", WS_CHILD | WS_VISIBLE | SS_CENTERIMAGE, 0, 11, 24, 177, 16 },
        { 1054, "Static", WS_CHILD | WS_VISIBLE | WS_BORDER | SS_LEFT, 0, 11, 43, 127, 43 },
    };
    ASSERT_EQ(4u, dt.items.size());
    for (int i = 0; i < 4; i++) {
        auto &row = rows[i];
        auto &item = dt.items[i];
        SCOPED_TRACE(row.id);
        EXPECT_EQ(row.id, item.id);
        EXPECT_EQ(0, lstrcmpiA(row.cls, item.cls.c_str())) << item.cls;
        EXPECT_EQ(row.style, item.style);
        EXPECT_EQ(row.exstyle, item.exstyle);
        EXPECT_EQ(row.x, item.x);
        EXPECT_EQ(row.y, item.y);
        EXPECT_EQ(row.cx, item.cx);
        EXPECT_EQ(row.cy, item.cy);
        EXPECT_TRUE(row.id == 1048 ? item.text == "OK" : item.text != "") << item.text;
    }
}

// ---- the box at work ------------------------------------------------------------

// The box run modally on a thread of its own, as the main window runs it. A
// hook on that thread sees what the dialog answers to WM_INITDIALOG and counts
// the IDCANCEL commands that reach it.
struct aboutrun {
    HANDLE thread = NULL;
    INT_PTR result = -2;
    LRESULT initresult = -2;
    volatile LONG cancels = 0;
};

static thread_local aboutrun *running;

static LRESULT CALLBACK watchproc(int code, WPARAM wparam, LPARAM lparam)
{
    const CWPRETSTRUCT *m = (const CWPRETSTRUCT *)lparam;
    if (m->message == WM_INITDIALOG)
        running->initresult = m->lResult;
    if (m->message == WM_COMMAND && LOWORD(m->wParam) == IDCANCEL)
        InterlockedIncrement(&running->cancels);
    return CallNextHookEx(NULL, code, wparam, lparam);
}

static DWORD WINAPI aboutthread(void *arg)
{
    running = (aboutrun *)arg;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, watchproc, NULL, GetCurrentThreadId());
    running->result = DialogBoxParamA(happ, MAKEINTRESOURCEA(108), NULL, dlgaboutproc, 0);
    UnhookWindowsHookEx(hook);
    return 0;
}

static BOOL CALLBACK finddialog(HWND hwnd, LPARAM lparam)
{
    char cls[16];
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(hwnd))
        return TRUE;
    *(HWND *)lparam = hwnd;
    return FALSE;
}

// Opens the box; its window once shown, or NULL.
static HWND openabout(aboutrun *run)
{
    happ = GetModuleHandleA(NULL);
    DWORD tid;
    run->thread = CreateThread(NULL, 0, aboutthread, run, 0, &tid);
    HWND dlg = NULL;
    for (int i = 0; i < 500 && !dlg; i++) {
        Sleep(10);
        EnumThreadWindows(tid, finddialog, (LPARAM)&dlg);
    }
    return dlg;
}

// Ends the run on the OK button unless it has ended already; true once the
// thread is gone.
static bool closeabout(aboutrun *run, HWND dlg)
{
    if (WaitForSingleObject(run->thread, 0) == WAIT_TIMEOUT)
        PostMessageA(dlg, WM_COMMAND, 1048, 0);
    bool ended = WaitForSingleObject(run->thread, 5000) == WAIT_OBJECT_0;
    CloseHandle(run->thread);
    return ended;
}

// Every run ends with 0; only the rows marked closes end it by themselves.
TEST(about, closes_on_ok_and_close_only)
{
    struct { const char *what; UINT msg; WPARAM wparam; bool closes; } rows[] = {
        { "OK clicked", BM_CLICK, 0, true },
        { "command 1048", WM_COMMAND, MAKEWPARAM(1048, BN_CLICKED), true },
        { "WM_CLOSE", WM_CLOSE, 0, true },
        { "close box", WM_SYSCOMMAND, SC_CLOSE, true },
        { "IDCANCEL", WM_COMMAND, IDCANCEL, false },
        { "IDOK", WM_COMMAND, IDOK, false },
        { "a static's id", WM_COMMAND, 1045, false },
        { "1048 in the high word", WM_COMMAND, MAKEWPARAM(7, 1048), false },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        aboutrun run;
        HWND dlg = openabout(&run);
        ASSERT_TRUE(dlg);
        EXPECT_TRUE(GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_EQ(FALSE, run.initresult);
        SendMessageA(row.msg == BM_CLICK ? GetDlgItem(dlg, 1048) : dlg, row.msg, row.wparam, 0);
        DWORD wait = WaitForSingleObject(run.thread, row.closes ? 5000 : 0);
        EXPECT_EQ(row.closes ? (DWORD)WAIT_OBJECT_0 : (DWORD)WAIT_TIMEOUT, wait);
        EXPECT_EQ(!row.closes, IsWindowVisible(dlg));
        ASSERT_TRUE(closeabout(&run, dlg));
        EXPECT_EQ(0, run.result);
    }
}

TEST(about, escape_leaves_it_open)
{
    aboutrun run;
    HWND dlg = openabout(&run);
    ASSERT_TRUE(dlg);
    // The dialog manager turns the key into IDCANCEL; once that has been
    // answered the box must still be there.
    PostMessageA(GetDlgItem(dlg, 1048), WM_KEYDOWN, VK_ESCAPE, 0);
    for (int i = 0; i < 500 && !run.cancels; i++)
        Sleep(10);
    EXPECT_EQ(1, run.cancels);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(run.thread, 0));
    EXPECT_TRUE(IsWindowVisible(dlg));
    ASSERT_TRUE(closeabout(&run, dlg));
}

TEST(about, opened_from_the_menu_of_the_program)
{
    program p;
    ASSERT_TRUE(p.start(bindir() + "Tolvane.exe"));
    HWND main = p.waitwindow("wndclsname", NULL);
    ASSERT_TRUE(main);
    PostMessageA(main, WM_COMMAND, 40005, 0);
    HWND dlg = p.waitwindow("#32770", NULL);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(main, GetWindow(dlg, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_TRUE(GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_TOPMOST);

    SendMessageA(GetDlgItem(dlg, 1048), BM_CLICK, 0, 0);
    EXPECT_TRUE(program::waitgone(dlg));
    EXPECT_TRUE(IsWindowEnabled(main));
    PostMessageA(main, WM_COMMAND, 40003, 0);
    EXPECT_EQ(0u, p.waitexit());
}

// ---- file locks ------------------------------------------------------------------

static std::string tempdir()
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return dir;
}

// A new empty file in the temporary folder; the test deletes it.
static std::string tempfile()
{
    char path[MAX_PATH];
    GetTempFileNameA(tempdir().c_str(), "tlv", 0, path);
    return path;
}

static HANDLE openforreading(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
}

// What the system answers a byte lock on a folder.
static DWORD folderlockerror()
{
    HANDLE h = openforreading(tempdir());
    OVERLAPPED ov = {};
    ov.OffsetHigh = 0xFFFFFFFF;
    DWORD error = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 0xFFFFFFFF, 0, &ov)
                      ? ERROR_SUCCESS : GetLastError();
    CloseHandle(h);
    return error;
}

// Unlocking what this handle never locked: the error the box must show.
static DWORD unlockerror(HANDLE h)
{
    OVERLAPPED ov = {};
    ov.OffsetHigh = 0xFFFFFFFF;
    return UnlockFileEx(h, 0, 0xFFFFFFFF, 0, &ov) ? ERROR_SUCCESS : GetLastError();
}

// Files that do not open, and a folder that opens but cannot be locked: each
// gives one box with the system's text and leaves no handle open.
TEST(locks, refused_opens_and_locks)
{
    std::string busy = tempfile();
    HANDLE writer = CreateFileA(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    struct { std::string path; DWORD error; } rows[] = {
        { tempdir() + "tolvane-missing.txt", ERROR_FILE_NOT_FOUND },
        { tempdir() + "tolvane-missing\\file.txt", ERROR_PATH_NOT_FOUND },
        { busy, ERROR_SHARING_VIOLATION },
        { tempdir(), folderlockerror() },           // folders take no byte locks
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.path);
        boxcatcher catcher;
        unsigned handles = handlecount();
        EXPECT_EQ(NULL, mylockfile(row.path.c_str()));
        EXPECT_EQ(handles, handlecount());
        ASSERT_EQ(1u, catcher.boxes.size());
        EXPECT_EQ("INFORMATION", catcher.boxes[0].caption);
        EXPECT_EQ(systemtext(row.error), catcher.boxes[0].text);
    }
    CloseHandle(writer);
    DeleteFileA(busy.c_str());
}

TEST(locks, unlock_without_a_lock)
{
    std::string path = tempfile();
    HANDLE h = openforreading(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    boxcatcher catcher;
    EXPECT_EQ(0, myunlockfile(h));
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ("INFORMATION", catcher.boxes[0].caption);
    EXPECT_EQ(systemtext(unlockerror(h)), catcher.boxes[0].text);
    CloseHandle(h);
    DeleteFileA(path.c_str());
}

struct secondlocker {
    std::string path;
    HANDLE got = NULL;
    size_t boxes = 0;
};

static DWORD WINAPI secondlock(void *arg)
{
    secondlocker *second = (secondlocker *)arg;
    boxcatcher catcher;
    second->got = mylockfile(second->path.c_str());
    second->boxes = catcher.boxes.size();
    return 0;
}

// A second locker waits for the first; the lock leaves the file's data
// readable by others; a lock comes off once.
TEST(locks, second_locker_waits_and_unlock_works_once)
{
    secondlocker second;
    second.path = tempfile();
    HANDLE writer = CreateFileA(second.path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    DWORD written;
    WriteFile(writer, "data", 4, &written, NULL);
    CloseHandle(writer);

    HANDLE first = mylockfile(second.path.c_str());
    ASSERT_TRUE(first);
    HANDLE reader = openforreading(second.path);
    char data[8] = "";
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(reader, data, sizeof data, &got, NULL));
    EXPECT_EQ(4u, got);
    CloseHandle(reader);
    HANDLE thread = CreateThread(NULL, 0, secondlock, &second, 0, NULL);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(thread, 300));
    EXPECT_EQ(1, myunlockfile(first));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
    CloseHandle(first);                 // releases the lock if unlocking failed
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    ASSERT_TRUE(second.got);
    EXPECT_EQ(0u, second.boxes);

    boxcatcher catcher;
    EXPECT_EQ(1, myunlockfile(second.got));
    EXPECT_EQ(0u, catcher.boxes.size());
    EXPECT_EQ(0, myunlockfile(second.got));
    ASSERT_EQ(1u, catcher.boxes.size());
    EXPECT_EQ(systemtext(unlockerror(second.got)), catcher.boxes[0].text);
    CloseHandle(second.got);
    DeleteFileA(second.path.c_str());
}
