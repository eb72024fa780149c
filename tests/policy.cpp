#include "policy.h"

#include <algorithm>
#include <set>
#include <stdio.h>
#include <gtest/gtest.h>
#include "tool.h"
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
    walk(HKEY_LOCAL_MACHINE, "SOFTWARE\\Policies", &reg);
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
        bool tick = std::count(ticked.begin(), ticked.end(), v.id);
        if (tick && v.how == deletedonly)
            continue;
        // A made key comes with its missing parents, as far as the
        // snapshot goes.
        for (size_t at = 0; tick && v.how == keymade && at != std::string::npos;) {
            at = std::string(v.key).find('\\', at + 1);
            std::string part = std::string(v.key).substr(0, at);
            for (const char *top : { "Software\\Policies", "Software\\Microsoft\\Windows\\CurrentVersion" })
                if (part.size() >= strlen(top) && !_strnicmp(part.c_str(), top, strlen(top)))
                    (*reg)[keyentry(v.root, part.c_str())] = "";
        }
        if (!reg->count(keyentry(v.root, v.key)))
            continue;
        if (tick)
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

// ---- round trips ------------------------------------------------------------------

// The values that do not hold what a tick of box ticked (0: none) leaves:
// its data for each of its values that Apply sets, absent for the rest. A
// hive other than the current user's holds the HKEY_CURRENT_USER values.
static std::string wrongvalues(const std::vector<policyvalue> &values, int ticked, const std::string &hive)
{
    std::string wrong;
    for (auto &v : values) {
        HKEY root = v.root;
        std::string key = v.key;
        if (root == HKEY_CURRENT_USER && !hive.empty()) {
            root = HKEY_USERS;
            key = hive + "\\" + key;
        }
        long long want = v.id == ticked && v.how != deletedonly && v.how != keykept ? (long long)v.data : -1;
        if (reggetdword(root, key.c_str(), v.name) != want)
            wrong += std::string(v.key) + "\\" + v.name + " ";
    }
    return wrong;
}

static void startclear(const std::vector<policyvalue> &values, const std::string &sid)
{
    clearvalues(values);
    for (auto &v : values)
        if (v.how == keymade || v.how == keykept) {
            regwipe(v.root, v.key);
            if (v.root == HKEY_CURRENT_USER)
                regwipe(HKEY_USERS, (sid + "\\" + v.key).c_str());
        } else if (v.root == HKEY_CURRENT_USER) {
            regdelete(HKEY_USERS, (sid + "\\" + v.key).c_str(), v.name);
        }
}

// The state that tolvctl list --json gives a box of the dialog.
static std::string liststate(const std::string &json, const char *dialog, int id)
{
    size_t at = json.find("\"dialog\": \"" + std::string(dialog) + "\", \"id\": " + std::to_string(id) + ",");
    at = at == std::string::npos ? at : json.find("\"state\": \"", at);
    return at == std::string::npos ? "" : json.substr(at + 10, json.find('"', at + 10) - at - 10);
}

void roundtrip(int templ, DLGPROC proc, int apply, const char *dialog, const std::vector<policyvalue> &values,
               const std::string &sid)
{
    std::set<int> ids;
    for (auto &v : values)
        ids.insert(v.id);
    // The logged-on user: a profile and a hive in place, nothing more.
    std::string profile = std::string("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\") + sid;
    regput(HKEY_LOCAL_MACHINE, profile.c_str(), "ProfileImagePath", REG_SZ, "C:\\users\\tlvround",
           sizeof "C:\\users\\tlvround");
    regput(HKEY_USERS, (sid + "\\Software").c_str(), NULL, REG_NONE, NULL, 0);
    auto reopened = [&] {
        HWND dlg = opendialog(templ, proc);
        std::vector<int> ticked = tickedboxes(dlg, values);
        DestroyWindow(dlg);
        return ticked;
    };
    for (int id : ids) {
        SCOPED_TRACE(id);
        const std::vector<int> one = { id }, none;
        startclear(values, sid);
        for (const std::vector<int> *boxes : { &one, &none }) {
            HWND dlg = opendialog(templ, proc);
            setboxes(dlg, values, *boxes);
            press(dlg, proc, apply);
            DestroyWindow(dlg);
            EXPECT_EQ("", wrongvalues(values, boxes->empty() ? 0 : id, "")) << "dialog";
            EXPECT_EQ(*boxes, reopened()) << "dialog";
        }
        std::string setting = " " + std::string(dialog) + "." + std::to_string(id);
        for (const std::vector<int> *boxes : { &one, &none }) {
            const char *state = boxes->empty() ? "off" : "on";
            ran r = tolvctl("set" + setting + "=" + state);
            EXPECT_EQ(0u, r.code) << r.out << r.err;
            EXPECT_EQ("", wrongvalues(values, boxes->empty() ? 0 : id, "")) << "tolvctl";
            EXPECT_EQ(*boxes, reopened()) << "tolvctl";
            r = tolvctl("set" + setting + "=" + state + " --user " + sid);
            EXPECT_EQ(0u, r.code) << r.out << r.err;
            EXPECT_EQ("", wrongvalues(values, boxes->empty() ? 0 : id, sid)) << "tolvctl --user";
            EXPECT_EQ(state, liststate(tolvctl("list --json --user " + sid).out, dialog, id)) << "tolvctl --user";
        }
    }
    regwipe(HKEY_LOCAL_MACHINE, profile.c_str());
    regwipe(HKEY_USERS, sid.c_str());
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
