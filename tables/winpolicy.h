// What Windows' own policy templates (the ADMX files of a central store and
// their en-US ADML texts) say of each registry value that a setting writes
// or reads: the policy that writes it, its place in the Group Policy editor
// and the Windows versions that the template lists it for. tolvctl alone
// carries this table; the program's dialogs include policy.h only.
#ifndef WINPOLICY_H
#define WINPOLICY_H

#include <windows.h>
#include "policy.h"

// The Windows versions that a supportedOn text can name, oldest first. Each
// server shares the number of its client: Server 2003 is 5.2, 2008 is 6.0,
// 2008 R2 6.1, 2012 6.2, 2012 R2 6.3, 2016 and later 10.0. Windows 11 is 10.0
// with build 22000 or above.
enum winversion { win2000, winxp, win2003, winvista, win7, win8, win81, win10, win11, nwinversions };

#define ONLY(v)         (1u << (v))
#define FROM(v)         (((1u << nwinversions) - 1) & ~((1u << (v)) - 1))
#define THROUGH(v)      ((1u << ((v) + 1)) - 1)

struct winsupport {             // one supportedOn text of the templates
    const char *definition;     // its definition, as a template refers to it
    const char *text;           // exactly as the en-US ADML has it
    WORD        listed;         // a bit per winversion that the text lists
};

struct winpolicy {              // one registry value of a setting
    HKEY              root;
    const char       *key;
    const char       *name;
    const char       *file;     // the template that defines it; NULL: none does
    const char       *policy;   // the policy's name in the template
    const char       *display;  // its English name; with no template, what the value is
    const char       *path;     // where the editor shows it; NULL with no template
    const winsupport *support;  // NULL with no template
    const char       *enables;  // how Windows' policy enables the value, where that is
                                // not what Tolvane writes; NULL where it is
};

// The versions by name, as notes name the running one.
static const char *const winversionnames[nwinversions] = {
    "Windows 2000", "Windows XP", "Windows Server 2003", "Windows Vista", "Windows 7", "Windows 8",
    "Windows 8.1", "Windows 10", "Windows 11",
};

// ---- the templates' word, from the ADMX and en-US ADML files of a Windows 11 central store ----

// Where the Group Policy editor shows each policy.
static const char gp_user_startmenuandtaskbar[] = "User Configuration\\Administrative Templates\\Start Menu and Taskbar";
static const char gp_user_desktop[] = "User Configuration\\Administrative Templates\\Desktop";
static const char gp_user_fileexplorer[] = "User Configuration\\Administrative Templates\\Windows Components\\File Explorer";
static const char gp_user_system[] = "User Configuration\\Administrative Templates\\System";
static const char gp_user_autoplaypolicies[] = "User Configuration\\Administrative Templates\\Windows Components\\AutoPlay Policies";
static const char gp_machine_applicationcompatibility[] = "Computer Configuration\\Administrative Templates\\Windows Components\\Application Compatibility";
static const char gp_user_controlpanel[] = "User Configuration\\Administrative Templates\\Control Panel";
static const char gp_user_desktop_desktop[] = "User Configuration\\Administrative Templates\\Desktop\\Desktop";
static const char gp_user_microsoftmanagementconsole[] = "User Configuration\\Administrative Templates\\Windows Components\\Microsoft Management Console";
static const char gp_user_personalization[] = "User Configuration\\Administrative Templates\\Control Panel\\Personalization";
static const char gp_user_display[] = "User Configuration\\Administrative Templates\\Control Panel\\Display";
static const char gp_user_windowsinstaller[] = "User Configuration\\Administrative Templates\\Windows Components\\Windows Installer";
static const char gp_user_ctrlaltdeloptions[] = "User Configuration\\Administrative Templates\\System\\Ctrl+Alt+Del Options";
static const char gp_user_addorremoveprograms[] = "User Configuration\\Administrative Templates\\Control Panel\\Add or Remove Programs";
static const char gp_user_networkconnections[] = "User Configuration\\Administrative Templates\\Network\\Network Connections";
static const char gp_user_internetexplorer[] = "User Configuration\\Administrative Templates\\Windows Components\\Internet Explorer";
static const char gp_user_deletebrowsinghistory[] = "User Configuration\\Administrative Templates\\Windows Components\\Internet Explorer\\Delete Browsing History";
static const char gp_user_printers[] = "User Configuration\\Administrative Templates\\Control Panel\\Printers";

// Each supportedOn text, as the ADML has it, and the versions it lists.
static const winsupport
    so_win2k = { "windows:SUPPORTED_Win2k",
        "At least Windows 2000",
        FROM(win2000) },
    so_windowsxporserveronly = { "windows:SUPPORTED_WindowsXPOrServerOnly",
        "Windows Server 2003 and Windows XP only",
        ONLY(winxp) | ONLY(win2003) },
    so_windowsvistato2k = { "windows:SUPPORTED_WindowsVistaTo2k",
        "Windows Server 2008, Windows Server 2003, Windows Vista, Windows XP, and Windows 2000",
        THROUGH(winvista) },
    so_windowsxp = { "windows:SUPPORTED_WindowsXP",
        "At least Windows Server 2003 operating systems or Windows XP Professional",
        FROM(winxp) },
    so_windows7toxpandwindows10 = { "windows:SUPPORTED_Windows7ToXPAndWindows10",
        "Windows Server 2008, Windows Server 2003, Windows 7, Windows Vista, Windows XP, and Windows 10",
        (THROUGH(win7) & ~ONLY(win2000)) | ONLY(win10) },
    so_windows7to2k = { "windows:SUPPORTED_Windows7To2k",
        "Windows Server 2008, Windows Server 2003, Windows 7, Windows Vista, Windows XP, and Windows 2000",
        THROUGH(win7) },
    so_windowsxponly = { "windows:SUPPORTED_WindowsXPOnly",
        "Windows XP Professional only",
        ONLY(winxp) },
    so_windows81to2k = { "windows:SUPPORTED_Windows81To2k",
        "At least Windows 2000 through Windows 8.1 or Windows Server 2012 R2",
        THROUGH(win81) },
    so_windowsnet = { "windows:SUPPORTED_WindowsNET",
        "At least Windows Server 2003",
        FROM(win2003) },
    so_windows_6_3to2k = { "windows:SUPPORTED_Windows_6_3To2k",
        "Windows Server 2012 R2, Windows 8.1, Windows RT 8.1, Windows Server 2008, Windows Server 2003, Windows 7, Windows Vista, Windows XP, and Windows 2000",
        THROUGH(win7) | ONLY(win81) },
    so_windowsprevista = { "windows:SUPPORTED_WindowsPreVista",
        "Windows Server 2003, Windows XP, and Windows 2000 only",
        THROUGH(win2003) },
    so_windows_10_0 = { "windows:SUPPORTED_Windows_10_0",
        "At least Windows Server 2016, Windows 10",
        FROM(win10) },
    so_win2ksp1_windowsprevista = { "SUPPORTED_Win2kSP1_WindowsPreVista",
        "Microsoft Windows Server 2003, Windows XP, and Windows 2000 Service Pack 1 operating systems only",
        THROUGH(win2003) },
    so_ie5 = { "SUPPORTED_IE5",
        "At least Internet Explorer 5.0",
        FROM(win2000) },
    so_windowsnet_xp = { "windows:SUPPORTED_WindowsNET_XP",
        "Windows Server 2003 and Windows XP only",
        ONLY(winxp) | ONLY(win2003) },
    so_win2ksp1 = { "windows:SUPPORTED_Win2kSP1",
        "At least Windows 2000 Service Pack 1",
        FROM(win2000) };

// A row leaves out what it does not have: a value that no template
// defines ends after what it is, one enabled as Tolvane writes it after
// its supportedOn text.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
static const winpolicy winpolicies[] = {
    { HKCU, policy_explorer, "MemCheckBoxInRunDlg", "StartMenu.admx", "MemCheckBoxInRunDlg", "Add \"Run in Separate Memory Space\" check box to Run dialog box",
      gp_user_startmenuandtaskbar, &so_win2k },
    { HKCU, policy_explorer, "NoSMBalloonTip", "StartMenu.admx", "NoBalloonTip", "Remove Balloon Tips on Start Menu items",
      gp_user_startmenuandtaskbar, &so_windowsxporserveronly },
    { HKCU, policy_explorer, "NoInstrumentation", "StartMenu.admx", "NoInstrumentation", "Turn off user tracking",
      gp_user_startmenuandtaskbar, &so_windowsvistato2k },
    { HKCU, policy_nonenum, "{645FF040-5081-101B-9F08-00AA002F954E}", "Desktop.admx", "NoRecycleBinIcon", "Remove Recycle Bin icon from desktop",
      gp_user_desktop, &so_windowsxp },
    { HKCU, policy_explorer, "NoStartMenuMFUprogramsList", "StartMenu.admx", "NoFrequentUsedPrograms", "Remove frequent programs list from the Start Menu",
      gp_user_startmenuandtaskbar, &so_windows7toxpandwindows10 },
    { HKCU, policy_explorer, "HideClock", "StartMenu.admx", "NoTaskBarClock", "Remove Clock from the system notification area",
      gp_user_startmenuandtaskbar, &so_windowsxp },
    { HKCU, policy_explorer, "NoTrayItemsDisplay", "StartMenu.admx", "NoTrayItemsDisplay", "Hide the notification area",
      gp_user_startmenuandtaskbar, &so_windowsxp },
    { HKCU, policy_explorer, "NoThumbnailCache", "WindowsExplorer.admx", "NoCacheThumbNailPictures", "Turn off caching of thumbnail pictures",
      gp_user_fileexplorer, &so_windowsxp },
    { HKCU, policy_explorer, "GreyMSIAds", "StartMenu.admx", "GreyMSIAds", "Gray unavailable Windows Installer programs Start Menu shortcuts",
      gp_user_startmenuandtaskbar, &so_windows7to2k },
    { HKCU, policy_explorer, "ClearRecentDocsOnExit", "StartMenu.admx", "ClearRecentDocsOnExit", "Clear history of recently opened documents on exit",
      gp_user_startmenuandtaskbar, &so_win2k },
    { HKCU, policy_explorer, "NoAutoUpdate", "WindowsUpdate.admx", "NoAutoUpdate", "Windows Automatic Updates",
      gp_user_system, &so_windowsxponly },
    { HKCU, policy_explorer, "NoWindowsUpdate", "StartMenu.admx", "NoWindowsUpdate", "Remove links and access to Windows Update",
      gp_user_startmenuandtaskbar, &so_windows81to2k },
    { HKCU, policy_explorer, "NoDriveTypeAutoRun", "AutoPlay.admx", "Autorun", "Turn off Autoplay",
      gp_user_autoplaypolicies, &so_win2k, "0xb5 (CD-ROM and removable media drives) or 0xff (all drives)" },
    { HKCU, policy_explorer, "NoRecentDocsMenu", "StartMenu.admx", "NoRecentDocsMenu", "Remove Recent Items menu from Start Menu",
      gp_user_startmenuandtaskbar, &so_windows7to2k },
    { HKCU, policy_explorer, "NoWinKeys", "WindowsExplorer.admx", "NoWindowsHotKeys", "Turn off Windows Key hotkeys",
      gp_user_fileexplorer, &so_windowsnet },
    { HKCU, policy_explorer, "NoTrayItemDisplay", NULL, NULL, "a value that no Windows reads: Windows reads NoTrayItemsDisplay" },
    { HKLM, system_ccs_mm, "ClearPageFileAtShutdown", NULL, NULL, "the security option \"Shutdown: Clear virtual memory pagefile\"" },
    { HKLM, system_ccs001_mm, "ClearPageFileAtShutdown", NULL, NULL, "a value that no Windows reads: no Windows has CurrentControlSet001" },
    { HKLM, shell_explorer, "AlwaysUnloadDll", NULL, NULL, "an Explorer setting that no template defines" },
    { HKCU, shell_advanced, "HideFileExt", NULL, NULL, "an Explorer preference: Folder Options, \"Hide extensions for known file types\"" },
    { HKCU, shell_advanced, "ShowSuperHidden", NULL, NULL, "an Explorer preference: Folder Options, \"Hide protected operating system files\"" },
    { HKLM, policy_ms_winapp, "VDMDisallowed", "AppCompat.admx", "AppCompatPrevent16BitMach", "Prevent access to 16-bit applications",
      gp_machine_applicationcompatibility, &so_windowsnet },
    { HKCU, policy_explorer, "NoFolderOptions", "WindowsExplorer.admx", "NoFolderOptions", "Do not allow Folder Options to be opened from the Options button on the View tab of the ribbon",
      gp_user_fileexplorer, &so_win2k },
    { HKCU, policy_explorer, "StartMenuLogOff", "StartMenu.admx", "StartMenuLogOff", "Remove Logoff on the Start Menu",
      gp_user_startmenuandtaskbar, &so_win2k },
    { HKCU, policy_explorer, "NoRun", "StartMenu.admx", "NoRun", "Remove Run menu from Start Menu",
      gp_user_startmenuandtaskbar, &so_windows_6_3to2k },
    { HKCU, policy_explorer, "NoSetTaskbar", "StartMenu.admx", "NoSetTaskbar", "Prevent changes to Taskbar and Start Menu Settings",
      gp_user_startmenuandtaskbar, &so_win2k },
    { HKCU, policy_explorer, "NoFind", "StartMenu.admx", "NoFind", "Remove Search link from Start Menu",
      gp_user_startmenuandtaskbar, &so_windowsxporserveronly },
    { HKCU, policy_explorer, "NoShellSearchButton", "WindowsExplorer.admx", "NoShellSearchButton", "Remove Search button from File Explorer",
      gp_user_fileexplorer, &so_windowsprevista },
    { HKCU, policy_explorer, "NoControlPanel", "ControlPanel.admx", "NoControlPanel", "Prohibit access to Control Panel and PC settings",
      gp_user_controlpanel, &so_win2k },
    { HKCU, policy_explorer, "NoViewContextMenu", "WindowsExplorer.admx", "NoViewContextMenu", "Remove File Explorer's default context menu",
      gp_user_fileexplorer, &so_win2k },
    { HKCU, policy_explorer, "NoTrayContextMenu", "StartMenu.admx", "NoTrayContextMenu", "Remove access to the context menus for the taskbar",
      gp_user_startmenuandtaskbar, &so_win2k },
    { HKCU, policy_explorer, "NoActiveDesktop", "Desktop.admx", "NoActiveDesktop", "Disable Active Desktop",
      gp_user_desktop_desktop, &so_windowsprevista },
    { HKCU, policy_explorer, "DisablePersonalDirChange", "Desktop.admx", "DisablePersonalDirChange", "Prohibit User from manually redirecting Profile Folders",
      gp_user_desktop, &so_win2k },
    { HKCU, policy_explorer, "NoFileMenu", "WindowsExplorer.admx", "NoFileMenu", "Remove File menu from File Explorer",
      gp_user_fileexplorer, &so_win2k },
    { HKCU, policy_explorer, "NoManageMyComputerVerb", "WindowsExplorer.admx", "NoManageMyComputerVerb", "Hides the Manage item on the File Explorer context menu",
      gp_user_fileexplorer, &so_win2k },
    { HKCU, policy_explorer, "NoSharedDocuments", "WindowsExplorer.admx", "NoMyComputerSharedDocuments", "Remove Shared Documents from My Computer",
      gp_user_fileexplorer, &so_windowsxponly },
    { HKCU, policy_ms_mmc, "RestrictAuthorMode", "MMC.admx", "MMC_Restrict_Author", "Restrict the user from entering author mode",
      gp_user_microsoftmanagementconsole, &so_win2k },
    { HKLM, policy_explorer, "NoAddPrinter", NULL, NULL, "a machine-wide copy of the user policy \"Prevent addition of printers\", which Explorer reads too" },
    { HKLM, policy_explorer, "NoDeletePrinter", NULL, NULL, "a machine-wide copy of the user policy \"Prevent deletion of printers\", which Explorer reads too" },
    { HKCU, policy_system, "NoDispBackgroundPage", "ControlPanelDisplay.admx", "CPL_Personalization_NoDesktopIconsUI", "Prevent changing desktop icons",
      gp_user_personalization, &so_win2k },
    { HKCU, policy_system, "NoDispAppearancePage", "ControlPanelDisplay.admx", "CPL_Personalization_NoColorAppearanceUI", "Prevent changing color and appearance",
      gp_user_personalization, &so_win2k },
    { HKCU, policy_system, "NoDispSettingsPage", "ControlPanelDisplay.admx", "CPL_Display_HideSettings", "Hide Settings tab",
      gp_user_display, &so_windowsprevista },
    { HKCU, policy_ms_wininstaller, "AlwaysInstallElevated", "MSI.admx", "AlwaysInstallElevated", "Always install with elevated privileges",
      gp_user_windowsinstaller, &so_win2k },
    { HKCU, policy_system, "NoDispScrSavPage", "ControlPanelDisplay.admx", "CPL_Personalization_NoScreenSaverUI", "Prevent changing screen saver",
      gp_user_personalization, &so_win2k },
    { HKCU, policy_system, "DisableTaskMgr", "CtrlAltDel.admx", "DisableTaskMgr", "Remove Task Manager",
      gp_user_ctrlaltdeloptions, &so_win2k },
    { HKCU, policy_system, "DisableLockWorkstation", "CtrlAltDel.admx", "DisableLockComputer", "Remove Lock Computer",
      gp_user_ctrlaltdeloptions, &so_win2k },
    { HKCU, policy_system, "DisableChangePassword", "CtrlAltDel.admx", "DisableChangePassword", "Remove Change Password",
      gp_user_ctrlaltdeloptions, &so_win2k },
    { HKCU, policy_uninstall, "NoAddRemovePrograms", "AddRemovePrograms.admx", "NoAddRemovePrograms", "Remove Add or Remove Programs",
      gp_user_addorremoveprograms, &so_windowsprevista },
    { HKCU, policy_explorer, "NoViewOnDrive", "WindowsExplorer.admx", "NoViewOnDrive", "Prevent access to drives from My Computer",
      gp_user_fileexplorer, &so_win2k, "a choice of drives: 0x3, 0x4 (drive C), 0x8, 0x7, 0xf or 0x3ffffff (all drives)" },
    { HKCU, policy_explorer, "NoDrives", "WindowsExplorer.admx", "NoDrives", "Hide these specified drives in My Computer",
      gp_user_fileexplorer, &so_win2k, "a choice of drives: 0x3, 0x4, 0x8, 0x7, 0xf or 0x3ffffff (all drives)" },
    { HKCU, policy_system, "DisableRegistryTools", "Shell-CommandPrompt-RegEditTools.admx", "DisableRegedit", "Prevent access to registry editing tools",
      gp_user_system, &so_win2k, "0x2, or 0x1 to let regedit still run silently" },
    { HKCU, policy_base, "DisableRegistryTools", NULL, NULL, "a value that no Windows reads: Windows reads it under Policies\\System" },
    { HKCU, policy_explorer, "NoHardwareTab", "WindowsExplorer.admx", "NoHardwareTab", "Remove Hardware tab",
      gp_user_fileexplorer, &so_win2k },
    { HKCU, policy_explorer, "NoCDBurning", "WindowsExplorer.admx", "NoCDBurning", "Remove CD Burning features",
      gp_user_fileexplorer, &so_windowsxp },
    { HKCU, policy_explorer, "NoStartMenuMorePrograms", "StartMenu.admx", "NoMoreProgramsList", "Remove All Programs list from the Start menu",
      gp_user_startmenuandtaskbar, &so_windows_10_0, "0x1 (remove), 0x2 or 0x3 (collapse)" },
    { HKCU, policy_ms_wininstaller, "DisableMedia", "MSI.admx", "DisableMedia", "Prevent removable media source for any installation",
      gp_user_windowsinstaller, &so_win2k },
    { HKCU, policy_explorer, "NoInternetIcon", "Desktop.admx", "NoInternetIcon", "Hide Internet Explorer icon on desktop",
      gp_user_desktop, &so_win2k },
    { HKCU, policy_ms_winnet, "NC_NewConnectionWizard", "NetworkConnections.admx", "NC_NewConnectionWizard", "Prohibit access to the New Connection Wizard",
      gp_user_networkconnections, &so_win2ksp1_windowsprevista },
    { HKCU, policy_ms_winnet, "NC_DeleteAllUserConnection", "NetworkConnections.admx", "NC_DeleteAllUserConnection", "Ability to delete all user remote access connections",
      gp_user_networkconnections, &so_windowsprevista, "0x1, which allows; the 0 that Tolvane writes is the policy disabled" },
    { HKCU, policy_ms_iexplorer, "Proxy", "inetres.admx", "RestrictProxy", "Prevent changing proxy settings",
      gp_user_internetexplorer, &so_ie5 },
    { HKCU, policy_ms_winnet, "NC_AllowAdvancedTCPIPConfig", "NetworkConnections.admx", "NC_AllowAdvancedTCPIPConfig", "Prohibit TCP/IP advanced configuration",
      gp_user_networkconnections, &so_win2ksp1_windowsprevista },
    { HKCU, policy_ms_winnet, "NC_EnableAdminProhibits", "NetworkConnections.admx", "NC_EnableAdminProhibits", "Enable Windows 2000 Network Connections settings for Administrators",
      gp_user_networkconnections, &so_windowsnet_xp },
    { HKCU, policy_ms_winnet, "NC_RasConnect", "NetworkConnections.admx", "NC_RasConnect", "Prohibit connecting and disconnecting a remote access connection",
      gp_user_networkconnections, &so_win2ksp1 },
    { HKCU, policy_network, "NoEntireNetwork", "WindowsExplorer.admx", "NoEntireNetwork", "No Entire Network in Network Locations",
      gp_user_fileexplorer, &so_windowsprevista },
    { HKCU, policy_ms_iexplorer, "History", "inetres.admx", "RestrictHistory", "Disable \"Configuring History\"",
      gp_user_deletebrowsinghistory, &so_ie5 },
    { HKCU, policy_ms_iexplorer, "HomePage", "inetres.admx", "RestrictHomePage", "Disable changing home page settings",
      gp_user_internetexplorer, &so_ie5 },
    { HKCU, policy_ms_winsys, "DisableCMD", "Shell-CommandPrompt-RegEditTools.admx", "DisableCMD", "Prevent access to the command prompt",
      gp_user_system, &so_win2k, "0x1, or 0x2 to let scripts still run" },
    { HKCU, policy_explorer, "NoAddPrinter", "Printing.admx", "NoAddPrinter", "Prevent addition of printers",
      gp_user_printers, &so_win2k },
    { HKCU, policy_explorer, "NoDeletePrinter", "Printing.admx", "NoDeletePrinter", "Prevent deletion of printers",
      gp_user_printers, &so_win2k },
};
#pragma GCC diagnostic pop

#endif
