// Tolvane: turns Windows shell, system, network and browser policies on and
// off for the administrator of one machine.

#include <windows.h>
#include "resource.h"
#include "varrowen.h"

// ---- globals --------------------------------------------------------------

// The program's instance: written once by WinMain before the first window,
// read as the module that holds the dialog templates.
HINSTANCE happ;

// ---- key paths -------------------------------------------------------------

const char policy_base[]            = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
const char policy_explorer[]        = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char policy_system[]          = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char policy_nonenum[]         = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\NonEnum";
const char policy_network[]         = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Network";
const char policy_ms[]              = "Software\\Policies\\Microsoft";
const char policy_ms_mmc[]          = "Software\\Policies\\Microsoft\\MMC";
const char policy_ms_win[]          = "Software\\Policies\\Microsoft\\Windows";
const char policy_ms_winsys[]       = "Software\\Policies\\Microsoft\\Windows\\System";
const char policy_ms_winapp[]       = "Software\\Policies\\Microsoft\\Windows\\AppCompat";
const char policy_ms_winnet[]       = "Software\\Policies\\Microsoft\\Windows\\Network Connections";
const char policy_ms_wininstaller[] = "Software\\Policies\\Microsoft\\Windows\\Installer";
const char policy_ms_iexplorer[]    = "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel";
const char system_ccs_mm[]          = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const char system_ccs001_mm[]       = "SYSTEM\\CurrentControlSet001\\Control\\Session Manager\\Memory Management";

const char policy_uninstall[]       = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Uninstall";

// Shell settings outside the policy keys.
const char shell_explorer[]         = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char shell_advanced[]         = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

#define HKCU HKEY_CURRENT_USER
#define HKLM HKEY_LOCAL_MACHINE

// ---- policy tables ------------------------------------------------------------

// How a value read at open decides its box: it must be a REG_DWORD of at
// least four bytes whose first four, as an unsigned number, pass the test.
enum ticktest { tick_eq1, tick_eq0, tick_gt3, tick_gtfffffe };

struct readrow {            // one value read when a dialog opens
    int         id;         // check box that it may tick
    HKEY        root;
    const char *key;        // a policy_... constant or a literal path
    const char *name;       // value name
    ticktest    test;
};

struct target {             // one value that Apply sets or deletes
    HKEY        root;
    const char *key;
    const char *name;
    const char *data;       // hexadecimal text written as REG_DWORD when ticked
};

struct applyrow {           // one step of Apply, decided by one box
    int         id;
    target      targets[2]; // in the order written; an unused one has no name
};

struct keyrow {             // one key that Apply makes sure of
    const char *parent;     // under HKEY_CURRENT_USER
    const char *leaf;
};

struct policydialog {       // the tables of one dialog
    const readrow  *reads;
    int             nreads;
    const keyrow   *tests;  // test-opened; the leaf is created under policy_base if missing
    int             ntests;
    const applyrow *applies;
    int             napplies;
};

#define COUNT(a) ((int)(sizeof(a) / sizeof((a)[0])))

// Created without a test before every Apply, parents first.
static const keyrow preparedkeys[] = {
    { policy_ms,     "MMC" },
    { policy_ms,     "InternetManagement" },
    { policy_ms,     "Windows" },
    { policy_ms_win, "AppCompat" },
    { policy_ms_win, "Installer" },
    { policy_ms_win, "Network Connections" },
    { policy_ms_win, "System" },
};

// Tweak settings: every row ticks on 1 and every target is written as 1.
static const readrow tweakreads[] = {
    // id   root  key               value name                                 test
    { 1089, HKCU, policy_explorer,  "MemCheckBoxInRunDlg",                     tick_eq1 },
    { 1092, HKCU, policy_explorer,  "NoSMBalloonTip",                          tick_eq1 },
    { 1088, HKCU, policy_explorer,  "NoInstrumentation",                       tick_eq1 },
    { 1099, HKCU, policy_nonenum,   "{645FF040-5081-101B-9F08-00AA002F954E}",  tick_eq1 },
    { 1090, HKCU, policy_explorer,  "NoStartMenuMFUprogramsList",              tick_eq1 },
    { 1093, HKCU, policy_explorer,  "HideClock",                               tick_eq1 },
    { 1091, HKCU, policy_explorer,  "NoTrayItemsDisplay",                      tick_eq1 },
    { 1087, HKCU, policy_explorer,  "NoThumbnailCache",                        tick_eq1 },
    { 1094, HKCU, policy_explorer,  "GreyMSIAds",                              tick_eq1 },
    { 1002, HKCU, policy_explorer,  "ClearRecentDocsOnExit",                   tick_eq1 },
    { 1034, HKCU, policy_explorer,  "NoAutoUpdate",                            tick_eq1 },
    { 1034, HKCU, policy_explorer,  "NoWindowsUpdate",                         tick_eq1 },
    { 1001, HKCU, policy_explorer,  "NoDriveTypeAutoRun",                      tick_eq1 },
    { 1003, HKCU, policy_explorer,  "NoRecentDocsMenu",                        tick_eq1 },
    { 1098, HKCU, policy_explorer,  "NoWinKeys",                               tick_eq1 },
    { 1091, HKCU, policy_explorer,  "NoTrayItemDisplay",                       tick_eq1 },
    { 1004, HKLM, system_ccs_mm,    "ClearPageFileAtShutdown",                 tick_eq1 },
    { 1004, HKLM, system_ccs001_mm, "ClearPageFileAtShutdown",                 tick_eq1 },
    { 1095, HKLM, shell_explorer,   "AlwaysUnloadDll",                         tick_eq1 },
    { 1097, HKCU, shell_advanced,   "HideFileExt",                             tick_eq1 },
    { 1096, HKCU, shell_advanced,   "ShowSuperHidden",                         tick_eq1 },
    { 1100, HKCU, policy_ms_winapp, "VDMDisallowed",                           tick_eq1 },
};

static const keyrow tweaktests[] = {
    { policy_explorer, "Explorer" },
    { policy_network,  "Network" },
};

// "NoTrayItemsDisplay" is read above but never written.
static const applyrow tweakapplies[] = {
    // id     root  key               value name                                 data
    { 1001, {{ HKCU, policy_explorer,  "NoDriveTypeAutoRun",                      "1" }}},
    { 1088, {{ HKCU, policy_explorer,  "NoInstrumentation",                       "1" }}},
    { 1002, {{ HKCU, policy_explorer,  "ClearRecentDocsOnExit",                   "1" }}},
    { 1003, {{ HKCU, policy_explorer,  "NoRecentDocsMenu",                        "1" }}},
    { 1099, {{ HKCU, policy_nonenum,   "{645FF040-5081-101B-9F08-00AA002F954E}",  "1" }}},
    { 1089, {{ HKCU, policy_explorer,  "MemCheckBoxInRunDlg",                     "1" }}},
    { 1092, {{ HKCU, policy_explorer,  "NoSMBalloonTip",                          "1" }}},
    { 1090, {{ HKCU, policy_explorer,  "NoStartMenuMFUprogramsList",              "1" }}},
    { 1093, {{ HKCU, policy_explorer,  "HideClock",                               "1" }}},
    { 1091, {{ HKCU, policy_explorer,  "NoTrayItemDisplay",                       "1" }}},
    { 1087, {{ HKCU, policy_explorer,  "NoThumbnailCache",                        "1" }}},
    { 1094, {{ HKCU, policy_explorer,  "GreyMSIAds",                              "1" }}},
    { 1098, {{ HKCU, policy_explorer,  "NoWinKeys",                               "1" }}},
    { 1100, {{ HKCU, policy_ms_winapp, "VDMDisallowed",                           "1" }}},
    { 1095, {{ HKLM, shell_explorer,   "AlwaysUnloadDll",                         "1" }}},
    { 1096, {{ HKCU, shell_advanced,   "ShowSuperHidden",                         "1" }}},
    { 1097, {{ HKCU, shell_advanced,   "HideFileExt",                             "1" }}},
    { 1004, {{ HKLM, system_ccs_mm,    "ClearPageFileAtShutdown",                 "1" },
             { HKLM, system_ccs001_mm, "ClearPageFileAtShutdown",                 "1" }}},
    { 1034, {{ HKCU, policy_explorer,  "NoWindowsUpdate",                         "1" },
             { HKCU, policy_explorer,  "NoAutoUpdate",                            "1" }}},
};

static const policydialog tweakdialog = {
    tweakreads, COUNT(tweakreads), tweaktests, COUNT(tweaktests),
    tweakapplies, COUNT(tweakapplies),
};

// Set Restrictions. The printer boxes show the machine-wide value but
// write the user's; "DisableRegistryTools" stands under two keys.
static const readrow restrictreads[] = {
    // id   root  key                     value name                      test
    { 1009, HKCU, policy_explorer,        "NoFolderOptions",              tick_eq1 },
    { 1010, HKCU, policy_explorer,        "StartMenuLogOff",              tick_eq1 },
    { 1011, HKCU, policy_explorer,        "NoRun",                        tick_eq1 },
    { 1017, HKCU, policy_explorer,        "NoSetTaskbar",                 tick_eq1 },
    { 1012, HKCU, policy_explorer,        "NoFind",                       tick_eq1 },
    { 1012, HKCU, policy_explorer,        "NoShellSearchButton",          tick_eq1 },
    { 1013, HKCU, policy_explorer,        "NoControlPanel",               tick_eq1 },
    { 1015, HKCU, policy_explorer,        "NoViewContextMenu",            tick_eq1 },
    { 1014, HKCU, policy_explorer,        "NoTrayContextMenu",            tick_eq1 },
    { 1016, HKCU, policy_explorer,        "NoActiveDesktop",              tick_eq1 },
    { 1019, HKCU, policy_explorer,        "DisablePersonalDirChange",     tick_eq1 },
    { 1066, HKCU, policy_explorer,        "NoFileMenu",                   tick_eq1 },
    { 1067, HKCU, policy_explorer,        "NoManageMyComputerVerb",       tick_eq1 },
    { 1073, HKCU, policy_explorer,        "NoSharedDocuments",            tick_eq1 },
    { 1074, HKCU, policy_ms_mmc,          "RestrictAuthorMode",           tick_eq1 },
    { 1075, HKLM, policy_explorer,        "NoAddPrinter",                 tick_eq1 },
    { 1076, HKLM, policy_explorer,        "NoDeletePrinter",              tick_eq1 },
    { 1020, HKCU, policy_system,          "NoDispBackgroundPage",         tick_eq1 },
    { 1022, HKCU, policy_system,          "NoDispAppearancePage",         tick_eq1 },
    { 1023, HKCU, policy_system,          "NoDispSettingsPage",           tick_eq1 },
    { 1080, HKCU, policy_ms_wininstaller, "AlwaysInstallElevated",        tick_eq1 },
    { 1021, HKCU, policy_system,          "NoDispScrSavPage",             tick_eq1 },
    { 1024, HKCU, policy_system,          "DisableTaskMgr",               tick_eq1 },
    { 1025, HKCU, policy_system,          "DisableLockWorkstation",       tick_eq1 },
    { 1026, HKCU, policy_system,          "DisableChangePassword",        tick_eq1 },
    { 1027, HKCU, policy_uninstall,       "NoAddRemovePrograms",          tick_eq1 },
    { 1028, HKCU, policy_explorer,        "NoViewOnDrive",                tick_gt3 },
    { 1037, HKCU, policy_explorer,        "NoDrives",                     tick_gtfffffe },
    { 1051, HKCU, policy_system,          "DisableRegistryTools",         tick_eq1 },
    { 1051, HKCU, policy_base,            "DisableRegistryTools",         tick_eq1 },
    { 1068, HKCU, policy_explorer,        "NoHardwareTab",                tick_eq1 },
    { 1070, HKCU, policy_explorer,        "NoCDBurning",                  tick_eq1 },
    { 1088, HKCU, policy_explorer,        "NoStartMenuMorePrograms",      tick_eq1 },
    { 1079, HKCU, policy_ms_wininstaller, "DisableMedia",                 tick_eq1 },
    { 1018, HKCU, policy_explorer,        "NoInternetIcon",               tick_eq1 },
    { 1085, HKCU, policy_ms_winnet,       "NC_NewConnectionWizard",       tick_eq0 },
    { 1072, HKCU, policy_ms_winnet,       "NC_DeleteAllUserConnection",   tick_eq0 },
    { 1083, HKCU, policy_ms_iexplorer,    "Proxy",                        tick_eq0 },
    { 1084, HKCU, policy_ms_winnet,       "NC_AllowAdvancedTCPIPConfig",  tick_eq0 },
    { 1081, HKCU, policy_ms_winnet,       "NC_EnableAdminProhibits",      tick_eq1 },
    { 1071, HKCU, policy_ms_winnet,       "NC_RasConnect",                tick_eq0 },
    { 1069, HKCU, policy_network,         "NoEntireNetwork",              tick_eq1 },
    { 1077, HKCU, policy_ms_iexplorer,    "History",                      tick_eq1 },
    { 1087, HKCU, policy_ms_iexplorer,    "HomePage",                     tick_eq1 },
    { 1078, HKCU, policy_ms_winsys,       "DisableCMD",                   tick_eq1 },
};

static const keyrow restricttests[] = {
    { policy_explorer, "Explorer" },
    { policy_network,  "Network" },
    { policy_system,   "System" },
};

// Boxes 1012 and 1018 stand in two steps each; the repeats change nothing.
static const applyrow restrictapplies[] = {
    // id     root  key                     value name                      data
    { 1009, {{ HKCU, policy_explorer,        "NoFolderOptions",              "1" }}},
    { 1010, {{ HKCU, policy_explorer,        "StartMenuLogOff",              "1" }}},
    { 1080, {{ HKCU, policy_ms_wininstaller, "AlwaysInstallElevated",        "1" }}},
    { 1011, {{ HKCU, policy_explorer,        "NoRun",                        "1" }}},
    { 1017, {{ HKCU, policy_explorer,        "NoSetTaskbar",                 "1" }}},
    { 1012, {{ HKCU, policy_explorer,        "NoShellSearchButton",          "1" }}},
    { 1013, {{ HKCU, policy_explorer,        "NoControlPanel",               "1" }}},
    { 1014, {{ HKCU, policy_explorer,        "NoTrayContextMenu",            "1" }}},
    { 1015, {{ HKCU, policy_explorer,        "NoViewContextMenu",            "1" }}},
    { 1016, {{ HKCU, policy_explorer,        "NoActiveDesktop",              "1" }}},
    { 1018, {{ HKCU, policy_explorer,        "NoInternetIcon",               "1" }}},
    { 1019, {{ HKCU, policy_explorer,        "DisablePersonalDirChange",     "1" }}},
    { 1020, {{ HKCU, policy_system,          "NoDispBackgroundPage",         "1" }}},
    { 1021, {{ HKCU, policy_system,          "NoDispScrSavPage",             "1" }}},
    { 1022, {{ HKCU, policy_system,          "NoDispAppearancePage",         "1" }}},
    { 1023, {{ HKCU, policy_system,          "NoDispSettingsPage",           "1" }}},
    { 1024, {{ HKCU, policy_system,          "DisableTaskMgr",               "1" }}},
    { 1025, {{ HKCU, policy_system,          "DisableLockWorkstation",       "1" }}},
    { 1026, {{ HKCU, policy_system,          "DisableChangePassword",        "1" }}},
    { 1012, {{ HKCU, policy_explorer,        "NoShellSearchButton",          "1" },
             { HKCU, policy_explorer,        "NoFind",                       "1" }}},
    { 1066, {{ HKCU, policy_explorer,        "NoFileMenu",                   "1" }}},
    { 1067, {{ HKCU, policy_explorer,        "NoManageMyComputerVerb",       "1" }}},
    { 1073, {{ HKCU, policy_explorer,        "NoSharedDocuments",            "1" }}},
    { 1074, {{ HKCU, policy_ms_mmc,          "RestrictAuthorMode",           "1" }}},
    { 1078, {{ HKCU, policy_ms_winsys,       "DisableCMD",                   "1" }}},
    { 1085, {{ HKCU, policy_ms_winnet,       "NC_NewConnectionWizard",       "0" }}},
    { 1075, {{ HKCU, policy_explorer,        "NoAddPrinter",                 "1" }}},
    { 1076, {{ HKCU, policy_explorer,        "NoDeletePrinter",              "1" }}},
    { 1068, {{ HKCU, policy_explorer,        "NoHardwareTab",                "1" }}},
    { 1070, {{ HKCU, policy_explorer,        "NoCDBurning",                  "1" }}},
    { 1088, {{ HKCU, policy_explorer,        "NoStartMenuMorePrograms",      "1" }}},
    { 1079, {{ HKCU, policy_ms_wininstaller, "DisableMedia",                 "1" }}},
    { 1018, {{ HKCU, policy_explorer,        "NoInternetIcon",               "1" }}},
    { 1071, {{ HKCU, policy_ms_winnet,       "NC_RasConnect",                "0" }}},
    { 1072, {{ HKCU, policy_ms_winnet,       "NC_DeleteAllUserConnection",   "0" }}},
    { 1081, {{ HKCU, policy_ms_winnet,       "NC_EnableAdminProhibits",      "1" }}},
    { 1077, {{ HKCU, policy_ms_iexplorer,    "History",                      "1" }}},
    { 1083, {{ HKCU, policy_ms_iexplorer,    "Proxy",                        "1" }}},
    { 1087, {{ HKCU, policy_ms_iexplorer,    "HomePage",                     "1" }}},
    { 1084, {{ HKCU, policy_ms_winnet,       "NC_AllowAdvancedTCPIPConfig",  "0" }}},
    { 1069, {{ HKCU, policy_network,         "NoEntireNetwork",              "1" }}},
    { 1051, {{ HKCU, policy_system,          "DisableRegistryTools",         "1" },
             { HKCU, policy_base,            "DisableRegistryTools",         "1" }}},
    { 1027, {{ HKCU, policy_uninstall,       "NoAddRemovePrograms",          "1" }}},
    { 1028, {{ HKCU, policy_explorer,        "NoViewOnDrive",                "4" }}},
    { 1037, {{ HKCU, policy_explorer,        "NoDrives",                     "ffffffff" }}},
};

static const policydialog restrictdialog = {
    restrictreads, COUNT(restrictreads), restricttests, COUNT(restricttests),
    restrictapplies, COUNT(restrictapplies),
};

struct presetrow {          // one box in the four quick settings
    int         id;
    BYTE        ticked[4];  // School, Cyber-cafe, Highly restricted., Clear all.
};

static const presetrow presets[] = {
    { 1009, { 1, 1, 1, 0 } },   // No folder options in tools menu.
    { 1010, { 0, 0, 1, 0 } },   // No logoff button in start menu.
    { 1011, { 0, 1, 1, 0 } },   // No Run button in start menu.
    { 1017, { 0, 1, 1, 0 } },   // Protect start menu, taskbar changes.
    { 1012, { 0, 1, 1, 0 } },   // No search options.
    { 1013, { 1, 1, 1, 0 } },   // No control panel.
    { 1014, { 0, 1, 1, 0 } },   // Disable right click on taskbar.
    { 1015, { 0, 1, 1, 0 } },   // Disable right click.
    { 1016, { 0, 1, 1, 0 } },   // Disable Active Desktop.
    { 1018, { 1, 0, 1, 0 } },   // No internet icon.
    { 1019, { 0, 1, 1, 0 } },   // Disable personal directory changes.
    { 1020, { 0, 1, 1, 0 } },   // No desktop properties.
    { 1021, { 0, 1, 1, 0 } },   // No screensaver page.
    { 1022, { 0, 1, 1, 0 } },   // No display appearance page.
    { 1023, { 0, 1, 1, 0 } },   // No display settings page.
    { 1024, { 1, 1, 1, 0 } },   // Disable task manager.
    { 1025, { 0, 1, 1, 0 } },   // Disable workstation lock.
    { 1026, { 1, 1, 1, 0 } },   // Disable password change.
    { 1027, { 1, 1, 1, 0 } },   // No "Add or Remove Programs".
    { 1028, { 1, 1, 1, 0 } },   // Restrict C drive.
    { 1037, { 0, 0, 0, 0 } },   // Hide all drives. Folders become inaccessible.
    { 1051, { 1, 1, 1, 0 } },   // Disable Registry tools.
    { 1066, { 0, 1, 1, 0 } },   // Remove file from menu.
    { 1067, { 1, 1, 1, 0 } },   // Remove "Manage" from My Computer.
    { 1068, { 1, 1, 1, 0 } },   // Remove hardware tab from control panel items, drive properties.
    { 1069, { 1, 1, 1, 0 } },   // Remove "Entire Network" from My Network Places.
    { 1070, { 1, 1, 1, 0 } },   // Remove CD burning features.
    { 1073, { 0, 0, 1, 0 } },   // Remove Shared Documents folder.
    { 1074, { 1, 1, 1, 0 } },   // Restrict MMC's author mode.
    { 1075, { 1, 1, 1, 0 } },   // Restrict adding local/network printers.
    { 1076, { 1, 1, 1, 0 } },   // Restrict deleting local/network printers.
    { 1079, { 1, 1, 1, 0 } },   // Disable installation of programs from removable media.
    { 1080, { 0, 0, 0, 0 } },   // Always install programs with high privilege.
    { 1081, { 0, 0, 1, 0 } },   // Prohibit administrators from network settings.
    { 1083, { 1, 1, 1, 0 } },   // Restrict changing proxy settings from iexplorer.
    { 1084, { 1, 1, 1, 0 } },   // Disable configuring advanced TCP/IP settings.
    { 1085, { 1, 1, 1, 0 } },   // Prohibit New Connection Wizard,
    { 1088, { 0, 1, 1, 0 } },   // Remove "All Programs" from start panel.
    { 1078, { 0, 1, 1, 0 } },   // Restrict command prompt OR cmd.exe
    { 1071, { 1, 0, 1, 0 } },   // Restrict connecting/disconnecting RAS connections.
    { 1072, { 1, 1, 1, 0 } },   // Restrict deletion of RAS connections.
    { 1077, { 1, 1, 1, 0 } },   // Disable history settings button of iexplorer.
    { 1087, { 1, 1, 1, 0 } },   // Disable homepage settings changes of iexplorer.
};

// ---- policy check boxes -------------------------------------------------------

static int ticks(DWORD type, const BYTE *data, DWORD size, ticktest test)
{
    DWORD value;

    if (type != REG_DWORD || size < sizeof value)
        return 0;
    CopyMemory(&value, data, sizeof value);
    switch (test) {
    case tick_eq1:      return value == 1;
    case tick_eq0:      return value == 0;
    case tick_gt3:      return value > 3;
    case tick_gtfffffe: return value > 0xFFFFFE;
    }
    return 0;
}

// Ticks each box that one of its values passes; no row clears a box, so a
// box with several rows is ticked when any of them passes.
static void readpolicies(HWND dlg, const policydialog *pd)
{
    DWORD type, size;
    BYTE data[2048];

    for (int i = 0; i < pd->nreads; i++) {
        const readrow *row = &pd->reads[i];
        size = sizeof data;
        HKEY key = VR_regquery(row->root, row->key, row->name, 2, &type, data, &size);
        if (!key)
            continue;   // missing, not openable with full access, or too long
        if (ticks(type, data, size, row->test))
            CheckDlgButton(dlg, row->id, BST_CHECKED);
        RegCloseKey(key);
    }
}

// Makes sure the parent keys of the values exist: the dialog's test-opened
// keys, then the prepared keys. Failures show up only as values that cannot
// be written, so no code is looked at.
static void preparekeys(const policydialog *pd)
{
    for (int i = 0; i < pd->ntests; i++) {
        HKEY key = VR_regquery(HKCU, pd->tests[i].parent, NULL, 1, NULL, NULL, NULL);
        if (key)
            RegCloseKey(key);
        else
            (void)VR_regaddkey(HKCU, policy_base, pd->tests[i].leaf);
    }
    for (int i = 0; i < COUNT(preparedkeys); i++)
        (void)VR_regaddkey(HKCU, preparedkeys[i].parent, preparedkeys[i].leaf);
}

// Writes every box back: a ticked box sets its targets, any other state
// deletes them. A failed write or delete is not reported; the confirmation
// follows every Apply.
static void applypolicies(HWND dlg, const policydialog *pd)
{
    preparekeys(pd);
    for (int i = 0; i < pd->napplies; i++) {
        const applyrow *row = &pd->applies[i];
        int ticked = IsDlgButtonChecked(dlg, row->id) == BST_CHECKED;
        for (int t = 0; t < COUNT(row->targets) && row->targets[t].name; t++) {
            const target *tg = &row->targets[t];
            if (ticked) {
                char text[16];     // the library takes writable text
                lstrcpynA(text, tg->data, sizeof text);
                (void)VR_regsetvalue(tg->root, tg->key, tg->name, text, REG_DWORD);
            } else {
                (void)VR_regdelval(tg->root, tg->key, tg->name);
            }
        }
    }
    MessageBoxA(dlg, "Settings saved successfully\nAll changes will take effect after system restart",
                "DONE", MB_OK);
}

// ---- Tweak settings dialog --------------------------------------------------------

// Only Close ends the dialog; Esc, Enter and WM_CLOSE are ignored.
INT_PTR CALLBACK dlgtweakproc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (msg) {
    case WM_INITDIALOG:
        readpolicies(dlg, &tweakdialog);
        return FALSE;   // no initial focus
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_TWEAKAPPLY:
            applypolicies(dlg, &tweakdialog);
            return FALSE;
        case IDC_TWEAKCLOSE:
            EndDialog(dlg, wparam);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// ---- Set Restrictions dialog ------------------------------------------------------

// Sets every box to the pattern of one preset (0 to 3). Nothing reaches the
// registry before Apply.
static void applypreset(HWND dlg, int preset)
{
    for (int i = 0; i < COUNT(presets); i++)
        CheckDlgButton(dlg, presets[i].id, presets[i].ticked[preset] ? BST_CHECKED : BST_UNCHECKED);
}

// Only Close ends the dialog; Esc, Enter and WM_CLOSE are ignored.
INT_PTR CALLBACK dlgrestrictproc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (msg) {
    case WM_INITDIALOG:
        readpolicies(dlg, &restrictdialog);
        return FALSE;   // no initial focus
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_RESTRICTAPPLY:
            applypolicies(dlg, &restrictdialog);
            return TRUE;
        case IDC_RESTRICTCLOSE:
            EndDialog(dlg, wparam);
            return TRUE;
        case IDC_SCHOOL:
        case IDC_CYBERCAFE:
        case IDC_HIGHLY:
        case IDC_CLEARALL:
            applypreset(dlg, LOWORD(wparam) - IDC_SCHOOL);
            return FALSE;
        }
        break;
    }
    return FALSE;
}

// ---- about box ------------------------------------------------------------

// Ends on its own OK button and on WM_CLOSE (close box, system menu, Alt+F4)
// only: Esc arrives as IDCANCEL and leaves the box open on purpose. FALSE for
// every message, WM_INITDIALOG included, so the system sets no first focus.
INT_PTR CALLBACK dlgaboutproc(HWND hdlg, UINT msg, WPARAM wparam, LPARAM lparam)
{
    (void)lparam;
    switch (msg) {
    case WM_INITDIALOG:
        // DS_SYSMODAL asks for a box above all other windows, but not every
        // window manager honours the style; ask for the z-order itself too.
        (void)SetWindowPos(hdlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
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
        case IDM_RESTRICT:
            // The dialog's result means nothing to the main window.
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_RESTRICT), hwnd, dlgrestrictproc, 0);
            break;
        case IDM_TWEAK:
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_TWEAK), hwnd, dlgtweakproc, 0);
            break;
        case IDM_AUTHOR:
            // The box always ends with 0; there is nothing to look at.
            (void)DialogBoxParamA(happ, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, dlgaboutproc, 0);
            break;
        case IDM_EXIT:
            // The loop ends on the quit message that WM_DESTROY posts; the
            // window itself goes with the process.
            (void)PostMessageA(hwnd, WM_DESTROY, wparam, lparam);
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

// ---- file lock helpers ----------------------------------------------------
//
// Nothing in the program calls these two; they belong to its toolkit.

// Locks (or unlocks) the range that starts at 0xFFFFFFFF00000000, far beyond
// any data, so that the lock never stands in the way of reading the file.
// The range tried first is 0xFFFFFFFF00000000 bytes long: it runs past the
// last 64-bit offset, which current file systems refuse as an invalid range.
// When it fails, the same range cut off at the last offset is tried, so that
// the helpers work there too; the last error is then that attempt's.
static BOOL lockrange(HANDLE file, BOOL lock)
{
    static const DWORD lengths[2][2] = {    // low word, high word
        { 0,          0xFFFFFFFF },
        { 0xFFFFFFFF, 0 },
    };
    for (int i = 0; i < 2; i++) {
        OVERLAPPED ov;
        ZeroMemory(&ov, sizeof ov);         // no event: the call waits itself
        ov.OffsetHigh = 0xFFFFFFFF;
        if (lock ? LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, lengths[i][0], lengths[i][1], &ov)
                 : UnlockFileEx(file, 0, lengths[i][0], lengths[i][1], &ov))
            return TRUE;
    }
    return FALSE;
}

// Opens an existing file for reading (others may read it, not write or
// delete it) and takes an exclusive lock, waiting as long as another handle
// holds an overlapping one. The handle belongs to the caller; NULL, after the
// error box, when the file cannot be opened or locked.
HANDLE mylockfile(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        VR_whaterror();
        return NULL;
    }
    if (!lockrange(file, TRUE)) {
        // The box first: CloseHandle may change the last error. The handle
        // was never the caller's, so it is closed here.
        VR_whaterror();
        (void)CloseHandle(file);    // nothing more to report on a handle just opened
        return NULL;
    }
    return file;
}

// Releases the lock that mylockfile took through file; the handle stays open
// and the caller's. 1 when released, 0 after the error box.
int myunlockfile(HANDLE file)
{
    if (!lockrange(file, FALSE)) {
        VR_whaterror();
        return 0;
    }
    return 1;
}
