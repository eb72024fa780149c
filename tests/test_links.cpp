// tolvctl in a hostile hive: another user's hive in which a key that the
// dialogs touch is a registry link out of it, to the machine's settings or
// to a third user's. Loaded from NTUSER.DAT (Wine keeps a link in a saved
// hive) or in place under HKEY_USERS, the account is refused before
// anything is read or changed. A link is deleted through a handle on the
// link itself: its name leads to its target, which RegDeleteTree empties.
#include <gtest/gtest.h>
#include "tool.h"

#define POLICIES "Software\\Microsoft\\Windows\\CurrentVersion\\Policies"
#define CMDKEY "Software\\Policies\\Microsoft\\Windows\\System"

static const std::string linked = "S-1-5-21-7-7-9-1001", clean = "S-1-5-21-7-7-9-1002";
static const std::string victim = "S-1-5-21-7-7-9-1003";   // logged on, with no profile: where a link leads

static void makelink(HKEY root, const std::string &path, const std::string &target)
{
    HKEY link;
    std::wstring to = wide(target);     // kept without its NUL
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, NULL, REG_OPTION_CREATE_LINK,
                                             KEY_ALL_ACCESS | KEY_CREATE_LINK, NULL, &link, NULL));
    RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, (const BYTE *)to.data(), (DWORD)to.size() * 2);
    RegCloseKey(link);
}

// Deletes the link at path, then the key that holds it once no link is left.
static void unlink(HKEY root, const std::string &path, const std::string &holder)
{
    typedef LONG (WINAPI *ntdeletekey)(HANDLE);
    ntdeletekey deletekey = (ntdeletekey)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey");
    HKEY link;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link) == ERROR_SUCCESS) {
        EXPECT_EQ(0, deletekey(link)) << path;
        RegCloseKey(link);
    }
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &link) == ERROR_FILE_NOT_FOUND)
        regwipe(root, holder.c_str());
}

struct linkstest : ::testing::Test {
    void SetUp() override
    {
        clearjournal();
        enablebackup();
        regputdword(HKEY_CURRENT_USER, SANDBOX "\\hive\\" POLICIES "\\Explorer", "NoRun", 7);
        savehive("tlvclean");
        regwipe(HKEY_CURRENT_USER, SANDBOX "\\hive");
        plantprofile(linked, "tlvlinked");
        plantprofile(clean, "tlvclean");
        regputdword(HKEY_USERS, (victim + "\\" POLICIES "\\Explorer").c_str(), "NoRun", 7);
    }
    void TearDown() override
    {
        for (auto &sid : { linked, clean })
            regwipe(HKEY_LOCAL_MACHINE, (std::string(profilelist) + "\\" + sid).c_str());
        regwipe(HKEY_USERS, victim.c_str());
        clearjournal();
    }
};

// Each link, loaded and in place: every command into the account gives 2,
// and with every user it is passed by with 1 while the others are done.
// Nothing anywhere is changed, journaled, written or left loaded.
TEST_F(linkstest, a_link_in_another_users_hive_is_refused_and_nothing_changes)
{
    static const std::string links[][2] = {
        { POLICIES, "\\Registry\\Machine\\" POLICIES },
        { POLICIES "\\Explorer", "\\Registry\\Machine\\" POLICIES "\\Explorer" },
        { CMDKEY, "\\Registry\\Machine\\" CMDKEY },
        { POLICIES, "\\Registry\\User\\" + victim + "\\" POLICIES },
    };
    // Under each place of a link a value to set, and one of the machine.
    const std::string file = workdir() + "linked.reg", saved = workdir() + "saved.reg",
                      entry = journaldir() + "\\00000001.reg", values = "Windows Registry Editor Version 5.00\r\n"
        "[HKEY_CURRENT_USER\\" POLICIES "\\Explorer]\r\n\"NoRun\"=dword:1\r\n"
        "[HKEY_CURRENT_USER\\" POLICIES "\\System]\r\n\"DisableTaskMgr\"=dword:1\r\n"
        "[HKEY_CURRENT_USER\\" CMDKEY "]\r\n\"DisableCMD\"=dword:1\r\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management]\r\n"
        "\"ClearPageFileAtShutdown\"=dword:1\r\n";
    struct { std::string args; DWORD code; } rows[] = {
        { "set no-run-button=on no-task-manager=on no-command-prompt=on clear-page-file=on --user tlvlinked", 2 },
        { "apply highly-restricted --user " + linked, 2 },
        { "restore \"" + file + "\" --user tlvlinked", 2 },
        { "undo", 2 },      // the journal's entry names the account
        { "list --user tlvlinked", 2 },
        { "backup \"" + saved + "\" --user tlvlinked", 2 },
        { "list --all-users", 1 },
        { "set no-run-button=on no-task-manager=on no-command-prompt=on --all-users --dry-run", 1 },
    };
    writeall(file, values);
    CreateDirectoryA(journaldir().substr(0, journaldir().rfind('\\')).c_str(), NULL);
    CreateDirectoryA(journaldir().c_str(), NULL);
    const std::string journaled = values + "; user: tlvlinked (" + linked + ")\r\n";
    writeall(entry, journaled);
    // The whole registry, and between runs where a redirected run lands.
    wsnapshot whole = snaplinks(HKEY_LOCAL_MACHINE), users = snaplinks(HKEY_USERS);
    auto reach = [] {
        wsnapshot s = snaplinks(HKEY_USERS), m = snap(), p = snapkey(HKEY_LOCAL_MACHINE, L"Software\\Policies");
        s.insert(m.begin(), m.end());
        s.insert(p.begin(), p.end());
        return s;
    };
    for (bool inplace : { false, true })
        for (auto &link : links) {
            SCOPED_TRACE((inplace ? "in place: " : "loaded: ") + link[0] + " -> " + link[1]);
            std::string holder = inplace ? linked : SANDBOX "\\hive";
            HKEY root = inplace ? HKEY_USERS : HKEY_CURRENT_USER;
            makelink(root, holder + "\\" + link[0], link[1]);
            if (!inplace) {
                savehive("tlvlinked");
                unlink(root, holder + "\\" + link[0], holder);
            }
            wsnapshot before = reach();
            for (auto &row : rows) {
                SCOPED_TRACE(row.args);
                ran r = tolvctl(row.args);
                EXPECT_EQ(row.code, r.code);
                EXPECT_NE(std::string::npos, r.err.find("tolvctl: HKCU\\" + link[0] +
                                                        " is a registry link out of the user's hive, to " + link[1]))
                    << r.err;
                EXPECT_EQ(row.code == 1, r.out.find("user      tlvclean (" + clean + "): ") != std::string::npos);
                EXPECT_EQ("", regdiff(before, reach()));
                EXPECT_EQ(std::vector<std::string>(), leftloaded());
                EXPECT_EQ(journaled, readall(entry));
                EXPECT_EQ("", readall(journaldir() + "\\00000002.reg") + readall(saved));
            }
            unlink(root, holder + "\\" + link[0], holder);
        }
    EXPECT_EQ("", regdiff(whole, snaplinks(HKEY_LOCAL_MACHINE)));
    EXPECT_EQ("", regdiff(users, snaplinks(HKEY_USERS)));
}
