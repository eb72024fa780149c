#include "policy.h"

#include <algorithm>
#include <set>
#include <stdio.h>
#include <gtest/gtest.h>
#include "varrowen.h"

std::vector<std::string> libcalls;
bool recording;

const char *donetext = "Settings saved successfully\nAll changes will take effect after system restart";

// ---- the library, recorded -----------------------------------------------------
// The program's module is linked against these; they note the call and pass
// it on to the real Varrowen.dll.

static std::string rootname(HKEY root)
{
    return root == HKEY_CURRENT_USER ? "HKCU" : root == HKEY_LOCAL_MACHINE ? "HKLM" : "?";
}

static FARPROC real(const char *name)
{
    return GetProcAddress(GetModuleHandleA("Varrowen.dll"), name);
}

static void note(const std::string &line)
{
    if (recording)
        libcalls.push_back(line);
}

extern "C" HKEY __cdecl VR_regquery(HKEY root, const char *path, const char *name, int mode,
                                    DWORD *type, BYTE *data, DWORD *size)
{
    note("query" + std::to_string(mode) + " " + rootname(root) + "\\" + path +
         (mode == 2 ? std::string("\\") + name : ""));
    return ((decltype(&VR_regquery))real("VR_regquery"))(root, path, name, mode, type, data, size);
}

extern "C" int __cdecl VR_regsetvalue(HKEY root, const char *path, const char *name, char *text, int type)
{
    note("set " + rootname(root) + "\\" + path + "\\" + name + "=" + text +
         (type == REG_DWORD ? "" : " type " + std::to_string(type)));
    return ((decltype(&VR_regsetvalue))real("VR_regsetvalue"))(root, path, name, text, type);
}

extern "C" int __cdecl VR_regdelval(HKEY root, const char *path, const char *name)
{
    note("delete " + rootname(root) + "\\" + path + "\\" + name);
    return ((decltype(&VR_regdelval))real("VR_regdelval"))(root, path, name);
}

extern "C" int __cdecl VR_regaddkey(HKEY root, const char *parent, const char *child)
{
    note("addkey " + rootname(root) + "\\" + parent + "\\" + child);
    return ((decltype(&VR_regaddkey))real("VR_regaddkey"))(root, parent, child);
}

// ---- snapshots ------------------------------------------------------------------

static std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), ::tolower);
    return s;
}

std::string keyentry(HKEY root, const char *key)
{
    return lower(rootname(root) + "\\" + key + "\\");
}

std::string valueentry(HKEY root, const char *key, const char *name)
{
    return lower(rootname(root) + "\\" + key + "\\:" + name);
}

std::string dwordentry(DWORD value)
{
    return std::to_string(REG_DWORD) + ":" + std::string((const char *)&value, 4);
}

// A key, its values and its subkeys, and below them when deep.
static void walk(HKEY root, const std::string &path, regsnapshot *reg, bool deep = true)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    (*reg)[keyentry(root, path.c_str())] = "";
    char name[512];
    BYTE data[4096];
    for (DWORD i = 0;; i++) {
        DWORD namelen = sizeof name, size = sizeof data, type;
        if (RegEnumValueA(key, i, name, &namelen, NULL, &type, data, &size) != ERROR_SUCCESS)
            break;
        (*reg)[valueentry(root, path.c_str(), name)] =
            std::to_string(type) + ":" + std::string((const char *)data, size);
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; i++) {
        DWORD namelen = sizeof name;
        if (RegEnumKeyExA(key, i, name, &namelen, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        subkeys.push_back(path + "\\" + name);
    }
    RegCloseKey(key);
    for (auto &sub : subkeys)
        if (deep)
            walk(root, sub, reg);
        else
            (*reg)[keyentry(root, sub.c_str())] = "";
}

regsnapshot snapshot()
{
    regsnapshot reg;
    walk(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion", &reg);
    walk(HKEY_CURRENT_USER, "Software\\Policies", &reg);
    walk(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", &reg, false);
    walk(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies", &reg);
    walk(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", &reg);
    walk(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet001", &reg);
    return reg;
}


static const char *policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";

void applymodel(regsnapshot *reg, const std::vector<std::string> &testopened,
                const std::vector<policyvalue> &values, const std::vector<int> &ticked)
{
    auto makekey = [&](const std::string &parent, const std::string &leaf) {
        if (reg->count(keyentry(HKEY_CURRENT_USER, parent.c_str())))
            (*reg)[keyentry(HKEY_CURRENT_USER, (parent + "\\" + leaf).c_str())] = "";
    };
    for (auto &leaf : testopened)
        makekey(policies, leaf);
    for (const char *leaf : { "MMC", "InternetManagement", "Windows" })
        makekey("Software\\Policies\\Microsoft", leaf);
    for (const char *leaf : { "AppCompat", "Installer", "Network Connections", "System" })
        makekey("Software\\Policies\\Microsoft\\Windows", leaf);
    for (auto &v : values) {
        if (!reg->count(keyentry(v.root, v.key)))
            continue;
        if (std::count(ticked.begin(), ticked.end(), v.id))
            (*reg)[valueentry(v.root, v.key, v.name)] = dwordentry(v.data);
        else
            reg->erase(valueentry(v.root, v.key, v.name));
    }
}

void clearvalues(const std::vector<policyvalue> &values)
{
    for (auto &v : values)
        regdelete(v.root, v.key, v.name);
}

// ---- dialogs ----------------------------------------------------------------------

HWND opendialog(int templ, DLGPROC proc)
{
    happ = GetModuleHandleA(NULL);
    return CreateDialogParamA(happ, MAKEINTRESOURCEA(templ), NULL, proc, 0);
}

std::vector<int> tickedboxes(HWND dlg, const std::vector<policyvalue> &values)
{
    std::set<int> ids;
    for (auto &v : values)
        if (IsDlgButtonChecked(dlg, v.id) == BST_CHECKED)
            ids.insert(v.id);
    return std::vector<int>(ids.begin(), ids.end());
}

void setboxes(HWND dlg, const std::vector<policyvalue> &values, const std::vector<int> &ticked)
{
    for (auto &v : values)
        CheckDlgButton(dlg, v.id, std::count(ticked.begin(), ticked.end(), v.id) ? BST_CHECKED : BST_UNCHECKED);
}

INT_PTR press(HWND dlg, DLGPROC proc, int id, std::vector<shownbox> *boxes)
{
    boxcatcher catcher;
    INT_PTR result = proc(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id));
    if (boxes)
        *boxes = catcher.boxes;
    return result;
}

void expecttemplate(int id, bool extended, const char *caption, short cx, short cy,
                    const std::vector<controlrow> &rows)
{
    dialogtemplate dt;
    ASSERT_TRUE(readtemplate(id, &dt));
    EXPECT_EQ(extended, dt.extended);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT), dt.style);
    EXPECT_EQ(0u, dt.exstyle);
    EXPECT_EQ(0, dt.x);
    EXPECT_EQ(0, dt.y);
    EXPECT_EQ(cx, dt.cx);
    EXPECT_EQ(cy, dt.cy);
    EXPECT_EQ(caption, dt.caption);
    EXPECT_EQ(8, dt.pointsize);
    EXPECT_EQ("MS Sans Serif", dt.font);
    ASSERT_EQ(rows.size(), dt.items.size());
    for (size_t i = 0; i < rows.size(); i++) {
        const controlrow &row = rows[i];
        const templateitem &item = dt.items[i];
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.id, item.id);
        EXPECT_EQ(row.cls, item.cls);
        EXPECT_EQ(row.text, item.text);
        EXPECT_EQ(WS_CHILD | WS_VISIBLE | row.style, item.style);
        EXPECT_EQ(row.exstyle, item.exstyle);
        EXPECT_EQ(row.x, item.x);
        EXPECT_EQ(row.y, item.y);
        EXPECT_EQ(row.cx, item.cx);
        EXPECT_EQ(row.cy, item.cy);
    }
}
