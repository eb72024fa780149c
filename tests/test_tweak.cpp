// The Tweak settings dialog: what its boxes show, what Apply writes, in which
// order, and how it ends.
#include <gtest/gtest.h>
#include <algorithm>
#include "policy.h"
#include "tool.h"

static const char *pe = POLICIES "\\Explorer";
static const char *pn = POLICIES "\\NonEnum";
static const char *app = MSPOLICIES "\\Windows\\AppCompat";
static const char *adv = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
static const char *hklmexp = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
static const char *mm = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
static const char *mm001 = "SYSTEM\\CurrentControlSet001\\Control\\Session Manager\\Memory Management";
static const char *bin = "{645FF040-5081-101B-9F08-00AA002F954E}";

// What each box writes, in the order Apply writes it.
static const std::vector<policyvalue> values = {
    { 1001, HKCU, pe, "NoDriveTypeAutoRun", 0xff },
    { 1088, HKCU, pe, "NoInstrumentation", 1 },
    { 1002, HKCU, pe, "ClearRecentDocsOnExit", 1 },
    { 1003, HKCU, pe, "NoRecentDocsMenu", 1 },
    { 1099, HKCU, pn, bin, 1, keymade },
    { 1089, HKCU, pe, "MemCheckBoxInRunDlg", 1 },
    { 1092, HKCU, pe, "NoSMBalloonTip", 1 },
    { 1090, HKCU, pe, "NoStartMenuMFUprogramsList", 1 },
    { 1093, HKCU, pe, "HideClock", 1 },
    { 1091, HKCU, pe, "NoTrayItemsDisplay", 1 },
    { 1091, HKCU, pe, "NoTrayItemDisplay", 1, deletedonly },
    { 1087, HKCU, pe, "NoThumbnailCache", 1 },
    { 1094, HKCU, pe, "GreyMSIAds", 1 },
    { 1098, HKCU, pe, "NoWinKeys", 1 },
    { 1100, HKLM, app, "VDMDisallowed", 1, keymade },
    { 1095, HKLM, hklmexp, "AlwaysUnloadDll", 1 },
    { 1096, HKCU, adv, "ShowSuperHidden", 1 },
    { 1097, HKCU, adv, "HideFileExt", 1 },
    { 1004, HKLM, mm, "ClearPageFileAtShutdown", 1 },
    { 1004, HKLM, mm001, "ClearPageFileAtShutdown", 1, keykept },
    { 1034, HKCU, pe, "NoWindowsUpdate", 1 },
    { 1034, HKCU, pe, "NoAutoUpdate", 1 },
};

static const std::vector<int> allboxes = { 1001, 1002, 1003, 1004, 1034, 1087, 1088, 1089, 1090, 1091,
                                           1092, 1093, 1094, 1095, 1096, 1097, 1098, 1099, 1100 };

struct tweak : ::testing::Test {
    void SetUp() override
    {
        clearvalues(values);
        regwipe(HKCU, pn);
        regwipe(HKLM, "SYSTEM\\CurrentControlSet001");
        regwipe(HKCU, "Software\\Policies");
        regput(HKCU, "Software\\Policies\\Microsoft", NULL, REG_NONE, NULL, 0);
        regwipe(HKLM, "Software\\Policies\\Microsoft\\Windows\\AppCompat");
        recording = false;
        libcalls.clear();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(tweak, boxes_show_the_registry)
{
    struct setting { HKEY root; const char *key; const char *name; DWORD type; std::string data; };
    auto dword = [](DWORD v) { return std::string((const char *)&v, 4); };
    struct { const char *what; std::vector<setting> settings; std::vector<int> ticked; } rows[] = {
        { "nothing", {}, {} },
        { "wrong type, number or size",
          { { HKCU, pe, "NoDriveTypeAutoRun", REG_DWORD, dword(0x91) },
            { HKCU, pe, "NoWinKeys", REG_SZ, std::string("1", 2) },
            { HKCU, pe, "HideClock", REG_BINARY, dword(1) },
            { HKCU, pe, "GreyMSIAds", REG_DWORD, std::string("\1\0", 2) },
            { HKLM, app, "VDMDisallowed", REG_DWORD, dword(0) } }, {} },
        { "Autoplay off as Windows writes it, and what earlier versions wrote",
          { { HKCU, pe, "NoDriveTypeAutoRun", REG_DWORD, dword(0xb5) } }, { 1001 } },
        { "a user's 16-bit value, which Windows never reads",
          { { HKCU, app, "VDMDisallowed", REG_DWORD, dword(1) },
            { HKCU, pe, "NoDriveTypeAutoRun", REG_DWORD, dword(1) } }, {} },
        { "one value of a two-value box",
          { { HKCU, pe, "NoTrayItemsDisplay", REG_DWORD, dword(1) },
            { HKCU, pe, "NoWindowsUpdate", REG_DWORD, dword(1) },
            { HKLM, mm001, "ClearPageFileAtShutdown", REG_DWORD, dword(1) } }, { 1004, 1034, 1091 } },
        { "the other value",
          { { HKCU, pe, "NoTrayItemDisplay", REG_DWORD, dword(1) },
            { HKCU, pe, "NoAutoUpdate", REG_DWORD, dword(1) },
            { HKLM, mm, "ClearPageFileAtShutdown", REG_DWORD, dword(1) } }, { 1004, 1034, 1091 } },
        { "a failed read after a passing one",
          { { HKCU, pe, "NoAutoUpdate", REG_DWORD, dword(1) },
            { HKCU, pe, "NoWindowsUpdate", REG_DWORD, dword(7) },
            { HKCU, pn, bin, REG_DWORD, dword(1) } }, { 1034, 1099 } },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        for (auto &s : row.settings)
            regput(s.root, s.key, s.name, s.type, s.data.data(), (DWORD)s.data.size());
        HWND dlg = opendialog(102, dlgtweakproc);
        ASSERT_TRUE(dlg);
        EXPECT_EQ(row.ticked, tickedboxes(dlg, values));
        DestroyWindow(dlg);
    }

    // Every value at the data Apply writes ticks all nineteen.
    SetUp();
    regputdword(HKLM, mm001, "ClearPageFileAtShutdown", 1);
    for (auto &v : values)
        regputdword(v.root, v.key, v.name, v.data);
    HWND dlg = opendialog(102, dlgtweakproc);
    EXPECT_EQ(allboxes, tickedboxes(dlg, values));
    DestroyWindow(dlg);
}

TEST_F(tweak, apply_changes_exactly_its_values)
{
    srand(11);
    for (int round = 0; round < 100; round++) {
        SCOPED_TRACE(round);
        SetUp();
        // Odd values lying about, and keys that may or may not be there.
        regputdword(HKCU, pe, "NoTrayItemsDisplay", 1);
        regput(HKCU, pe, "NoWinKeys", REG_SZ, "1", 2);
        regputdword(HKCU, pe, "NoDriveTypeAutoRun", 0x91);
        regputdword(HKCU, pe, "Unrelated", 5);
        if (round % 2)
            regputdword(HKCU, pn, bin, 1);
        if (round % 3)
            regputdword(HKLM, mm001, "ClearPageFileAtShutdown", 0);
        if (round % 4 == 1)
            regwipe(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network");
        if (round % 5 == 3)   // nothing below it can be prepared
            regwipe(HKCU, "Software\\Policies\\Microsoft");
        std::vector<int> ticked;
        if (round == 1)
            ticked = allboxes;
        else if (round > 1)
            for (int id : allboxes)
                if (rand() % 2)
                    ticked.push_back(id);

        regsnapshot expected = snapshot();
        applymodel(&expected, { "Explorer", "Network" }, values, ticked);
        HWND dlg = opendialog(102, dlgtweakproc);
        setboxes(dlg, values, ticked);
        std::vector<shownbox> boxes;
        EXPECT_EQ(FALSE, press(dlg, dlgtweakproc, 1006, &boxes));
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("DONE", boxes[0].caption);
        EXPECT_EQ(donetext, boxes[0].text);
        EXPECT_EQ(ticked, tickedboxes(dlg, values));
        DestroyWindow(dlg);
        ASSERT_EQ("", regdiff(expected, snapshot()));
        if (round == 1)   // every key there or made: 21 values written, the old tray name left alone
            EXPECT_EQ(21, std::count_if(values.begin(), values.end(), [](const policyvalue &v) {
                return reggetdword(v.root, v.key, v.name) == (long long)v.data && v.how != deletedonly;
            }));
    }
}

TEST_F(tweak, every_box_round_trips)
{
    roundtrip(102, dlgtweakproc, 1006, "tweak", values, "S-1-5-21-7-7-7-1102");
}

TEST_F(tweak, library_calls_follow_the_tables)
{
    regputdword(HKCU, pe, "NoWinKeys", 1);
    recording = true;
    HWND dlg = opendialog(102, dlgtweakproc);
    std::string reads;
    for (auto &line : libcalls)
        reads += line.substr(line.rfind('\\') + 1) + " ";
    EXPECT_EQ("MemCheckBoxInRunDlg NoSMBalloonTip NoInstrumentation " + std::string(bin) +
              " NoStartMenuMFUprogramsList HideClock NoTrayItemsDisplay NoThumbnailCache GreyMSIAds"
              " ClearRecentDocsOnExit NoAutoUpdate NoWindowsUpdate NoDriveTypeAutoRun NoRecentDocsMenu"
              " NoWinKeys NoTrayItemDisplay ClearPageFileAtShutdown ClearPageFileAtShutdown"
              " AlwaysUnloadDll HideFileExt ShowSuperHidden VDMDisallowed ", reads);
    ASSERT_EQ(22u, libcalls.size());
    EXPECT_EQ(std::string("query2 HKLM\\") + app + "\\VDMDisallowed", libcalls[21]);
    EXPECT_EQ(std::string("query2 HKLM\\") + mm001 + "\\ClearPageFileAtShutdown", libcalls[17]);
    EXPECT_EQ(std::string("query2 HKCU\\") + pn + "\\" + bin, libcalls[3]);

    // Network is missing, so it is created; Explorer is there.
    regwipe(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network");
    for (bool tick : { true, false }) {
        setboxes(dlg, values, tick ? allboxes : std::vector<int>());
        libcalls.clear();
        press(dlg, dlgtweakproc, 1006);
        std::vector<std::string> expected = {
            std::string("query1 HKCU\\") + pe,
            "query1 HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network",
            "addkey HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network",
            "addkey HKCU\\Software\\Policies\\Microsoft\\MMC",
            "addkey HKCU\\Software\\Policies\\Microsoft\\InternetManagement",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\AppCompat",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\Installer",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\Network Connections",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\System",
        };
        if (!tick)
            expected.erase(expected.begin() + 2);   // created by the first Apply
        for (auto &v : values) {
            std::string path = std::string(v.root == HKCU ? "HKCU\\" : "HKLM\\") + v.key;
            if (tick && v.how == deletedonly)
                continue;
            if (tick && v.how == keymade)
                expected.push_back("addkey " + path);
            char data[16];
            sprintf(data, "=%lx", v.data);
            expected.push_back((tick ? "set " : "delete ") + path + "\\" + v.name + (tick ? data : ""));
        }
        EXPECT_EQ(expected, libcalls);
    }
    DestroyWindow(dlg);
}

static void CALLBACK closetweak(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(NULL, id);
    HWND dlg = FindWindowA("#32770", "Tweak settings.");
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(1005, BN_CLICKED), 0);
}

TEST_F(tweak, only_close_ends_it)
{
    HWND dlg = opendialog(102, dlgtweakproc);
    ShowWindow(dlg, SW_SHOW);
    EXPECT_EQ(FALSE, dlgtweakproc(dlg, WM_INITDIALOG, 0, 0));
    for (WPARAM cmd : { (WPARAM)IDOK, (WPARAM)IDCANCEL, (WPARAM)1001, MAKEWPARAM(1001, BN_CLICKED) })
        EXPECT_EQ(FALSE, dlgtweakproc(dlg, WM_COMMAND, cmd, 0));
    EXPECT_EQ(FALSE, dlgtweakproc(dlg, WM_CLOSE, 0, 0));
    SendMessageA(dlg, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(dlg));
    // Apply twice: the confirmation twice.
    std::vector<shownbox> first, second;
    EXPECT_EQ(FALSE, press(dlg, dlgtweakproc, 1006, &first));
    press(dlg, dlgtweakproc, 1006, &second);
    EXPECT_EQ(1u, first.size());
    EXPECT_EQ(1u, second.size());
    EXPECT_EQ(TRUE, press(dlg, dlgtweakproc, 1005));
    EXPECT_FALSE(IsWindowVisible(dlg));
    DestroyWindow(dlg);

    // Run modally, Close ends it with the command as the result.
    SetTimer(NULL, 0, 100, closetweak);
    EXPECT_EQ(1005, DialogBoxParamA(happ, MAKEINTRESOURCEA(102), NULL, dlgtweakproc, 0));
}

TEST_F(tweak, no_handle_left_behind)
{
    regputdword(HKCU, pe, "NoWinKeys", 1);
    regputdword(HKLM, mm, "ClearPageFileAtShutdown", 1);
    unsigned before = handlecount();
    for (int i = 0; i < 40; i++) {
        HWND dlg = opendialog(102, dlgtweakproc);
        press(dlg, dlgtweakproc, 1006);
        press(dlg, dlgtweakproc, 1005);
        DestroyWindow(dlg);
    }
    EXPECT_EQ(before, handlecount());
}

TEST_F(tweak, template)
{
    expecttemplate(102, false, "Tweak settings.", 500, 282, {
        { 1006, "Apply", 432, 230, 50, 14, BS_PUSHBUTTON | WS_TABSTOP },
        { 1005, "Close", 433, 250, 50, 14, BS_PUSHBUTTON | WS_TABSTOP },
        { -1, "Check the buttons", 7, 7, 486, 268, BS_GROUPBOX },
        { 1001, "Turn off autoplay feature.", 12, 22, 95, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1002, "Clear recent docs on system restart", 12, 35, 126, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1003, "No recent docs history.", 12, 48, 89, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1004, "Clear page file on system restart.", 12, 62, 117, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1034, "Turn off windows update.", 12, 76, 96, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1087, "Make thumbnail views non-cacheable.", 12, 91, 137, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1088, "No user tracking.", 12, 106, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1089, "Add \"Run in Separate Memory Space\" in Run dialog.", 11, 258, 183, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1090, "Remove most frequently used program list from start menu.", 12, 148, 199, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1091, "Don't display tray items.", 11, 163, 89, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1092, "No balloon tips on start menu.", 11, 178, 109, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1093, "No clock on tray.", 11, 191, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1094, "Grey start menu's unavailable windows installer programs.", 12, 204, 195, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1095, "Always unload DLLs.", 12, 218, 82, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1096, "Show super hidden files.", 11, 231, 93, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1097, "Hide file extensions.", 11, 244, 79, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1098, "Disable Windows + ? keys.", 12, 133, 101, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1099, "No Recycle Bin on desktop.", 12, 119, 105, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1100, "Prevent execution of 16-bit Applications.", 163, 24, 143, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
    });
}

TEST_F(tweak, through_the_program)
{
    regputdword(HKCU, pe, "NoWinKeys", 1);
    program p;
    ASSERT_TRUE(p.start(bindir() + "Tolvane.exe"));
    HWND main = p.waitwindow("wndclsname", NULL);
    ASSERT_TRUE(main);
    PostMessageA(main, WM_COMMAND, 40002, 0);
    HWND dlg = p.waitwindow("#32770", "Tweak settings.");
    ASSERT_TRUE(dlg);
    EXPECT_EQ(main, GetWindow(dlg, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageA(dlg, 1098, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendDlgItemMessageA(dlg, 1001, BM_GETCHECK, 0, 0));
    SendDlgItemMessageA(dlg, 1001, BM_CLICK, 0, 0);
    SendDlgItemMessageA(dlg, 1098, BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(dlg, 1006), BM_CLICK, 0, 0);
    shownbox box;
    ASSERT_TRUE(p.waitbox(&box));
    EXPECT_EQ("DONE", box.caption);
    EXPECT_EQ(donetext, box.text);
    EXPECT_EQ(0xFF, reggetdword(HKCU, pe, "NoDriveTypeAutoRun"));
    EXPECT_EQ(-1, reggetdword(HKCU, pe, "NoWinKeys"));
    // Esc leaves it open; Close ends it.
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    Sleep(200);
    EXPECT_TRUE(IsWindow(dlg));
    PostMessageA(GetDlgItem(dlg, 1005), BM_CLICK, 0, 0);
    EXPECT_TRUE(program::waitgone(dlg));
    EXPECT_TRUE(IsWindowEnabled(main));
    PostMessageA(main, WM_COMMAND, 40003, 0);
    EXPECT_EQ(0u, p.waitexit());
}

// A 64-bit Windows keeps a second view of HKLM\SOFTWARE for 32-bit programs,
// under Wow6432Node. "Always unload DLLs." must reach the key that the shell
// of the machine's own kind reads: the 64-bit program writes and reads the
// key itself, never its 32-bit copy. The 32-bit build, in its 32-bit prefix,
// has only the one view.
static const char *wow64exp = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer";

TEST_F(tweak, always_unload_dlls_in_the_view_of_its_own_kind)
{
    const bool win64 = sizeof(void *) == 8;
    if (win64)
        regdelete(HKLM, wow64exp, "AlwaysUnloadDll");
    regputdword(HKLM, hklmexp, "AlwaysUnloadDll", 1);
    program p;
    ASSERT_TRUE(p.start(bindir() + "Tolvane.exe"));
    HWND main = p.waitwindow("wndclsname", NULL);
    ASSERT_TRUE(main);
    auto opentweak = [&]() {
        PostMessageA(main, WM_COMMAND, 40002, 0);
        return p.waitwindow("#32770", "Tweak settings.");
    };
    // Apply, and its confirmation dismissed: the dialog takes input again.
    auto apply = [&](HWND dlg) {
        PostMessageA(GetDlgItem(dlg, 1006), BM_CLICK, 0, 0);
        shownbox box;
        EXPECT_TRUE(p.waitbox(&box));
        for (int i = 0; i < 500 && !IsWindowEnabled(dlg); i++)
            Sleep(10);
        EXPECT_TRUE(IsWindowEnabled(dlg));
    };
    auto close = [&](HWND dlg) {
        PostMessageA(GetDlgItem(dlg, 1005), BM_CLICK, 0, 0);
        EXPECT_TRUE(program::waitgone(dlg));
    };

    // Planted in the key itself, and only there: the box shows it, and
    // Apply deletes and writes it there.
    HWND dlg = opentweak();
    ASSERT_TRUE(dlg);
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageA(dlg, 1095, BM_GETCHECK, 0, 0));
    SendDlgItemMessageA(dlg, 1095, BM_CLICK, 0, 0);
    apply(dlg);
    EXPECT_EQ(-1, reggetdword(HKLM, hklmexp, "AlwaysUnloadDll"));
    SendDlgItemMessageA(dlg, 1095, BM_CLICK, 0, 0);
    apply(dlg);
    EXPECT_EQ(1, reggetdword(HKLM, hklmexp, "AlwaysUnloadDll"));
    if (win64)
        EXPECT_EQ(-1, reggetdword(HKLM, wow64exp, "AlwaysUnloadDll"));
    close(dlg);

    if (win64) {
        // The 32-bit copy alone leaves the box clear.
        regdelete(HKLM, hklmexp, "AlwaysUnloadDll");
        regputdword(HKLM, wow64exp, "AlwaysUnloadDll", 1);
        dlg = opentweak();
        ASSERT_TRUE(dlg);
        EXPECT_EQ(BST_UNCHECKED, SendDlgItemMessageA(dlg, 1095, BM_GETCHECK, 0, 0));
        close(dlg);
        regdelete(HKLM, wow64exp, "AlwaysUnloadDll");
    }
    PostMessageA(main, WM_COMMAND, 40003, 0);
    EXPECT_EQ(0u, p.waitexit());
}
