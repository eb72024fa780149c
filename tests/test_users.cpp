// tolvctl on another user's settings: an account that is logged on (its
// hive under HKEY_USERS), one that is not (its NTUSER.DAT loaded for the
// run), the default profile and every profile. Planted profiles stand for
// the accounts; their SIDs belong to no real account, so the machine knows
// them only through ProfileList. Wine forgets what is written into a
// loaded hive when it is unloaded, so a loaded hive is checked while
// loaded: through list, dry runs and the journal's prior bytes.
#include <gtest/gtest.h>
#include "tool.h"

#define EXPLORER "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer"

static const std::string student = "S-1-5-21-7-7-7-1001";   // not logged on
static const std::string teacher = "S-1-5-21-7-7-7-1002";   // logged on

// A folder with an NTUSER.DAT that holds NoRun = norun.
static void planthive(const std::string &folder, DWORD norun)
{
    regwipe(HKEY_CURRENT_USER, SANDBOX "\\hive");
    regputdword(HKEY_CURRENT_USER, SANDBOX "\\hive\\" EXPLORER, "NoRun", norun);
    savehive(folder);
    regwipe(HKEY_CURRENT_USER, SANDBOX "\\hive");
}

struct userstest : ::testing::Test {
    std::vector<std::string> planted;   // ProfileList keys of the test's own
    void SetUp() override
    {
        clearjournal();
        enablebackup();
        planthive("tlvstudent", 7);
        planthive("tlvdefault", 5);
        for (auto &p : { std::make_pair(student, "tlvstudent"), std::make_pair(teacher, "tlvteacher") }) {
            plantprofile(p.first, p.second);
            planted.push_back(p.first);
        }
        regputdword(HKEY_USERS, (teacher + "\\" EXPLORER).c_str(), "NoRun", 7);
        std::string def = profiledir("tlvdefault");
        regput(HKEY_LOCAL_MACHINE, profilelist, "Default", REG_EXPAND_SZ, def.c_str(), (DWORD)def.size() + 1);
        // A service account's profile, which every-user commands pass by.
        if (!regkeyexists(HKEY_LOCAL_MACHINE, (std::string(profilelist) + "\\S-1-5-18").c_str())) {
            planthive("tlvservice", 3);
            plantprofile("S-1-5-18", "tlvservice");
            planted.push_back("S-1-5-18");
        }
    }
    void TearDown() override
    {
        for (auto &sid : planted)
            regwipe(HKEY_LOCAL_MACHINE, (std::string(profilelist) + "\\" + sid).c_str());
        regdelete(HKEY_LOCAL_MACHINE, profilelist, "Default");
        regwipe(HKEY_USERS, teacher.c_str());
        EXPECT_EQ(std::vector<std::string>(), leftloaded());
        clearjournal();
    }
};

// ---- a logged-on user ---------------------------------------------------------------

// apply and set in another user's hive do there what they do in one's own,
// leave one's own alone, and undo takes them back exactly.
TEST_F(userstest, a_logged_on_user_is_changed_in_place_and_undone_exactly)
{
    const std::wstring hive = wide(teacher);
    wsnapshot mine = snap(), before = snapkey(HKEY_USERS, hive);
    ran r = tolvctl("apply school --user " + teacher);
    EXPECT_EQ(0u, r.code) << r.err;
    EXPECT_EQ(0u, r.out.find("user      tlvteacher (" + teacher + "): logged on\r\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("deleted   HKCU\\" EXPLORER "\\NoRun (was REG_DWORD 0x7)\r\n"));
    EXPECT_NE(std::string::npos, r.out.find("note      the changes take effect at the next logon of tlvteacher (" +
                                            teacher + ")\r\n"));
    ran r2 = tolvctl("set no-recycle-bin=on --user tlvteacher");
    EXPECT_EQ(0u, r2.code) << r2.err;
    EXPECT_EQ("", regdiff(mine, snap()));

    // The same commands in one's own hive, from the same state, leave the
    // same values there.
    std::vector<valueref> values = listedvalues();
    for (auto &v : values)
        wdelete(v.root, v.key, v.name);
    wput(HKEY_CURRENT_USER, L"" EXPLORER, L"NoRun", REG_DWORD, std::string("\7\0\0\0", 4));
    EXPECT_EQ(0u, tolvctl("apply school").code);
    EXPECT_EQ(0u, tolvctl("set no-recycle-bin=on").code);
    for (auto &v : values) {
        if (v.root != HKEY_CURRENT_USER)
            continue;
        std::string key = std::string(v.key.begin(), v.key.end()), name(v.name.begin(), v.name.end());
        DWORD owntype = 0, theirtype = 0;
        std::string own, their;
        bool inown = regget(HKEY_CURRENT_USER, key.c_str(), name.c_str(), &owntype, &own);
        bool intheirs = regget(HKEY_USERS, (teacher + "\\" + key).c_str(), name.c_str(), &theirtype, &their);
        EXPECT_TRUE(inown == intheirs && owntype == theirtype && own == their) << key << "\\" << name;
    }
    EXPECT_EQ(0u, tolvctl("undo").code);
    EXPECT_EQ(0u, tolvctl("undo").code);

    // Undo finds the user in each entry and takes back the teacher's two.
    ran u = tolvctl("undo");
    EXPECT_EQ(0u, u.code) << u.err;
    EXPECT_EQ(0u, u.out.find("user      tlvteacher (" + teacher + "): logged on\r\n"
                             "undo of: tolvctl set no-recycle-bin=on --user tlvteacher\r\n")) << u.out;
    EXPECT_EQ(0u, tolvctl("undo").code);
    EXPECT_EQ("", regdiff(before, snapkey(HKEY_USERS, hive)));
    EXPECT_EQ(1u, tolvctl("undo").code);
    for (auto &v : values)
        wdelete(v.root, v.key, v.name);
}

// ---- a user who is not logged on --------------------------------------------------

TEST_F(userstest, a_hive_file_is_loaded_for_the_run_and_unloaded)
{
    const std::string header = "user      tlvstudent (" + student + "): " + profiledir("tlvstudent") +
                               "\\NTUSER.DAT loaded\r\n";
    ran l = tolvctl("list --user tlvstudent");
    EXPECT_EQ(0u, l.code) << l.err;
    EXPECT_EQ(0u, l.out.find(header + "tweak.1001 ")) << l.out;
    EXPECT_NE(std::string::npos, l.out.find("    HKCU\\" EXPLORER "\\NoRun: REG_DWORD 0x7, does not pass\r\n"));
    EXPECT_EQ(std::vector<std::string>(), leftloaded());

    ran json = tolvctl("list --json --user " + student);
    EXPECT_EQ(62u, count(json.out, "{\"user\": {\"name\": \"tlvstudent\", \"sid\": \"" + student + "\"}, \"dialog\": "));

    // A dry run loads the hive to read it; the real run prints the same
    // and journals the prior bytes with the user.
    wsnapshot mine = snap();
    ran dry = tolvctl("set no-run-button=on --dry-run --user " + student);
    ran real = tolvctl("set no-run-button=on --user " + student);
    EXPECT_EQ(0u, real.code) << real.err;
    EXPECT_EQ(header + "set       HKCU\\" EXPLORER "\\NoRun = REG_DWORD 0x1 (was REG_DWORD 0x7)\r\n"
              "note      the changes take effect at the next logon of tlvstudent (" + student + ")\r\n", real.out);
    EXPECT_EQ(real.out, dry.out);
    std::string entry = readall(journaldir() + "\\00000001.reg");
    std::wstring text((const wchar_t *)entry.data(), entry.size() / 2);
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n; user: tlvstudent (" + wide(student) + L")\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\"NoRun\"=dword:00000007\r\n"));
    EXPECT_EQ("", regdiff(mine, snap()));
    EXPECT_EQ(std::vector<std::string>(), leftloaded());

    // A failure while the hive is loaded: the journal cannot be written.
    clearjournal();
    RemoveDirectoryA(journaldir().c_str());
    writeall(journaldir(), "in the way");
    ran blocked = tolvctl("set no-run-button=off --user tlvstudent");
    DeleteFileA(journaldir().c_str());
    EXPECT_EQ(1u, blocked.code);
    EXPECT_NE(std::string::npos, blocked.err.find("cannot write the undo journal"));
    EXPECT_EQ(std::vector<std::string>(), leftloaded());

    // A backup names its user and keeps HKEY_CURRENT_USER paths, so that it
    // can go to another user.
    std::string file = workdir() + "student.reg";
    EXPECT_EQ(0u, tolvctl("backup \"" + file + "\" --user tlvstudent").code);
    std::string backup = readall(file);
    std::wstring btext((const wchar_t *)backup.data(), backup.size() / 2);
    EXPECT_NE(std::wstring::npos, btext.find(L"\r\n; user: tlvstudent (" + wide(student) + L")\r\n"));
    EXPECT_EQ(std::wstring::npos, btext.find(L"HKEY_USERS"));
    ran restored = tolvctl("restore \"" + file + "\" --user " + teacher);
    EXPECT_EQ(0u, restored.code) << restored.err;
    EXPECT_EQ(7, reggetdword(HKEY_USERS, (teacher + "\\" EXPLORER).c_str(), "NoRun"));
}

// ---- the default profile and every profile ----------------------------------------

TEST_F(userstest, the_default_profile_and_every_profile_once)
{
    ran d = tolvctl("list --default-user");
    EXPECT_EQ(0u, d.code) << d.err;
    EXPECT_EQ(0u, d.out.find("user      tlvdefault (default profile): " + profiledir("tlvdefault") +
                             "\\NTUSER.DAT loaded\r\n"));
    EXPECT_NE(std::string::npos, d.out.find("    HKCU\\" EXPLORER "\\NoRun: REG_DWORD 0x5, does not pass\r\n"));

    // Each planted profile once, the service account's never, and the
    // machine's value once however many users there are.
    ran all = tolvctl("set no-run-button=on clear-page-file=on --all-users --dry-run");
    EXPECT_EQ(0u, all.code) << all.err;
    EXPECT_EQ(1u, count(all.out, "user      tlvstudent (" + student + "): "));
    EXPECT_EQ(1u, count(all.out, "user      tlvteacher (" + teacher + "): logged on\r\n"));
    EXPECT_EQ(0u, count(all.out, "S-1-5-18"));
    EXPECT_EQ(0u, count(all.out, "tlvdefault"));
    EXPECT_EQ(1u, count(all.out, "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management"
                                 "\\ClearPageFileAtShutdown"));
    EXPECT_EQ(count(all.out, "user      "), count(all.out, "\\NoRun = REG_DWORD 0x1"));
    EXPECT_EQ(std::vector<std::string>(), leftloaded());

    // One user that cannot be reached is reported; the others are done.
    plantprofile("S-1-5-21-7-7-7-1003", "tlvnowhere");
    planted.push_back("S-1-5-21-7-7-7-1003");
    ran partial = tolvctl("list --all-users");
    EXPECT_EQ(1u, partial.code);
    EXPECT_NE(std::string::npos, partial.err.find("tlvnowhere\\NTUSER.DAT"));
    EXPECT_EQ(1u, count(partial.out, "user      tlvstudent ("));
}

// ---- what cannot be done changes nothing --------------------------------------------

TEST_F(userstest, users_that_cannot_be_reached_give_2_and_change_nothing)
{
    plantprofile("S-1-5-21-7-7-7-1003", "tlvnowhere");     // no folder, no hive
    plantprofile("S-1-5-21-7-7-7-1004", "tlvjunk");        // a hive file that is none
    planted.insert(planted.end(), { "S-1-5-21-7-7-7-1003", "S-1-5-21-7-7-7-1004" });
    CreateDirectoryA(profiledir("tlvjunk").c_str(), NULL);
    writeall(profiledir("tlvjunk") + "\\NTUSER.DAT", "not a hive");
    // The student's hive, held open by another program.
    HANDLE held = CreateFileA((profiledir("tlvstudent") + "\\NTUSER.DAT").c_str(), GENERIC_READ, 0, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);

    struct { std::string args, says; } rows[] = {
        { "set no-run-button=on --user nobody-here", "no account or profile folder named nobody-here on this machine" },
        { "list --user S-1-5-21-7-7-7-1999",
          "S-1-5-21-7-7-7-1999 has no profile on this machine: it has never logged on" },
        { "set no-run-button=on --user tlvnowhere", "cannot read " + profiledir("tlvnowhere") + "\\NTUSER.DAT: " },
        { "apply school --user tlvjunk", "cannot read " + profiledir("tlvjunk") + "\\NTUSER.DAT: " },
        { "restore --dry-run x.reg --user tlvjunk", "cannot read x.reg" },
        { "set no-run-button=on --user tlvstudent", "cannot read " + profiledir("tlvstudent") + "\\NTUSER.DAT: " },
        { "backup x.reg --user tlvstudent", "cannot read " + profiledir("tlvstudent") + "\\NTUSER.DAT: " },
        { "set no-run-button=on --user", "--user names an account" },
        { "list --user tlvstudent --all-users", "name one user" },
        { "backup x.reg --all-users", "usage: tolvctl backup" },
        { "list --markdown --default-user", "--markdown describes the settings" },
        { "export --reg x.reg --preset school --user tlvstudent", "--user and --default-user go with --current" },
    };
    wsnapshot before = snap(), theirs = snapkey(HKEY_USERS, wide(teacher));
    for (auto &row : rows) {
        SCOPED_TRACE(row.args);
        ran r = tolvctl(row.args);
        EXPECT_EQ(2u, r.code);
        EXPECT_EQ("", r.out);
        EXPECT_NE(std::string::npos, r.err.find(row.says)) << r.err;
        EXPECT_EQ(std::vector<std::string>(), leftloaded());
    }
    CloseHandle(held);
    EXPECT_EQ("", regdiff(before, snap()));
    EXPECT_EQ("", regdiff(theirs, snapkey(HKEY_USERS, wide(teacher))));
    EXPECT_EQ(1u, tolvctl("undo").code);    // nothing was journaled
}

// ---- Ctrl+C -----------------------------------------------------------------------

static DWORD WINAPI pressctrlc(void *delay)
{
    Sleep((DWORD)(UINT_PTR)delay);
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    return 0;
}

// This process stays; an ignored Ctrl+C would be ignored by tolvctl too.
static BOOL WINAPI carryon(DWORD)
{
    return TRUE;
}

// Ctrl+C while every user's hive is loaded in turn: whenever it comes, the
// run ends with no hive left loaded.
TEST_F(userstest, ctrl_c_leaves_no_hive_loaded)
{
    // A console that tolvctl shares.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    SetConsoleCtrlHandler(carryon, TRUE);
    for (int i = 0; i < 24; i++) {
        std::string sid = "S-1-5-21-7-7-8-" + std::to_string(2000 + i), name = "tlvmany" + std::to_string(i);
        CreateDirectoryA(profiledir(name).c_str(), NULL);
        CopyFileA((profiledir("tlvstudent") + "\\NTUSER.DAT").c_str(), (profiledir(name) + "\\NTUSER.DAT").c_str(),
                  FALSE);
        plantprofile(sid, name);
        planted.push_back(sid);
    }
    int stopped = 0;
    for (DWORD delay : { 30, 60, 90, 120, 160, 220, 300 }) {
        SCOPED_TRACE(delay);
        HANDLE thread = CreateThread(NULL, 0, pressctrlc, (void *)(UINT_PTR)delay, 0, NULL);
        ran r = tolvctl("list --all-users");
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_EQ(std::vector<std::string>(), leftloaded());
        if (r.code == 1) {
            EXPECT_NE(std::string::npos, r.err.find("tolvctl: stopped before the end")) << r.err;
            stopped++;
        }
    }
    EXPECT_GT(stopped, 0);      // at least once it came while a hive was loaded
}

// ---- telling Explorer -----------------------------------------------------------------

static std::vector<std::string> heard;

static LRESULT CALLBACK listener(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == WM_SETTINGCHANGE)
        heard.push_back(lparam ? lower((const wchar_t *)lparam) : "");
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

// A change to one's own settings is broadcast as Explorer expects it; one
// to another user's, or a dry run, is not.
TEST_F(userstest, a_change_to_the_current_user_is_broadcast)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = listener;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"tlvlistener";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(L"tlvlistener", L"", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
    ASSERT_NE((HWND)NULL, hwnd);
    struct { std::string args; std::vector<std::string> heard; } rows[] = {
        { "set no-run-button=on", { "policy" } },
        { "set no-run-button=on", {} },                         // nothing changed
        { "set no-run-button=off --dry-run", {} },
        { "set no-run-button=off --user " + teacher, {} },
        { "set no-run-button=off", { "policy" } },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.args);
        heard.clear();
        EXPECT_EQ(0u, tolvctl(row.args).code);
        EXPECT_EQ(row.heard, heard);
    }
    DestroyWindow(hwnd);
}
