// tolvctl --policy: the local policy objects edited in place. Records of
// other tools stay byte for byte, gpt.ini's version only goes up, the
// machine side is the local computer policy's alone, list names the object
// that wins, and corrupt files change nothing.
#include <gtest/gtest.h>
#include <sddl.h>
#include "tool.h"

static const std::wstring pe = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
static const std::string dword1("\1\0\0\0", 4), dword0("\0\0\0\0", 4);
static const std::string extension = "[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F73-3407-48AE-BA88-E8213C6761F1}]";

// The user that the tests run as.
static std::string selfsid()
{
    HANDLE token;
    BYTE user[256];
    DWORD size;
    char *text = NULL;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    CloseHandle(token);
    ConvertSidToStringSidA(((TOKEN_USER *)user)->User.Sid, &text);
    std::string sid = text ? text : "";
    LocalFree(text);
    return sid;
}

// The objects' folders, and a file in one.
static const char *const objects[] = { "local", "administrators", "non-administrators", "user" };
static std::string folder(int object)
{
    static const char *const folders[] = { "GroupPolicy", "GroupPolicyUsers\\S-1-5-32-544",
                                           "GroupPolicyUsers\\S-1-5-32-545" };
    return grouppolicydir(object < 3 ? folders[object] : "GroupPolicyUsers\\" + selfsid());
}

static void plant(const std::string &path, const std::string &data)
{
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), NULL);
    writeall(path, data);
}

static std::string exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? "none" : readall(path);
}

struct objectstest : ::testing::Test {
    void wipe()
    {
        for (int o = 0; o < 4; o++) {
            for (const char *f : { "\\User\\Registry.pol", "\\Machine\\Registry.pol", "\\gpt.ini" })
                DeleteFileA((folder(o) + f).c_str());
            for (const char *d : { "\\User", "\\Machine", "" })
                RemoveDirectoryA((folder(o) + d).c_str());
        }
        clearjournal();
    }
    void SetUp() override
    {
        wipe();
        wdelete(HKEY_CURRENT_USER, pe, L"NoRun");
    }
    void TearDown() override { wipe(); }
};

// Records of other tools and of kinds that tolvctl does not write stay
// where and as they were through set, unset and undo; the version goes up
// at every step, undo included.
TEST_F(objectstest, foreign_records_and_lines_stay_byte_for_byte)
{
    const std::string pol = folder(2) + "\\User\\Registry.pol", ini = folder(2) + "\\gpt.ini";
    const std::string other = record(L"Software\\Other", L"Name", REG_SZ, utf16(L"kept")),
                      delvals = record(L"Software\\Other\\Sub", L"**delvals.", REG_SZ, utf16(L" ")),
                      soft = record(pe, L"**soft.NoFind", REG_DWORD, dword1),
                      norun = record(pe, L"NoRun", REG_DWORD, std::string("\4\0\0\0", 4)),
                      nocp = record(pe, L"**del.NoControlPanel", REG_SZ, utf16(L" "));
    const std::string planted = preg + other + norun + delvals + soft + nocp;
    plant(pol, planted);
    const std::string gptbefore = "[General]\r\ngPCUserExtensionNames=[{0ACDD40C-75AC-47AB-BAA0-BF6DE7E7FE63}"
                                  "{2DA6AA7F-8C88-4194-A558-0D36E7FD3E64}]\r\nVersion=131073\r\ndisplayName=Lab\r\n";
    plant(ini, gptbefore);
    const std::string gptafter = "[General]\r\ngPCUserExtensionNames=[{0ACDD40C-75AC-47AB-BAA0-BF6DE7E7FE63}"
                                 "{2DA6AA7F-8C88-4194-A558-0D36E7FD3E64}]" + extension + "\r\nVersion=";

    struct { const char *args; std::string pol; unsigned version; const char *line; } steps[] = {
        { "set no-run-button=on --dry-run", planted, 131073,
          "set       non-administrators: HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\NoRun"
          " = REG_DWORD 0x1 (was REG_DWORD 0x4)\r\n" },
        { "set no-run-button=on", preg + other + delvals + soft + nocp + record(pe, L"NoRun", REG_DWORD, dword1),
          196609, "(was REG_DWORD 0x4)\r\n" },
        { "set no-control-panel=unset", preg + other + delvals + soft + record(pe, L"NoRun", REG_DWORD, dword1),
          262145, "NoControlPanel (was deleted)\r\n" },
        { "set no-control-panel=unset", preg + other + delvals + soft + record(pe, L"NoRun", REG_DWORD, dword1),
          262145, "unchanged non-administrators: HKCU\\" },
        { "set no-control-panel=off no-run-button=off", preg + other + delvals + soft +
          record(pe, L"**del.NoRun", REG_SZ, utf16(L" ")) + record(pe, L"**del.NoControlPanel", REG_SZ, utf16(L" ")),
          327681, "NoRun (was REG_DWORD 0x1)\r\n" },
        { "undo", preg + other + delvals + soft + record(pe, L"NoRun", REG_DWORD, dword1), 393217,
          "restored  non-administrators: " },
        { "undo", preg + other + delvals + soft + nocp + record(pe, L"NoRun", REG_DWORD, dword1), 458753, "" },
        { "undo", planted, 524289, "undo of: tolvctl set no-run-button=on --policy non-administrators\r\n" },
    };
    for (auto &step : steps) {
        SCOPED_TRACE(step.args);
        std::string args = step.args;
        ran r = tolvctl(args.compare(0, 4, "undo") ? args + " --policy non-administrators" : args);
        EXPECT_EQ(0u, r.code) << r.err;
        EXPECT_NE(std::string::npos, r.out.find(step.line)) << r.out;
        EXPECT_TRUE(readall(pol) == step.pol);
        EXPECT_EQ(step.version == 131073 ? gptbefore
                                         : gptafter + std::to_string(step.version) + "\r\ndisplayName=Lab\r\n",
                  readall(ini));
    }
}

// Each object in its own folder; a new gpt.ini where there was none; the
// local computer policy's machine side in the lower half of its version.
TEST_F(objectstest, each_object_its_folder_and_version)
{
    struct { int object; const char *setting; const char *side; const char *gpt; unsigned version; } rows[] = {
        { 0, "always-unload-dlls=on", "Machine", NULL, 1 },
        { 0, "no-recycle-bin=on", "User", "[General]\r\nVersion=65537\r\n", 131073 },
        { 1, "no-run-button=on", "User", NULL, 65536 },
        { 2, "no-run-button=on", "User", "[General]\r\nVersion=65536\r\n", 131072 },
        { 3, "no-run-button=off", "User", NULL, 65536 },
    };
    for (auto &row : rows) {
        std::string target = row.object == 3 ? selfsid() : objects[row.object];
        SCOPED_TRACE(target + " " + row.setting);
        if (row.gpt)
            plant(folder(row.object) + "\\gpt.ini", row.gpt);
        ran r = tolvctl(std::string("set ") + row.setting + " --policy " + target);
        EXPECT_EQ(0u, r.code) << r.err;
        std::string pol = readall(folder(row.object) + "\\" + row.side + "\\Registry.pol");
        EXPECT_EQ(preg, pol.substr(0, 8));
        std::string gpt = readall(folder(row.object) + "\\gpt.ini");
        EXPECT_NE(std::string::npos, gpt.find("\r\nVersion=" + std::to_string(row.version) + "\r\n")) << gpt;
        EXPECT_NE(std::string::npos, gpt.find(row.side[0] == 'M' ? "gPCMachineExtensionNames=" : "gPCUserExtensionNames="))
            << gpt;
        EXPECT_EQ(0u, gpt.find("[General]\r\n"));
    }
    // A 32-bit tolvctl on 64-bit Windows reaches the real System32 through
    // Sysnative: the x86_64 suite runs the i686 build's program, when
    // it is there, and looks for its file in the 64-bit System32. A machine
    // whose kernel runs no 32-bit programs cannot start it.
    std::string tolvctl32 = bindir() + "..\\..\\bin\\tolvctl.exe";
    bool runs32 = sizeof(void *) == 8 && GetFileAttributesA(tolvctl32.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (runs32 && runprogram("\"" + tolvctl32 + "\" --version").code == STILL_ACTIVE) {
        printf("the 32-bit tolvctl is left out: this prefix runs no 32-bit programs\n");
        runs32 = false;
    }
    if (runs32) {
        DeleteFileA((folder(1) + "\\User\\Registry.pol").c_str());
        ran r = runprogram("\"" + tolvctl32 + "\" set no-search=on --policy administrators");
        EXPECT_EQ(0u, r.code) << r.err;
        EXPECT_NE("none", exists(folder(1) + "\\User\\Registry.pol"));
    }
}

// A value under HKEY_LOCAL_MACHINE has no place in an object without a
// machine side; nothing is written for it.
TEST_F(objectstest, machine_settings_only_in_the_local_computer_policy)
{
    for (const char *args : { "set clear-page-file=on no-run-button=on --policy non-administrators",
                              "set always-unload-dlls=off --policy administrators",
                              "export --gpo C:\\tolvgpo --for non-administrators --set clear-page-file=on" }) {
        SCOPED_TRACE(args);
        ran r = tolvctl(args);
        EXPECT_EQ(2u, r.code);
        EXPECT_NE(std::string::npos, r.err.find("only the local computer policy has a machine side")) << r.err;
        EXPECT_EQ("none", exists(folder(2) + "\\User\\Registry.pol"));
        EXPECT_EQ("none", exists(folder(1) + "\\gpt.ini"));
        EXPECT_EQ("none", exists("C:\\tolvgpo\\gpt.ini"));
    }
    ran exported = tolvctl("export --gpo C:\\tolvgpo --for non-administrators --preset school");
    EXPECT_EQ(0u, exported.code) << exported.err;
    EXPECT_EQ("[General]\r\ngPCUserExtensionNames=" + extension + "\r\nVersion=65536\r\n",
              readall("C:\\tolvgpo\\gpt.ini"));
    EXPECT_EQ("none", exists("C:\\tolvgpo\\Machine\\Registry.pol"));
    for (const char *f : { "C:\\tolvgpo\\User\\Registry.pol", "C:\\tolvgpo\\gpt.ini" })
        DeleteFileA(f);
    RemoveDirectoryA("C:\\tolvgpo\\User");
    RemoveDirectoryA("C:\\tolvgpo");
    EXPECT_EQ(2u, tolvctl("set no-run-button=unset").code);     // only a policy object has unset
}

// list reads each object that applies to the user, in Group Policy's order,
// and marks the value with the last one; the object for non-administrators
// does not apply to an administrator, and --policy shows one object alone.
TEST_F(objectstest, list_marks_the_object_that_wins)
{
    plant(folder(0) + "\\User\\Registry.pol", preg + record(pe, L"NoRun", REG_DWORD, dword1));
    plant(folder(2) + "\\User\\Registry.pol", preg + record(pe, L"**del.NoRun", REG_SZ, utf16(L" ")));
    struct { int plant; std::string data, mark, object; } rows[] = {
        { -1, "", "[local Group Policy: REG_DWORD 0x1]", "local" },
        { 1, preg + record(pe, L"NoRun", REG_DWORD, dword0), "[local Group Policy for administrators: REG_DWORD 0x0]",
          "administrators" },
        { 3, preg + record(pe, L"**del.NoRun", REG_SZ, utf16(L" ")), "[local Group Policy for the user: deletes it]",
          "user" },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.object);
        if (row.plant >= 0)
            plant(folder(row.plant) + "\\User\\Registry.pol", row.data);
        ran text = tolvctl("list");
        EXPECT_EQ(0u, text.code) << text.err;
        EXPECT_NE(std::string::npos, text.out.find("\\Explorer\\NoRun: absent " + row.mark + "\r\n")) << text.out;
        std::string json = tolvctl("list --json").out;
        EXPECT_NE(std::string::npos, json.find("\"value\": \"NoRun\", \"present\": false, \"type\": null, "
                                               "\"data\": null, \"passes\": false, \"group_policy\": {\"action\": \"" +
                                               std::string(row.mark.find("deletes") != std::string::npos ? "delete"
                                                                                                           : "set") +
                                               "\"")) << json.substr(0, 600);
        EXPECT_NE(std::string::npos, json.find(", \"object\": \"" + row.object + "\"}, \"windows\": "));
    }
    ran only = tolvctl("list --policy non-administrators");
    EXPECT_EQ(0u, only.code);
    EXPECT_EQ(0u, only.out.find("policy    non-administrators: " + folder(2) + "\r\n"));
    EXPECT_NE(std::string::npos, only.out.find("restrict.1011 no-run-button: off \"No Run button in start menu.\"\r\n"
                                               "    HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\"
                                               "Explorer\\NoRun: deleted\r\n"));
    EXPECT_NE(std::string::npos, only.out.find("restrict.1009 no-folder-options: not configured \""));
}

// A file that cannot be parsed gives exit 2 with the file and where, and
// neither it nor anything else changes.
TEST_F(objectstest, corrupt_files_give_2_and_change_nothing)
{
    const std::string good = record(pe, L"NoRun", REG_DWORD, dword1);
    std::string longsize = good;
    longsize[longsize.size() - 12] = 100;
    const std::string pol = folder(2) + "\\User\\Registry.pol", ini = folder(2) + "\\gpt.ini";
    struct { const char *what; std::string pol, ini, says; } rows[] = {
        { "signature", "PReg\x02\0\0\0" + good, "", pol + ": byte 0: not a Registry.pol file" },
        { "cut short", preg + good.substr(0, 20), "", pol + ": byte 28: a record cut short" },
        { "size past the end", preg + longsize, "", pol + ": byte " + std::to_string(8 + longsize.size() - 6) },
        { "odd string", preg + good.substr(0, 21), "", pol + ": byte 28: a string of an odd number of bytes" },
        { "no [General]", preg + good, "[Other]\r\nVersion=1\r\n", ini + ": line 1: no [General] section" },
        { "version", preg + good, "[General]\r\nVersion=12a\r\n", ini + ": line 2: Version is not a number" },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        wipe();
        plant(pol, row.pol);
        if (!row.ini.empty())
            plant(ini, row.ini);
        for (const char *args : { "set no-recycle-bin=on --policy non-administrators",
                                  "apply school --policy non-administrators --dry-run",
                                  "list --policy non-administrators" }) {
            ran r = tolvctl(args);
            if (!strncmp(args, "list", 4) && !row.ini.empty()) {
                EXPECT_EQ(0u, r.code);  // list reads Registry.pol alone
                continue;
            }
            EXPECT_EQ(2u, r.code) << args;
            EXPECT_NE(std::string::npos, r.err.find("tolvctl: " + row.says)) << r.err;
        }
        EXPECT_TRUE(readall(pol) == row.pol);
        EXPECT_EQ(row.ini.empty() ? "none" : row.ini, exists(ini));
    }
    EXPECT_EQ(1u, tolvctl("undo").code);    // nothing was journaled
}

// A folder that cannot be written gives exit 1, and the files that are
// there stay whole.
TEST_F(objectstest, a_folder_that_cannot_be_written_gives_1)
{
    const std::string ini = folder(2) + "\\gpt.ini", blocker = folder(2) + "\\User";
    plant(ini, "[General]\r\nVersion=65536\r\n");
    writeall(blocker, "a file where the User folder goes");
    ran r = tolvctl("set no-run-button=on --policy non-administrators");
    DeleteFileA(blocker.c_str());
    EXPECT_EQ(1u, r.code);
    EXPECT_NE(std::string::npos, r.err.find("tolvctl: cannot write " + blocker + "\\Registry.pol: ")) << r.err;
    EXPECT_EQ("[General]\r\nVersion=65536\r\n", readall(ini));
}
