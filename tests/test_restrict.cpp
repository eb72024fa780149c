// The Set Restrictions dialog and its quick settings: tick tests, what Apply
// writes and in which order, the presets, and how the dialog ends.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "policy.h"
#include "tool.h"

static const char *pb = POLICIES;
static const char *pe = POLICIES "\\Explorer";
static const char *ps = POLICIES "\\System";
static const char *pnet = POLICIES "\\Network";
static const char *unin = POLICIES "\\Uninstall";
static const char *mmc = MSPOLICIES "\\MMC";
static const char *winsys = MSPOLICIES "\\Windows\\System";
static const char *winnet = MSPOLICIES "\\Windows\\Network Connections";
static const char *inst = MSPOLICIES "\\Windows\\Installer";
static const char *ie = MSPOLICIES "\\Internet Explorer\\Control Panel";

// What each box writes, in the order Apply writes it.
static const std::vector<policyvalue> values = {
    { 1009, HKCU, pe, "NoFolderOptions", 1 },
    { 1010, HKCU, pe, "StartMenuLogOff", 1 },
    { 1080, HKCU, inst, "AlwaysInstallElevated", 1 },
    { 1011, HKCU, pe, "NoRun", 1 },
    { 1017, HKCU, pe, "NoSetTaskbar", 1 },
    { 1012, HKCU, pe, "NoShellSearchButton", 1 },
    { 1013, HKCU, pe, "NoControlPanel", 1 },
    { 1014, HKCU, pe, "NoTrayContextMenu", 1 },
    { 1015, HKCU, pe, "NoViewContextMenu", 1 },
    { 1016, HKCU, pe, "NoActiveDesktop", 1 },
    { 1018, HKCU, pe, "NoInternetIcon", 1 },
    { 1019, HKCU, pe, "DisablePersonalDirChange", 1 },
    { 1020, HKCU, ps, "NoDispBackgroundPage", 1 },
    { 1021, HKCU, ps, "NoDispScrSavPage", 1 },
    { 1022, HKCU, ps, "NoDispAppearancePage", 1 },
    { 1023, HKCU, ps, "NoDispSettingsPage", 1 },
    { 1024, HKCU, ps, "DisableTaskMgr", 1 },
    { 1025, HKCU, ps, "DisableLockWorkstation", 1 },
    { 1026, HKCU, ps, "DisableChangePassword", 1 },
    { 1012, HKCU, pe, "NoShellSearchButton", 1 },
    { 1012, HKCU, pe, "NoFind", 1 },
    { 1066, HKCU, pe, "NoFileMenu", 1 },
    { 1067, HKCU, pe, "NoManageMyComputerVerb", 1 },
    { 1073, HKCU, pe, "NoSharedDocuments", 1 },
    { 1074, HKCU, mmc, "RestrictAuthorMode", 1 },
    { 1078, HKCU, winsys, "DisableCMD", 1 },
    { 1085, HKCU, winnet, "NC_NewConnectionWizard", 0 },
    { 1075, HKCU, pe, "NoAddPrinter", 1 },
    { 1076, HKCU, pe, "NoDeletePrinter", 1 },
    { 1068, HKCU, pe, "NoHardwareTab", 1 },
    { 1070, HKCU, pe, "NoCDBurning", 1 },
    { 1088, HKCU, pe, "NoStartMenuMorePrograms", 1 },
    { 1079, HKCU, inst, "DisableMedia", 1 },
    { 1018, HKCU, pe, "NoInternetIcon", 1 },
    { 1071, HKCU, winnet, "NC_RasConnect", 0 },
    { 1072, HKCU, winnet, "NC_DeleteAllUserConnection", 0 },
    { 1081, HKCU, winnet, "NC_EnableAdminProhibits", 1 },
    { 1077, HKCU, ie, "History", 1, keymade },
    { 1083, HKCU, ie, "Proxy", 1, keymade },
    { 1087, HKCU, ie, "HomePage", 1, keymade },
    { 1084, HKCU, winnet, "NC_AllowAdvancedTCPIPConfig", 0 },
    { 1069, HKCU, pnet, "NoEntireNetwork", 1 },
    { 1051, HKCU, ps, "DisableRegistryTools", 1 },
    { 1051, HKCU, pb, "DisableRegistryTools", 1 },
    { 1027, HKCU, unin, "NoAddRemovePrograms", 1, keymade },
    { 1028, HKCU, pe, "NoViewOnDrive", 4 },
    { 1037, HKCU, pe, "NoDrives", 0xffffffff },
};


static std::vector<int> allboxes()
{
    std::set<int> ids;
    for (auto &v : values)
        ids.insert(v.id);
    return std::vector<int>(ids.begin(), ids.end());
}

static std::vector<int> without(std::vector<int> ids, std::initializer_list<int> gone)
{
    for (int id : gone)
        ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
    return ids;
}

static const std::vector<int> school = { 1009, 1013, 1018, 1024, 1026, 1027, 1028, 1051, 1067, 1068, 1069, 1070,
                                         1071, 1072, 1074, 1075, 1076, 1077, 1079, 1083, 1084, 1085, 1087 };
static const std::vector<int> cafe = without(allboxes(), { 1010, 1018, 1037, 1071, 1073, 1080, 1081 });
static const std::vector<int> high = without(allboxes(), { 1037, 1080 });

struct restrict : ::testing::Test {
    void SetUp() override
    {
        clearvalues(values);
        regdelete(HKCU, ps, "DisableRegistryTools");
        regdelete(HKLM, pe, "NoAddPrinter");
        regdelete(HKLM, pe, "NoDeletePrinter");
        regwipe(HKCU, "Software\\Policies");
        regput(HKCU, "Software\\Policies\\Microsoft", NULL, REG_NONE, NULL, 0);
        regwipe(HKCU, unin);
        regput(HKCU, ie, NULL, REG_NONE, NULL, 0);
        recording = false;
        libcalls.clear();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(restrict, tick_tests_at_their_edges)
{
    struct { HKEY root; const char *key; const char *name; DWORD value; int ticked; } rows[] = {
        { HKCU, pe, "NoViewOnDrive", 3, 0 },
        { HKCU, pe, "NoViewOnDrive", 4, 1028 },
        { HKCU, pe, "NoViewOnDrive", 0xFFFFFFFF, 1028 },
        { HKCU, pe, "NoDrives", 0x00FFFFFE, 0 },
        { HKCU, pe, "NoDrives", 0x00FFFFFF, 1037 },
        { HKCU, pe, "NoDrives", 0x80000000, 1037 },
        { HKCU, pe, "NoDrives", 0xFFFFFFFF, 1037 },
        { HKCU, ie, "Proxy", 0, 0 },
        { HKCU, ie, "Proxy", 1, 1083 },
        { HKCU, winnet, "NC_RasConnect", 0, 1071 },
        { HKCU, winnet, "NC_RasConnect", 1, 0 },
        { HKCU, winnet, "NC_NewConnectionWizard", 0, 1085 },
        { HKCU, winnet, "NC_EnableAdminProhibits", 0, 0 },
        { HKCU, winnet, "NC_EnableAdminProhibits", 1, 1081 },
        { HKCU, pe, "NoFind", 1, 1012 },
        { HKCU, pe, "NoShellSearchButton", 1, 1012 },
        { HKCU, ps, "DisableRegistryTools", 1, 1051 },
        { HKCU, pb, "DisableRegistryTools", 1, 1051 },
        { HKLM, pe, "NoAddPrinter", 1, 1075 },
        { HKCU, pe, "NoAddPrinter", 1, 1075 },
        { HKLM, pe, "NoDeletePrinter", 1, 1076 },
        { HKCU, pe, "NoDeletePrinter", 1, 1076 },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(std::string(row.name) + " " + std::to_string(row.value));
        SetUp();
        regputdword(row.root, row.key, row.name, row.value);
        HWND dlg = opendialog(103, dlgrestrictproc);
        EXPECT_EQ(row.ticked ? std::vector<int>{ row.ticked } : std::vector<int>(), tickedboxes(dlg, values));
        DestroyWindow(dlg);
    }
}

// Sets the boxes (by a preset when preset is 1107 to 1110), applies and
// checks that the registry changed exactly as it must.
static void applyandcompare(HWND dlg, int preset, const std::vector<int> &ticked)
{
    regsnapshot expected = snapshot();
    applymodel(&expected, { "Explorer", "Network", "System" }, values, ticked);
    if (preset)
        SendDlgItemMessageA(dlg, preset, BM_CLICK, 0, 0);
    else
        setboxes(dlg, values, ticked);
    ASSERT_EQ(ticked, tickedboxes(dlg, values));
    std::vector<shownbox> boxes;
    EXPECT_EQ(TRUE, press(dlg, dlgrestrictproc, 1000, &boxes));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("DONE", boxes[0].caption);
    EXPECT_EQ(donetext, boxes[0].text);
    ASSERT_EQ("", regdiff(expected, snapshot()));
}

TEST_F(restrict, apply_changes_exactly_its_values)
{
    std::vector<int> none;
    int presets[] = { 1107, 1108, 1109, 1110 };
    const std::vector<int> *patterns[] = { &school, &cafe, &high, &none };
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(presets[i]);
        SetUp();
        HWND dlg = opendialog(103, dlgrestrictproc);
        applyandcompare(dlg, presets[i], *patterns[i]);
        DestroyWindow(dlg);
    }

    srand(5);
    std::vector<int> boxes = allboxes();
    HWND dlg = opendialog(103, dlgrestrictproc);
    for (int round = 0; round < 300; round++) {
        SCOPED_TRACE(round);
        SetUp();
        // Values of every kind lying about, and keys that come and go.
        regputdword(HKLM, pe, "NoAddPrinter", 1);
        regputdword(HKCU, pe, "NoDrives", 0x03FFFFFF);
        regputdword(HKCU, pe, "NoViewOnDrive", 3);
        regput(HKCU, pe, "NoRun", REG_SZ, "1", 2);
        regputdword(HKCU, pb, "DisableRegistryTools", 1);
        regputdword(HKCU, pe, "Unrelated", 9);
        if (round % 3 == 0)
            regwipe(HKCU, "Software\\Policies\\Microsoft\\Internet Explorer");
        if (round % 4 == 0)
            regput(HKCU, unin, NULL, REG_NONE, NULL, 0);
        if (round % 5 == 0)
            regwipe(HKCU, ps);
        if (round % 7 == 0)
            regwipe(HKCU, "Software\\Policies\\Microsoft");
        std::vector<int> ticked;
        for (int id : boxes)
            if (rand() % 2)
                ticked.push_back(id);
        applyandcompare(dlg, 0, ticked);
    }
    DestroyWindow(dlg);
}

TEST_F(restrict, particular_boxes_round_trip)
{
    auto cycle = [](std::initializer_list<int> tick) {
        HWND dlg = opendialog(103, dlgrestrictproc);
        for (int id : tick)
            CheckDlgButton(dlg, id, BST_CHECKED);
        press(dlg, dlgrestrictproc, 1000);
        std::vector<int> shown = tickedboxes(dlg, values);
        DestroyWindow(dlg);
        dlg = opendialog(103, dlgrestrictproc);
        std::vector<int> reopened = tickedboxes(dlg, values);
        DestroyWindow(dlg);
        return reopened;
    };
    auto clearall = [] {
        HWND dlg = opendialog(103, dlgrestrictproc);
        setboxes(dlg, values, {});
        press(dlg, dlgrestrictproc, 1000);
        DestroyWindow(dlg);
    };
    // Proxy: written as 1 and ticked on 1, so it opens ticked again.
    EXPECT_EQ(std::vector<int>{ 1083 }, cycle({ 1083 }));
    EXPECT_EQ(1, reggetdword(HKCU, ie, "Proxy"));
    clearall();
    EXPECT_EQ(-1, reggetdword(HKCU, ie, "Proxy"));

    // Printers: written for the user, shown from the user's value or the
    // machine's.
    EXPECT_EQ((std::vector<int>{ 1075, 1076 }), cycle({ 1075, 1076 }));
    EXPECT_EQ(1, reggetdword(HKCU, pe, "NoAddPrinter"));
    EXPECT_EQ(1, reggetdword(HKCU, pe, "NoDeletePrinter"));
    EXPECT_EQ(-1, reggetdword(HKLM, pe, "NoAddPrinter"));
    clearall();
    EXPECT_EQ(-1, reggetdword(HKCU, pe, "NoAddPrinter"));
    EXPECT_EQ(-1, reggetdword(HKCU, pe, "NoDeletePrinter"));
    regputdword(HKLM, pe, "NoAddPrinter", 1);
    // The machine's key is read with read access alone: a user who may not
    // write it still sees the box ticked.
    regreadonly(HKLM, pe, true);
    HWND ro = opendialog(103, dlgrestrictproc);
    EXPECT_EQ(std::vector<int>{ 1075 }, tickedboxes(ro, values));
    DestroyWindow(ro);
    regreadonly(HKLM, pe, false);
    EXPECT_EQ(std::vector<int>{ 1075 }, cycle({}));
    EXPECT_EQ(1, reggetdword(HKCU, pe, "NoAddPrinter"));
    EXPECT_EQ(1, reggetdword(HKLM, pe, "NoAddPrinter"));

    // Drives: written as 4 and 0xFFFFFFFF over whatever was there.
    regputdword(HKCU, pe, "NoViewOnDrive", 0x7F);
    regputdword(HKCU, pe, "NoDrives", 0x00FFFFFF);
    EXPECT_EQ((std::vector<int>{ 1028, 1037, 1075 }), cycle({}));
    EXPECT_EQ(4, reggetdword(HKCU, pe, "NoViewOnDrive"));
    EXPECT_EQ(0xFFFFFFFF, reggetdword(HKCU, pe, "NoDrives"));

    // "NoFind" alone ticks 1012; Apply then writes both, and clear deletes both.
    regputdword(HKCU, pe, "NoFind", 1);
    cycle({});
    EXPECT_EQ(1, reggetdword(HKCU, pe, "NoShellSearchButton"));
    HWND dlg = opendialog(103, dlgrestrictproc);
    CheckDlgButton(dlg, 1012, BST_UNCHECKED);
    press(dlg, dlgrestrictproc, 1000);
    DestroyWindow(dlg);
    EXPECT_EQ(-1, reggetdword(HKCU, pe, "NoFind"));
    EXPECT_EQ(-1, reggetdword(HKCU, pe, "NoShellSearchButton"));

    // Apply makes the keys that the preparation does not: the Internet
    // Explorer boxes and "Add or Remove Programs" reopen ticked.
    regwipe(HKCU, "Software\\Policies\\Microsoft\\Internet Explorer");
    regwipe(HKCU, unin);
    std::vector<int> reopened = cycle({ 1027, 1077, 1083, 1087 });
    EXPECT_EQ(4, std::count_if(reopened.begin(), reopened.end(),
                               [](int id) { return id == 1027 || id == 1077 || id == 1083 || id == 1087; }));
}

TEST_F(restrict, every_box_round_trips)
{
    roundtrip(103, dlgrestrictproc, 1000, "restrict", values, "S-1-5-21-7-7-7-1103");
}

// An account that has none of the keys that the preparation leaves out:
// after School every restriction that it ticks is there, through the
// dialog and through tolvctl in an empty hive.
TEST_F(restrict, school_on_a_new_account)
{
    regwipe(HKCU, unin);
    regwipe(HKCU, "Software\\Policies\\Microsoft\\Internet Explorer");
    HWND dlg = opendialog(103, dlgrestrictproc);
    press(dlg, dlgrestrictproc, 1107);
    press(dlg, dlgrestrictproc, 1000);
    DestroyWindow(dlg);
    const std::string sid = "S-1-5-21-7-7-7-1104";
    std::string profile = std::string("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\") + sid;
    regput(HKLM, profile.c_str(), "ProfileImagePath", REG_SZ, "C:\\users\\tlvnew", sizeof "C:\\users\\tlvnew");
    regput(HKEY_USERS, sid.c_str(), NULL, REG_NONE, NULL, 0);
    EXPECT_EQ(0u, tolvctl("apply school --user " + sid).code);
    for (auto &v : values) {
        bool ticked = std::count(school.begin(), school.end(), v.id);
        EXPECT_EQ(ticked ? (long long)v.data : -1, reggetdword(v.root, v.key, v.name)) << v.name;
        EXPECT_EQ(ticked ? (long long)v.data : -1, reggetdword(HKEY_USERS, (sid + "\\" + v.key).c_str(), v.name))
            << v.name;
    }
    regwipe(HKLM, profile.c_str());
    regwipe(HKEY_USERS, sid.c_str());
}

TEST_F(restrict, presets)
{
    HWND dlg = opendialog(103, dlgrestrictproc);
    regsnapshot before = snapshot();
    std::vector<int> none;
    struct { int id; const std::vector<int> *pattern; size_t count; } rows[] = {
        { 1107, &school, 23 }, { 1108, &cafe, 36 }, { 1109, &high, 41 }, { 1110, &none, 0 },
        { 1107, &school, 23 }, { 1109, &high, 41 }, { 1108, &cafe, 36 }, { 1110, &none, 0 },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.id);
        SendDlgItemMessageA(dlg, row.id, BM_CLICK, 0, 0);
        EXPECT_EQ(*row.pattern, tickedboxes(dlg, values));
        EXPECT_EQ(row.count, row.pattern->size());
        for (int radio = 1107; radio <= 1110; radio++)
            EXPECT_EQ(radio == row.id ? BST_CHECKED : BST_UNCHECKED, IsDlgButtonChecked(dlg, radio));
    }
    // The command is what counts, whatever its notification code.
    EXPECT_EQ(FALSE, dlgrestrictproc(dlg, WM_COMMAND, MAKEWPARAM(1109, 7), 0));
    EXPECT_EQ(high, tickedboxes(dlg, values));
    // A preset, then Close: nothing reaches the registry.
    EXPECT_EQ(TRUE, press(dlg, dlgrestrictproc, 1007));
    DestroyWindow(dlg);
    EXPECT_EQ("", regdiff(before, snapshot()));

    // A preset, one box changed, Apply: the radio button stays selected.
    dlg = opendialog(103, dlgrestrictproc);
    SendDlgItemMessageA(dlg, 1107, BM_CLICK, 0, 0);
    CheckDlgButton(dlg, 1051, BST_UNCHECKED);
    CheckDlgButton(dlg, 1010, BST_CHECKED);
    press(dlg, dlgrestrictproc, 1000);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dlg, 1107));
    DestroyWindow(dlg);
    EXPECT_EQ(-1, reggetdword(HKCU, ps, "DisableRegistryTools"));
    EXPECT_EQ(-1, reggetdword(HKCU, pb, "DisableRegistryTools"));
    EXPECT_EQ(1, reggetdword(HKCU, pe, "StartMenuLogOff"));
    EXPECT_EQ(1, reggetdword(HKCU, pe, "NoControlPanel"));

    // "Clear all." then Apply deletes every value and leaves the keys.
    dlg = opendialog(103, dlgrestrictproc);
    SendDlgItemMessageA(dlg, 1110, BM_CLICK, 0, 0);
    press(dlg, dlgrestrictproc, 1000);
    DestroyWindow(dlg);
    for (auto &v : values)
        EXPECT_EQ(-1, reggetdword(v.root, v.key, v.name)) << v.name;
    for (const char *key : { pe, ps, pnet, mmc, winsys, winnet, inst, ie })
        EXPECT_TRUE(regkeyexists(HKCU, key)) << key;
}

TEST_F(restrict, library_calls_follow_the_tables)
{
    recording = true;
    HWND dlg = opendialog(103, dlgrestrictproc);
    std::string reads;
    for (auto &line : libcalls)
        reads += line.substr(line.rfind('\\') + 1) + " ";
    EXPECT_EQ("NoFolderOptions StartMenuLogOff NoRun NoSetTaskbar NoFind NoShellSearchButton NoControlPanel"
              " NoViewContextMenu NoTrayContextMenu NoActiveDesktop DisablePersonalDirChange NoFileMenu"
              " NoManageMyComputerVerb NoSharedDocuments RestrictAuthorMode NoAddPrinter NoDeletePrinter"
              " NoDispBackgroundPage NoDispAppearancePage NoDispSettingsPage AlwaysInstallElevated"
              " NoDispScrSavPage DisableTaskMgr DisableLockWorkstation DisableChangePassword"
              " NoAddRemovePrograms NoViewOnDrive NoDrives DisableRegistryTools DisableRegistryTools"
              " NoHardwareTab NoCDBurning NoStartMenuMorePrograms DisableMedia NoInternetIcon"
              " NC_NewConnectionWizard NC_DeleteAllUserConnection Proxy NC_AllowAdvancedTCPIPConfig"
              " NC_EnableAdminProhibits NC_RasConnect NoEntireNetwork History HomePage DisableCMD ", reads);
    ASSERT_EQ(45u, libcalls.size());
    EXPECT_EQ(std::string("query2 HKCU\\") + pe + "\\NoAddPrinter", libcalls[15]);
    EXPECT_EQ(std::string("query2 HKCU\\") + ps + "\\DisableRegistryTools", libcalls[28]);
    EXPECT_EQ(std::string("query2 HKCU\\") + pb + "\\DisableRegistryTools", libcalls[29]);

    regwipe(HKCU, ps);
    for (bool tick : { true, false }) {
        setboxes(dlg, values, tick ? allboxes() : std::vector<int>());
        libcalls.clear();
        press(dlg, dlgrestrictproc, 1000);
        std::vector<std::string> expected = {
            std::string("query1 HKCU\\") + pe,
            std::string("query1 HKCU\\") + pnet,
            std::string("query1 HKCU\\") + ps,
            std::string("addkey HKCU\\") + ps,
            "addkey HKCU\\Software\\Policies\\Microsoft\\MMC",
            "addkey HKCU\\Software\\Policies\\Microsoft\\InternetManagement",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\AppCompat",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\Installer",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\Network Connections",
            "addkey HKCU\\Software\\Policies\\Microsoft\\Windows\\System",
        };
        if (!tick)
            expected.erase(expected.begin() + 3);   // created by the first Apply
        char data[16];
        for (auto &v : values) {
            sprintf(data, "=%lx", v.data);
            if (tick && v.how == keymade)
                expected.push_back("addkey HKCU\\" + std::string(v.key));
            expected.push_back((tick ? "set HKCU\\" : "delete HKCU\\") + std::string(v.key) + "\\" + v.name +
                               (tick ? data : ""));
        }
        EXPECT_EQ(expected, libcalls);
    }
    DestroyWindow(dlg);
}

static void CALLBACK closerestrict(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(NULL, id);
    HWND dlg = FindWindowA("#32770", "Set Restrictions.");
    PostMessageA(dlg, WM_CLOSE, 0, 0);
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(1007, BN_CLICKED), 0);
}

TEST_F(restrict, only_close_ends_it_and_nothing_leaks)
{
    HWND dlg = opendialog(103, dlgrestrictproc);
    EXPECT_EQ(FALSE, dlgrestrictproc(dlg, WM_INITDIALOG, 0, 0));
    for (WPARAM cmd : { (WPARAM)IDOK, (WPARAM)IDCANCEL, (WPARAM)1009, (WPARAM)1103 })
        EXPECT_EQ(FALSE, dlgrestrictproc(dlg, WM_COMMAND, cmd, 0));
    EXPECT_EQ(FALSE, dlgrestrictproc(dlg, WM_CLOSE, 0, 0));
    DestroyWindow(dlg);
    SetTimer(NULL, 0, 100, closerestrict);
    EXPECT_EQ(1007, DialogBoxParamA(happ, MAKEINTRESOURCEA(103), NULL, dlgrestrictproc, 0));

    regputdword(HKCU, pe, "NoDrives", 0xFFFFFFFF);
    unsigned before = handlecount();
    for (int i = 0; i < 40; i++) {
        dlg = opendialog(103, dlgrestrictproc);
        SendDlgItemMessageA(dlg, 1107 + i % 4, BM_CLICK, 0, 0);
        press(dlg, dlgrestrictproc, 1000);
        press(dlg, dlgrestrictproc, 1007);
        DestroyWindow(dlg);
    }
    EXPECT_EQ(before, handlecount());
}

TEST_F(restrict, template)
{
    expecttemplate(103, true, "Set Restrictions.", 510, 279, {
        { 1000, "Apply", 456, 235, 45, 14, BS_PUSHBUTTON | WS_TABSTOP },
        { 1007, "Close", 455, 257, 46, 14, BS_PUSHBUTTON | WS_TABSTOP },
        { 1008, "Check appropriate buttons to apply settings.", 14, 7, 496, 265, BS_GROUPBOX },
        { 1009, "No folder options in tools menu.", 16, 28, 115, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1010, "No logoff button in start menu.", 16, 42, 111, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1011, "No Run button in start menu.", 16, 55, 107, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1017, "Protect start menu, taskbar changes.", 16, 67, 132, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1012, "No search options.", 15, 81, 75, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1013, "No control panel.", 15, 94, 70, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1014, "Disable right click on taskbar.", 16, 107, 109, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1015, "Disable right click.", 16, 120, 73, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1016, "Disable Active Desktop.", 16, 133, 92, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1018, "No internet icon.", 313, 35, 68, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1019, "Disable personal directory changes.", 15, 171, 128, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1020, "No desktop properties.", 155, 44, 87, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1021, "No screensaver page.", 155, 57, 86, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1022, "No display appearance page.", 155, 70, 109, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1023, "No display settings page.", 155, 83, 95, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1024, "Disable task manager.", 155, 97, 86, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1025, "Disable workstation lock.", 155, 110, 95, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1026, "Disable password change.", 155, 124, 99, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1027, "No \"Add or Remove Programs\".", 155, 137, 117, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1028, "Restrict C drive.", 155, 150, 106, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1037, "Hide all drives. Folders become inaccessible.", 155, 163, 157, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1051, "Disable Registry tools.", 155, 176, 85, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1066, "Remove file from menu.", 16, 186, 90, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1067, "Remove \"Manage\" from My Computer.", 16, 200, 138, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1068, "Remove hardware tab from control panel items, drive properties.", 155, 231, 216, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1069, "Remove \"Entire Network\" from My Network Places.", 313, 132, 179, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1070, "Remove CD burning features.", 155, 204, 109, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1073, "Remove Shared Documents folder.", 16, 215, 127, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1074, "Restrict MMC's author mode.", 16, 228, 107, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1075, "Restrict adding local/network printers.", 15, 158, 135, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1076, "Restrict deleting local/network printers.", 15, 146, 139, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1079, "Disable installation of programs from removable media.", 155, 218, 185, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1080, "Always install programs with high privilege.", 155, 31, 148, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1081, "Prohibit administrators from network settings.", 313, 105, 155, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1083, "Restrict changing proxy settings from iexplorer.", 313, 77, 161, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1084, "Disable configuring advanced TCP/IP settings.", 313, 91, 164, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1085, "Prohibit New Connection Wizard,", 313, 49, 120, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1088, "Remove \"All Programs\" from start panel.", 155, 190, 142, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1091, "Controls for network, internet explorer :-", 313, 16, 184, 11, SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | WS_BORDER, 0, "Static" },
        { 1092, "Controls for desktop, explorer :-", 19, 16, 286, 11, SS_CENTER | SS_SUNKEN | WS_BORDER, WS_EX_TRANSPARENT, "Static" },
        { 1078, "Restrict command prompt OR cmd.exe", 16, 241, 137, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1071, "Restrict connecting/disconnecting RAS connections.", 313, 119, 184, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1072, "Restrict deletion of RAS connections.", 313, 62, 130, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1077, "Disable history settings button of iexplorer.", 313, 146, 147, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1087, "Disable homepage settings changes of iexplorer.", 313, 160, 168, 10, BS_AUTOCHECKBOX | WS_TABSTOP },
        { 1103, "Quick settings.", 370, 207, 82, 66, BS_GROUPBOX | WS_GROUP, WS_EX_CLIENTEDGE },
        { 1107, "School", 377, 220, 38, 10, BS_AUTORADIOBUTTON | WS_TABSTOP },
        { 1108, "Cyber-cafe", 377, 233, 50, 10, BS_AUTORADIOBUTTON | WS_TABSTOP },
        { 1109, "Highly restricted.", 377, 246, 68, 10, BS_AUTORADIOBUTTON | WS_TABSTOP },
        { 1110, "Clear all.", 377, 259, 43, 10, BS_AUTORADIOBUTTON | WS_TABSTOP },
    });
}

TEST_F(restrict, through_the_program)
{
    program p;
    ASSERT_TRUE(p.start(bindir() + "Tolvane.exe"));
    HWND main = p.waitwindow("wndclsname", NULL);
    ASSERT_TRUE(main);
    PostMessageA(main, WM_COMMAND, 40001, 0);
    HWND dlg = p.waitwindow("#32770", "Set Restrictions.");
    ASSERT_TRUE(dlg);
    EXPECT_EQ(main, GetWindow(dlg, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(main));
    SendDlgItemMessageA(dlg, 1108, BM_CLICK, 0, 0);
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageA(dlg, 1009, BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, SendDlgItemMessageA(dlg, 1010, BM_GETCHECK, 0, 0));
    PostMessageA(GetDlgItem(dlg, 1000), BM_CLICK, 0, 0);
    shownbox box;
    ASSERT_TRUE(p.waitbox(&box));
    EXPECT_EQ("DONE", box.caption);
    EXPECT_EQ(donetext, box.text);
    EXPECT_EQ(1, reggetdword(HKCU, pe, "NoFolderOptions"));
    EXPECT_EQ(0, reggetdword(HKCU, winnet, "NC_NewConnectionWizard"));
    EXPECT_EQ(-1, reggetdword(HKCU, pe, "StartMenuLogOff"));
    PostMessageA(GetDlgItem(dlg, 1007), BM_CLICK, 0, 0);
    EXPECT_TRUE(program::waitgone(dlg));
    EXPECT_TRUE(IsWindowEnabled(main));
    PostMessageA(main, WM_COMMAND, 40003, 0);
    EXPECT_EQ(0u, p.waitexit());
}
