#include "tool.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <set>

// ---- the program, the registry and the journal --------------------------------------

std::string workdir()
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string d = std::string(dir) + "tolvctltest\\";
    CreateDirectoryA(d.c_str(), NULL);
    return d;
}

ran tolvctl(const std::string &args)
{
    return runprogram("\"" + bindir() + "tolvctl.exe\" " + args);
}

std::string journaldir()
{
    char dir[MAX_PATH];
    SHGetFolderPathA(NULL, CSIDL_LOCAL_APPDATA, NULL, 0, dir);
    return std::string(dir) + "\\Tolvane\\undo";
}

void clearjournal()
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((journaldir() + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileA((journaldir() + "\\" + found.cFileName).c_str());
    while (FindNextFileA(h, &found));
    FindClose(h);
}

std::vector<std::string> outputlines(const std::string &out)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < out.size(); start = end + 1) {
        end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        lines.push_back(out.substr(start, end - start - (end > start && out[end - 1] == '\r')));
    }
    return lines;
}

std::string between(const std::string &s, size_t *at, const std::string &after, const std::string &until)
{
    size_t start = *at == std::string::npos ? *at : s.find(after, *at);
    size_t end = start == std::string::npos ? start : s.find(until, start + after.size());
    if (end == std::string::npos) {
        *at = end;
        return "";
    }
    *at = end + until.size();
    return s.substr(start + after.size(), end - start - after.size());
}

std::string readall(const std::string &path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    std::string s;
    char buf[65536];
    DWORD got;
    while (h != INVALID_HANDLE_VALUE && ReadFile(h, buf, sizeof buf, &got, NULL) && got)
        s.append(buf, got);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return s;
}

void writeall(const std::string &path, const std::string &data)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD done;
    WriteFile(h, data.data(), (DWORD)data.size(), &done, NULL);
    CloseHandle(h);
}

std::wstring wide(const std::string &s)
{
    return std::wstring(s.begin(), s.end());
}

std::string lower(std::wstring s)
{
    std::string out;
    for (wchar_t c : s) {
        c = towlower(c);
        if (c < 0x80) {
            out += (char)c;
        } else {
            char buf[8];
            out.append(buf, WideCharToMultiByte(CP_UTF8, 0, &c, 1, buf, sizeof buf, NULL, NULL));
        }
    }
    return out;
}

// Adds the key at path below parent to snap under the name base, with its
// values, and with deep every key below it; each key is opened from its
// parent's handle with the options given.
static void wwalk(HKEY parent, const std::wstring &path, const std::string &base, DWORD options, wsnapshot *snap,
                  bool deep)
{
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), options, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    (*snap)[base] = "";
    std::vector<WCHAR> name(16384);
    for (DWORD i = 0;; i++) {
        DWORD namelen = (DWORD)name.size(), type, size = 0;
        if (RegEnumValueW(key, i, name.data(), &namelen, NULL, &type, NULL, &size) != ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        namelen = (DWORD)name.size();
        RegEnumValueW(key, i, name.data(), &namelen, NULL, &type, (BYTE *)&data[0], &size);
        (*snap)[base + ":" + lower(std::wstring(name.data(), namelen))] = std::to_string(type) + ":" + data;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0; deep; i++) {
        DWORD namelen = (DWORD)name.size();
        if (RegEnumKeyExW(key, i, name.data(), &namelen, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        subkeys.push_back(std::wstring(name.data(), namelen));
    }
    for (auto &sub : subkeys)
        wwalk(key, sub, base + lower(sub) + "\\", options, snap, true);
    RegCloseKey(key);
}

static void wwalk(HKEY root, const std::wstring &path, wsnapshot *snap, bool deep)
{
    std::string base = root == HKEY_LOCAL_MACHINE ? "hklm\\" : root == HKEY_USERS ? "hku\\" : "hkcu\\";
    wwalk(root, path, base + lower(path) + "\\", 0, snap, deep);
}

wsnapshot snapkey(HKEY root, const std::wstring &path)
{
    wsnapshot s;
    wwalk(root, path, &s, true);
    return s;
}

wsnapshot snaplinks(HKEY root)
{
    wsnapshot s;
    wwalk(root, L"", root == HKEY_LOCAL_MACHINE ? "hklm\\" : "hku\\", REG_OPTION_OPEN_LINK, &s, true);
    return s;
}

wsnapshot snap()
{
    wsnapshot s;
    wwalk(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies", &s, true);
    wwalk(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", &s, false);
    wwalk(HKEY_CURRENT_USER, L"Software\\Policies", &s, true);
    wwalk(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", &s, false);
    wwalk(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies", &s, true);
    wwalk(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management", &s, false);
    wwalk(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet001", &s, true);
    return s;
}


// ---- the values that the dialogs read and write, as tolvctl lists them ---------------

wsnapshot valuesonly(wsnapshot s)
{
    for (auto it = s.begin(); it != s.end();)
        it = it->first.back() == '\\' ? s.erase(it) : std::next(it);
    return s;
}

const char *const presetnames[4] = { "school", "cyber-cafe", "highly-restricted", "clear-all" };

std::vector<valueref> listedvalues()
{
    std::vector<valueref> values;
    std::set<std::string> seen;
    // "    HKCU\key\name: what it holds"
    for (auto &line : outputlines(tolvctl("list").out)) {
        if (line.compare(0, 9, "    HKCU\\") && line.compare(0, 9, "    HKLM\\"))
            continue;
        std::string path = line.substr(9, line.find(": ") - 9);
        size_t slash = path.rfind('\\');
        valueref v = { line[6] == 'L' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, wide(path.substr(0, slash)),
                       wide(path.substr(slash + 1)) };
        if (seen.insert(lower(v.key) + "\\" + lower(v.name) + (v.root == HKEY_LOCAL_MACHINE ? "m" : "u")).second)
            values.push_back(v);
    }
    return values;
}

void wput(HKEY root, const std::wstring &path, const std::wstring &name, DWORD type, const std::string &data)
{
    HKEY key;
    if (RegCreateKeyExW(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name.c_str(), 0, type, (const BYTE *)data.data(), (DWORD)data.size());
    RegCloseKey(key);
}

void wdelete(HKEY root, const std::wstring &path, const std::wstring &name)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
}

std::string utf16(const std::wstring &s)
{
    return std::string((const char *)s.c_str(), (s.size() + 1) * sizeof(wchar_t));
}


// ---- planted accounts ----------------------------------------------------------------

const char profilelist[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

std::string profiledir(const std::string &folder)
{
    return workdir() + "profiles\\" + folder;
}

void plantprofile(const std::string &sid, const std::string &folder)
{
    std::string path = profiledir(folder);
    regput(HKEY_LOCAL_MACHINE, (std::string(profilelist) + "\\" + sid).c_str(), "ProfileImagePath",
           REG_EXPAND_SZ, path.c_str(), (DWORD)path.size() + 1);
}

void enablebackup()
{
    HANDLE token;
    TOKEN_PRIVILEGES tp = { 1, {} };
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
    LookupPrivilegeValueA(NULL, "SeBackupPrivilege", &tp.Privileges[0].Luid);
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL);
    CloseHandle(token);
}

void savehive(const std::string &folder)
{
    std::string file = profiledir(folder) + "\\NTUSER.DAT";
    CreateDirectoryA((workdir() + "profiles").c_str(), NULL);
    CreateDirectoryA(profiledir(folder).c_str(), NULL);
    DeleteFileA(file.c_str());
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, SANDBOX "\\hive", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegSaveKeyA(key, file.c_str(), NULL));
    RegCloseKey(key);
}

std::vector<std::string> leftloaded()
{
    std::vector<std::string> left;
    char name[256];
    for (DWORD i = 0, n = sizeof name; RegEnumKeyExA(HKEY_USERS, i, name, &n, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
         i++, n = sizeof name)
        if (!strncmp(name, "Tolvane-", 8))
            left.push_back(name);
    return left;
}

size_t count(const std::string &s, const std::string &part)
{
    size_t n = 0;
    for (size_t at = s.find(part); at != std::string::npos; at = s.find(part, at + 1))
        n++;
    return n;
}


// ---- local policy objects ----------------------------------------------------------------

std::string grouppolicydir(const std::string &folder)
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows) + "\\System32\\" + folder;
}

std::string record(const std::wstring &key, const std::wstring &name, DWORD type, const std::string &data)
{
    std::wstring head = L"[" + key + std::wstring(1, 0) + L";" + name + std::wstring(1, 0) + L";";
    std::string r((const char *)head.data(), head.size() * 2);
    DWORD size = (DWORD)data.size();
    r += std::string((const char *)&type, 4) + std::string(";\0", 2) + std::string((const char *)&size, 4) +
         std::string(";\0", 2) + data + std::string("]\0", 2);
    return r;
}

const std::string preg("PReg\x01\0\0\0", 8);
