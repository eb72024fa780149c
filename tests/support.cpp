#include "support.h"

#include <aclapi.h>
#include <stdio.h>
#include <string.h>

// ---- registry ---------------------------------------------------------------

void regwipe(HKEY root, const char *path)
{
    (void)RegDeleteTreeA(root, path);   // absent already: nothing to do
    (void)RegDeleteKeyA(root, path);
}

void regdelete(HKEY root, const char *path, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

void regput(HKEY root, const char *path, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
}

void regputdword(HKEY root, const char *path, const char *name, DWORD value)
{
    regput(root, path, name, REG_DWORD, &value, sizeof value);
}

bool regget(HKEY root, const char *path, const char *name, DWORD *type, std::string *data)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buf[4096];
    DWORD size = sizeof buf;
    LONG rc = RegQueryValueExA(key, name, NULL, type, (BYTE *)buf, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return false;
    data->assign(buf, size);
    return true;
}

long long reggetdword(HKEY root, const char *path, const char *name)
{
    DWORD type;
    std::string data;
    if (!regget(root, path, name, &type, &data) || type != REG_DWORD || data.size() != 4)
        return -1;
    DWORD value;
    memcpy(&value, data.data(), 4);
    return value;
}

bool regkeyexists(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string regdiff(const std::map<std::string, std::string> &expected,
                    const std::map<std::string, std::string> &actual)
{
    std::string diff;
    for (auto &e : expected)
        if (!actual.count(e.first) || actual.at(e.first) != e.second)
            diff += "expected " + e.first + (actual.count(e.first) ? " changed\n" : " missing\n");
    for (auto &a : actual)
        if (!expected.count(a.first))
            diff += "unexpected " + a.first + "\n";
    return diff;
}

void regreadonly(HKEY root, const char *path, bool readonly)
{
    PACL acl = NULL;
    if (readonly) {
        EXPLICIT_ACCESSA ea = {};
        ea.grfAccessPermissions = KEY_READ;
        ea.grfAccessMode = SET_ACCESS;
        ea.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        ea.Trustee.ptstrName = (char *)"EVERYONE";
        if (SetEntriesInAclA(1, &ea, NULL, &acl) != ERROR_SUCCESS)
            return;
    }
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
        RegCloseKey(key);
    }
    LocalFree(acl);
}

std::string systemtext(DWORD code)
{
    char *text = NULL;
    if (!FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, NULL, code,
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), (LPSTR)&text, 0, NULL))
        return "";
    std::string s = text;
    LocalFree(text);
    return s;
}

// ---- message boxes ------------------------------------------------------------

bool ismessagebox(HWND hwnd)
{
    char cls[16];
    if (!GetClassNameA(hwnd, cls, sizeof cls) || strcmp(cls, "#32770") != 0)
        return false;
    return GetDlgItem(hwnd, IDOK) && GetDlgItem(hwnd, 0xFFFF);
}

shownbox readbox(HWND hwnd)
{
    char text[1024] = "";
    shownbox box;
    GetWindowTextA(hwnd, text, sizeof text);
    box.caption = text;
    text[0] = 0;
    GetDlgItemTextA(hwnd, 0xFFFF, text, sizeof text);
    box.text = text;
    return box;
}

static thread_local boxcatcher *catcher;
static thread_local HHOOK catcherhook;

static LRESULT CALLBACK catchproc(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HCBT_ACTIVATE && catcher && ismessagebox((HWND)wparam)) {
        catcher->boxes.push_back(readbox((HWND)wparam));
        PostMessageA((HWND)wparam, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(catcherhook, code, wparam, lparam);
}

boxcatcher::boxcatcher()
{
    catcher = this;
    catcherhook = SetWindowsHookExA(WH_CBT, catchproc, NULL, GetCurrentThreadId());
}

boxcatcher::~boxcatcher()
{
    UnhookWindowsHookEx(catcherhook);
    catcher = NULL;
}

// ---- dialog templates -----------------------------------------------------------

// A sz_Or_Ord field: text, or "#n" for an ordinal.
static std::string field(const WORD *&p)
{
    std::string s;
    if (*p == 0xFFFF) {
        s = "#" + std::to_string(p[1]);
        p += 2;
        return s;
    }
    while (*p)
        s += (char)*p++;
    p++;
    return s;
}

static const WORD *align4(const WORD *p)
{
    return (const WORD *)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3);
}

bool readtemplate(int id, dialogtemplate *dt)
{
    HMODULE exe = LoadLibraryExA((bindir() + "Tolvane.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC res = FindResourceExA(exe, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!res) {
        FreeLibrary(exe);
        return false;
    }
    const WORD *p = (const WORD *)LockResource(LoadResource(exe, res));
    const DWORD *d;
    int count;
    *dt = dialogtemplate();
    dt->extended = p[0] == 1 && p[1] == 0xFFFF;
    if (dt->extended) {     // DLGTEMPLATEEX
        d = (const DWORD *)(p + 4);
        dt->exstyle = d[0];
        dt->style = d[1];
        p = (const WORD *)(d + 2);
    } else {                // DLGTEMPLATE
        d = (const DWORD *)p;
        dt->style = d[0];
        dt->exstyle = d[1];
        p = (const WORD *)(d + 2);
    }
    count = p[0];
    dt->x = p[1], dt->y = p[2], dt->cx = p[3], dt->cy = p[4];
    p += 5;
    dt->menu = field(p);
    dt->cls = field(p);
    dt->caption = field(p);
    if (dt->style & DS_SETFONT) {
        dt->pointsize = *p++;
        if (dt->extended) {
            dt->weight = *p++;
            dt->italic = LOBYTE(*p);
            dt->charset = HIBYTE(*p++);
        }
        dt->font = field(p);
    }
    for (int i = 0; i < count; i++) {
        templateitem item;
        p = align4(p);
        d = (const DWORD *)p;
        if (dt->extended) {     // DLGITEMTEMPLATEEX: help id, exstyle, style, rect, DWORD id
            item.exstyle = d[1];
            item.style = d[2];
            p = (const WORD *)(d + 3);
            item.x = p[0], item.y = p[1], item.cx = p[2], item.cy = p[3];
            item.id = (int)*(const DWORD *)(p + 4);
            p += 6;
        } else {                // DLGITEMTEMPLATE: style, exstyle, rect, WORD id
            item.style = d[0];
            item.exstyle = d[1];
            p = (const WORD *)(d + 2);
            item.x = p[0], item.y = p[1], item.cx = p[2], item.cy = p[3];
            item.id = (short)p[4];
            p += 5;
        }
        item.cls = field(p);
        if (item.cls == "#128")
            item.cls = "Button";
        else if (item.cls == "#130")
            item.cls = "Static";
        item.text = field(p);
        p += 1 + *p / sizeof(WORD);     // creation data, after its size
        dt->items.push_back(item);
    }
    FreeLibrary(exe);
    return true;
}

// ---- handles ------------------------------------------------------------------

struct handleentry {
    ULONG pid;
    BYTE type;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct handletable {
    ULONG count;
    handleentry entries[1];
};

typedef LONG (WINAPI *querysysteminfo)(ULONG, PVOID, ULONG, PULONG);

unsigned handlecount()
{
    static querysysteminfo query = (querysysteminfo)(void *)
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    std::vector<char> buf(1 << 16);
    ULONG needed = 0;
    // SystemHandleInformation (16); the buffer grows while it is too small.
    while (query(16, buf.data(), (ULONG)buf.size(), &needed) == (LONG)0xC0000004)
        buf.resize(buf.size() * 2);
    const handletable *table = (const handletable *)buf.data();
    unsigned mine = 0;
    for (ULONG i = 0; i < table->count; i++)
        if (table->entries[i].pid == GetCurrentProcessId())
            mine++;
    return mine;
}

// ---- console programs -----------------------------------------------------------

static std::string slurp(HANDLE file)
{
    std::string s;
    char buf[65536];
    DWORD got;
    SetFilePointer(file, 0, NULL, FILE_BEGIN);
    while (ReadFile(file, buf, sizeof buf, &got, NULL) && got)
        s.append(buf, got);
    return s;
}

// CreateProcessA, tried again when it refuses: a loaded Wine has been seen
// to refuse a process now and then. Each refusal is logged with its error.
// 0 when the process started, else the last refusal's error.
static DWORD startprocess(const char *app, std::string &cmd, BOOL inherit, const char *dir, STARTUPINFOA *si,
                          PROCESS_INFORMATION *pi)
{
    DWORD error = 0;
    for (int attempt = 0; attempt < 3; attempt++) {
        if (CreateProcessA(app, &cmd[0], NULL, NULL, inherit, 0, NULL, dir, si, pi))
            return 0;
        error = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
        fprintf(stderr, "CreateProcess(%s) failed, error %lu\n", cmd.c_str(), error);
        Sleep(200);
    }
    return error;
}

// Waits for a handle while answering the messages that other programs send
// to this thread's windows: a broadcast, such as tolvctl's WM_SETTINGCHANGE,
// waits for each window that does not answer until its time-out.
static DWORD waitanswering(HANDLE handle, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD spent = GetTickCount() - start;
        DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE, spent < ms ? ms - spent : 0, QS_SENDMESSAGE);
        if (wait != WAIT_OBJECT_0 + 1)
            return wait;
        MSG msg;
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);     // delivers them
    }
}

ran runprogram(const std::string &cmdline, DWORD ms)
{
    ran r = { STILL_ACTIVE, "", "" };
    char dir[MAX_PATH], outname[MAX_PATH], errname[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "out", 0, outname);
    GetTempFileNameA(dir, "err", 0, errname);
    SECURITY_ATTRIBUTES sa = { sizeof sa, NULL, TRUE };
    HANDLE out = CreateFileA(outname, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    HANDLE err = CreateFileA(errname, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, NULL);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi;
    std::string cmd = cmdline, why;
    DWORD error = startprocess(NULL, cmd, TRUE, NULL, &si, &pi);
    if (error) {
        why = "[runprogram: CreateProcess failed, error " + std::to_string(error) + "]\n";
    } else {
        DWORD wait = waitanswering(pi.hProcess, ms);
        if (wait != WAIT_OBJECT_0) {
            why += wait == WAIT_TIMEOUT ? "[runprogram: timed out]\n"
                                        : "[runprogram: wait failed, error " + std::to_string(GetLastError()) + "]\n";
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        } else if (!GetExitCodeProcess(pi.hProcess, &r.code)) {
            why += "[runprogram: no exit code, error " + std::to_string(GetLastError()) + "]\n";
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    r.out = slurp(out);
    r.err = why + slurp(err);
    CloseHandle(out);
    CloseHandle(err);
    return r;
}

// ---- the real program -----------------------------------------------------------

std::string bindir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    *(strrchr(path, '\\') + 1) = 0;
    return path;
}

bool program::start(const std::string &exe, const std::string &args, bool useshow, WORD show)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (useshow) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = show;
    }
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    std::string dir = exe.substr(0, exe.rfind('\\') + 1);
    return startprocess(exe.c_str(), cmd, FALSE, dir.c_str(), &si, &pi) == 0;
}

struct windowsearch {
    DWORD pid;
    std::vector<HWND> found;
};

static BOOL CALLBACK collect(HWND hwnd, LPARAM lparam)
{
    windowsearch *search = (windowsearch *)lparam;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd))
        search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> program::windows()
{
    windowsearch search = { pi.dwProcessId, {} };
    EnumWindows(collect, (LPARAM)&search);
    return search.found;
}

HWND program::waitwindow(const char *cls, const char *caption, DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        for (HWND hwnd : windows()) {
            char c[256], t[256];
            GetClassNameA(hwnd, c, sizeof c);
            GetWindowTextA(hwnd, t, sizeof t);
            if ((!cls || strcmp(c, cls) == 0) && (!caption || strcmp(t, caption) == 0))
                return hwnd;
        }
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return NULL;
}

bool program::waitbox(shownbox *box, DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        for (HWND hwnd : windows())
            if (ismessagebox(hwnd)) {
                *box = readbox(hwnd);
                PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
                return true;
            }
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return false;
}

bool program::waitgone(HWND hwnd, DWORD ms)
{
    DWORD start = GetTickCount();
    while (IsWindow(hwnd)) {
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(10);
    }
    return true;
}

DWORD program::waitexit(DWORD ms)
{
    DWORD code = STILL_ACTIVE;
    if (!pi.hProcess)
        return code;
    if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 99);
    else
        GetExitCodeProcess(pi.hProcess, &code);
    return code;
}

program::~program()
{
    if (!pi.hProcess)
        return;
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}
