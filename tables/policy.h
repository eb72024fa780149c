// The policy tables of both dialogs, and the routines that walk them: the
// program's dialogs, tolvctl and the benchmark's floors all include this one
// header, so that none of them types a table of its own. Every order below
// is the order that binds: reads at open, key preparation and Apply.
#ifndef POLICY_H
#define POLICY_H

#include <windows.h>

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

// ---- row types -------------------------------------------------------------

// How a value read at open decides its box: it must be a REG_DWORD of at
// least four bytes whose first four, as an unsigned number, pass the test.
// tick_autoplay passes the two numbers with which Windows turns Autoplay
// off: 0xB5 (CD-ROM and removable drives) and 0xFF (all drives).
enum ticktest : BYTE { tick_eq1, tick_eq0, tick_gt3, tick_gtfffffe, tick_autoplay };

// Who makes the key of a value that Apply sets.
enum keyrule {
    keys_ready,             // there already, or made by the key preparation
    keys_made,              // made by Apply itself when it sets the value
    keys_kept,              // never made: the value is written only where its key is
};

struct boxrow {             // one check box, in template order
    int         id;
    const char *name;       // short and stable, for the command line
    const char *caption;    // the box's text in its template
    const char *remark;     // what tolvctl list adds about it, or NULL
};

struct readrow {            // one value read when a dialog opens
    int         id;         // check box that it may tick
    HKEY        root;
    const char *key;        // a policy_... constant or a literal path
    const char *name;       // value name
    ticktest    test;
    BYTE        readonly;   // read without write access: Apply never writes it
};

struct target {             // one value that Apply sets or deletes
    HKEY        root;
    const char *key;
    const char *name;
    const char *data;       // hexadecimal text written as REG_DWORD when ticked;
                            // NULL: deleted when clear, left alone when ticked
};

struct keyplace {           // a key that is not there for every Apply
    HKEY        root;
    const char *key;
    keyrule     keys;
};

struct applyrow {           // one step of Apply, decided by one box
    int         id;
    target      targets[2]; // in the order written; an unused one has no name
};

struct keyrow {             // one key that Apply makes sure of
    const char *parent;     // under HKEY_CURRENT_USER
    const char *leaf;
};

struct presetrow {          // one box in the four quick settings
    int         id;
    BYTE        ticked[4];  // School, Cyber-cafe, Highly restricted., Clear all.
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

// The rows leave their last members out where they are 0 or NULL: no
// remark, read with full access, a key that is there. (Default member
// initializers would say the same, but would make the tables code that
// runs at start-up, which tolvctl's own entry point never runs.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// ---- both dialogs ------------------------------------------------------------

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

// The four quick settings of Set Restrictions, in the order of their
// buttons and of presetrow.ticked.
static const char *const presetnames[4] = { "school", "cyber-cafe", "highly-restricted", "clear-all" };

// ---- Tweak settings ----------------------------------------------------------

static const boxrow tweakboxes[] = {
    // id   name                          caption
    { 1001, "no-autoplay",                "Turn off autoplay feature." },
    { 1002, "clear-recent-docs",          "Clear recent docs on system restart" },
    { 1003, "no-recent-docs",             "No recent docs history." },
    { 1004, "clear-page-file",            "Clear page file on system restart." },
    { 1034, "no-windows-update",          "Turn off windows update." },
    { 1087, "no-thumbnail-cache",         "Make thumbnail views non-cacheable." },
    { 1088, "no-user-tracking",           "No user tracking." },
    { 1089, "run-in-separate-memory",     "Add \"Run in Separate Memory Space\" in Run dialog." },
    { 1090, "no-frequent-programs",       "Remove most frequently used program list from start menu." },
    { 1091, "no-tray-items",              "Don't display tray items." },
    { 1092, "no-start-menu-balloons",     "No balloon tips on start menu." },
    { 1093, "no-tray-clock",              "No clock on tray." },
    { 1094, "grey-unavailable-programs",  "Grey start menu's unavailable windows installer programs." },
    { 1095, "always-unload-dlls",         "Always unload DLLs." },
    { 1096, "show-super-hidden",          "Show super hidden files." },
    { 1097, "hide-file-extensions",       "Hide file extensions." },
    { 1098, "no-windows-keys",            "Disable Windows + ? keys." },
    { 1099, "no-recycle-bin",             "No Recycle Bin on desktop." },
    { 1100, "no-16-bit-programs",         "Prevent execution of 16-bit Applications." },
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
    { 1001, HKCU, policy_explorer,  "NoDriveTypeAutoRun",                      tick_autoplay },
    { 1003, HKCU, policy_explorer,  "NoRecentDocsMenu",                        tick_eq1 },
    { 1098, HKCU, policy_explorer,  "NoWinKeys",                               tick_eq1 },
    { 1091, HKCU, policy_explorer,  "NoTrayItemDisplay",                       tick_eq1 },
    { 1004, HKLM, system_ccs_mm,    "ClearPageFileAtShutdown",                 tick_eq1 },
    { 1004, HKLM, system_ccs001_mm, "ClearPageFileAtShutdown",                 tick_eq1 },
    { 1095, HKLM, shell_explorer,   "AlwaysUnloadDll",                         tick_eq1 },
    { 1097, HKCU, shell_advanced,   "HideFileExt",                             tick_eq1 },
    { 1096, HKCU, shell_advanced,   "ShowSuperHidden",                         tick_eq1 },
    { 1100, HKLM, policy_ms_winapp, "VDMDisallowed",                           tick_eq1 },
};

static const keyrow tweaktests[] = {
    { policy_explorer, "Explorer" },
    { policy_network,  "Network" },
};

// Windows reads "NoTrayItemsDisplay"; earlier versions wrote
// "NoTrayItemDisplay", which no Windows reads: a clear box deletes it too.
static const applyrow tweakapplies[] = {
    // id     root  key               value name                                 data  key
    { 1001, {{ HKCU, policy_explorer,  "NoDriveTypeAutoRun",                      "ff" }}},
    { 1088, {{ HKCU, policy_explorer,  "NoInstrumentation",                       "1" }}},
    { 1002, {{ HKCU, policy_explorer,  "ClearRecentDocsOnExit",                   "1" }}},
    { 1003, {{ HKCU, policy_explorer,  "NoRecentDocsMenu",                        "1" }}},
    { 1099, {{ HKCU, policy_nonenum,   "{645FF040-5081-101B-9F08-00AA002F954E}",  "1" }}},
    { 1089, {{ HKCU, policy_explorer,  "MemCheckBoxInRunDlg",                     "1" }}},
    { 1092, {{ HKCU, policy_explorer,  "NoSMBalloonTip",                          "1" }}},
    { 1090, {{ HKCU, policy_explorer,  "NoStartMenuMFUprogramsList",              "1" }}},
    { 1093, {{ HKCU, policy_explorer,  "HideClock",                               "1" }}},
    { 1091, {{ HKCU, policy_explorer,  "NoTrayItemsDisplay",                      "1" },
             { HKCU, policy_explorer,  "NoTrayItemDisplay",                       NULL }}},
    { 1087, {{ HKCU, policy_explorer,  "NoThumbnailCache",                        "1" }}},
    { 1094, {{ HKCU, policy_explorer,  "GreyMSIAds",                              "1" }}},
    { 1098, {{ HKCU, policy_explorer,  "NoWinKeys",                               "1" }}},
    { 1100, {{ HKLM, policy_ms_winapp, "VDMDisallowed",                           "1" }}},
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

// ---- Set Restrictions --------------------------------------------------------

static const boxrow restrictboxes[] = {
    // id   name                          caption
    { 1009, "no-folder-options",          "No folder options in tools menu." },
    { 1010, "no-log-off",                 "No logoff button in start menu." },
    { 1011, "no-run-button",              "No Run button in start menu." },
    { 1017, "no-taskbar-changes",         "Protect start menu, taskbar changes." },
    { 1012, "no-search",                  "No search options." },
    { 1013, "no-control-panel",           "No control panel." },
    { 1014, "no-taskbar-context-menu",    "Disable right click on taskbar." },
    { 1015, "no-context-menu",            "Disable right click." },
    { 1016, "no-active-desktop",          "Disable Active Desktop." },
    { 1018, "no-internet-icon",           "No internet icon." },
    { 1019, "no-personal-folder-changes", "Disable personal directory changes." },
    { 1020, "no-desktop-properties",      "No desktop properties." },
    { 1021, "no-screensaver-page",        "No screensaver page." },
    { 1022, "no-appearance-page",         "No display appearance page." },
    { 1023, "no-display-settings-page",   "No display settings page." },
    { 1024, "no-task-manager",            "Disable task manager." },
    { 1025, "no-workstation-lock",        "Disable workstation lock." },
    { 1026, "no-password-change",         "Disable password change." },
    { 1027, "no-add-remove-programs",     "No \"Add or Remove Programs\"." },
    { 1028, "restrict-c-drive",           "Restrict C drive." },
    { 1037, "hide-all-drives",            "Hide all drives. Folders become inaccessible." },
    { 1051, "no-registry-tools",          "Disable Registry tools." },
    { 1066, "no-file-menu",               "Remove file from menu." },
    { 1067, "no-manage-verb",             "Remove \"Manage\" from My Computer." },
    { 1068, "no-hardware-tab",            "Remove hardware tab from control panel items, drive properties." },
    { 1069, "no-entire-network",          "Remove \"Entire Network\" from My Network Places." },
    { 1070, "no-cd-burning",              "Remove CD burning features." },
    { 1073, "no-shared-documents",        "Remove Shared Documents folder." },
    { 1074, "no-mmc-author-mode",         "Restrict MMC's author mode." },
    { 1075, "no-add-printer",             "Restrict adding local/network printers." },
    { 1076, "no-delete-printer",          "Restrict deleting local/network printers." },
    { 1079, "no-removable-media-installs", "Disable installation of programs from removable media." },
    { 1080, "always-install-elevated",    "Always install programs with high privilege.",
      "Windows Installer elevates only when this user value and the computer's own AlwaysInstallElevated "
      "are both 1; Tolvane writes the user value alone, since the pair lets any user install with system "
      "rights" },
    { 1081, "no-admin-network-settings",  "Prohibit administrators from network settings." },
    { 1083, "no-proxy-changes",           "Restrict changing proxy settings from iexplorer." },
    { 1084, "no-advanced-tcpip",          "Disable configuring advanced TCP/IP settings." },
    { 1085, "no-new-connection-wizard",   "Prohibit New Connection Wizard," },
    { 1088, "no-all-programs",            "Remove \"All Programs\" from start panel." },
    { 1078, "no-command-prompt",          "Restrict command prompt OR cmd.exe" },
    { 1071, "no-ras-connect",             "Restrict connecting/disconnecting RAS connections." },
    { 1072, "no-ras-delete",              "Restrict deletion of RAS connections." },
    { 1077, "no-history-settings",        "Disable history settings button of iexplorer." },
    { 1087, "no-homepage-changes",        "Disable homepage settings changes of iexplorer." },
};

// Set Restrictions. The printer boxes tick on the user's value, which Apply
// writes, or on the machine-wide one, which it never changes and reads
// without write access; "DisableRegistryTools" stands under two keys.
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
    { 1075, HKCU, policy_explorer,        "NoAddPrinter",                 tick_eq1 },
    { 1075, HKLM, policy_explorer,        "NoAddPrinter",                 tick_eq1, 1 },
    { 1076, HKCU, policy_explorer,        "NoDeletePrinter",              tick_eq1 },
    { 1076, HKLM, policy_explorer,        "NoDeletePrinter",              tick_eq1, 1 },
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
    { 1083, HKCU, policy_ms_iexplorer,    "Proxy",                        tick_eq1 },
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

// The keys of values that no preparation makes: Apply makes the first ones
// itself, each below "Software", when it sets a value there; no Windows has
// the last one, so the value in it is written only where it is.
static const keyplace keyplaces[] = {
    { HKCU, policy_nonenum,      keys_made },
    { HKCU, policy_uninstall,    keys_made },
    { HKCU, policy_ms_iexplorer, keys_made },
    { HKLM, policy_ms_winapp,    keys_made },
    { HKLM, system_ccs001_mm,    keys_kept },
};

// The quick settings: every box of the dialog, each set to the pattern of
// the chosen preset.
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

// ---- the boxes of both dialogs, for the command line ----------------------------

struct dialogboxes {
    const char         *name;       // as in tweak.1001 and restrict.1009
    const char         *caption;    // the dialog's caption in its template
    const policydialog *tables;
    const boxrow       *boxes;
    int                 nboxes;
};

static const dialogboxes alldialogs[] = {
    { "tweak", "Tweak settings.", &tweakdialog, tweakboxes, COUNT(tweakboxes) },
    { "restrict", "Set Restrictions.", &restrictdialog, restrictboxes, COUNT(restrictboxes) },
};

#pragma GCC diagnostic pop

// ---- the walks -------------------------------------------------------------------

// The tick test of one value as read: type, data and the number of bytes.
inline int ticks(DWORD type, const BYTE *data, DWORD size, ticktest test)
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
    case tick_autoplay: return value == 0xB5 || value == 0xFF;
    }
    return 0;
}

// Who makes the key of a target. The rows name keys by the constants
// above, so that one key is one address.
inline keyrule keyruleof(const target *t)
{
    for (int i = 0; i < COUNT(keyplaces); i++)
        if (keyplaces[i].root == t->root && keyplaces[i].key == t->key)
            return keyplaces[i].keys;
    return keys_ready;
}

// Makes sure of the parent keys before an Apply, under HKEY_CURRENT_USER:
// each test-opened key that does not open gets its leaf created under
// policy_base, then the prepared keys are created in order. The caller's
// opens() says whether a key opens; addkey() creates parent\leaf.
inline void walkprepare(const policydialog *pd, void *context,
                        int (*opens)(void *context, const char *path),
                        void (*addkey)(void *context, const char *parent, const char *leaf))
{
    for (int i = 0; i < pd->ntests; i++)
        if (!opens(context, pd->tests[i].parent))
            addkey(context, policy_base, pd->tests[i].leaf);
    for (int i = 0; i < COUNT(preparedkeys); i++)
        addkey(context, preparedkeys[i].parent, preparedkeys[i].leaf);
}

// Walks the apply list in its order. state() gives each row's box as 1
// (ticked: every target with data is set), 0 (clear: every target is
// deleted) or -1 (the row is left alone); write() then acts on each of the
// row's targets, in the row's order.
inline void walkapply(const policydialog *pd, void *context,
                      int (*state)(void *context, int id),
                      void (*write)(void *context, const target *t, int ticked))
{
    for (int i = 0; i < pd->napplies; i++) {
        const applyrow *row = &pd->applies[i];
        int ticked = state(context, row->id);
        if (ticked < 0)
            continue;
        for (int t = 0; t < COUNT(row->targets) && row->targets[t].name; t++)
            if (!ticked || row->targets[t].data)
                write(context, &row->targets[t], ticked);
    }
}

#endif
