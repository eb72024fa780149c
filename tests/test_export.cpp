// tolvctl export and local Group Policy: Registry.pol byte for byte, .reg
// exports through Wine's own reg import, a planted local policy in list and
// set, corrupt policy files, --force and failed writes.
#include <gtest/gtest.h>
#include <set>
#include "tool.h"

#define HKCU HKEY_CURRENT_USER
#define HKLM HKEY_LOCAL_MACHINE


// The boxes that each preset ticks, in the order above.
static std::set<int> presetticks(int preset)
{
    std::set<int> all = { 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023,
                          1024, 1025, 1026, 1027, 1028, 1037, 1051, 1066, 1067, 1068, 1069, 1070, 1071, 1072, 1073,
                          1074, 1075, 1076, 1077, 1078, 1079, 1080, 1081, 1083, 1084, 1085, 1087, 1088 };
    std::set<int> school = { 1009, 1013, 1018, 1024, 1026, 1027, 1028, 1051, 1067, 1068, 1069, 1070,
                             1071, 1072, 1074, 1075, 1076, 1077, 1079, 1083, 1084, 1085, 1087 };
    std::set<int> clears = preset == 1 ? std::set<int>{ 1010, 1018, 1037, 1071, 1073, 1080, 1081 }
                                       : std::set<int>{ 1037, 1080 };
    if (preset == 0)
        return school;
    if (preset == 3)
        return {};
    if (preset == 4)
        return all;
    for (int id : clears)
        all.erase(id);
    return all;
}

static const std::wstring pe = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

struct exporttest : ::testing::Test {
    std::vector<valueref> values;
    std::string dir;
    void SetUp() override
    {
        values = listedvalues();
        dir = workdir() + "export";
        runprogram("cmd.exe /c rmdir /s /q \"" + dir + "\"");
        DeleteFileA((grouppolicydir() + "\\User\\Registry.pol").c_str());
        DeleteFileA((grouppolicydir() + "\\Machine\\Registry.pol").c_str());
        clear();
    }
    void TearDown() override { SetUp(); }
    void clear()
    {
        for (auto &v : values)
            wdelete(v.root, v.key, v.name);
    }
};

// ---- Registry.pol and gpt.ini --------------------------------------------------------

TEST_F(exporttest, registry_pol_byte_for_byte)
{
    // The 16-bit programs are a computer policy, the command prompt a user's.
    static const char machine[] =
        "PReg\x01\0\0\0"
        "[\0"
        "S\0o\0f\0t\0w\0a\0r\0e\0\\\0P\0o\0l\0i\0c\0i\0e\0s\0\\\0M\0i\0c\0r\0o\0s\0o\0f\0t\0\\\0W\0i\0n\0d\0o\0w\0s\0\\\0A\0p\0p\0C\0o\0m\0p\0a\0t\0\0\0"
        ";\0"
        "V\0D\0M\0D\0i\0s\0a\0l\0l\0o\0w\0e\0d\0\0\0"
        ";\0" "\x04\0\0\0" ";\0" "\x04\0\0\0" ";\0" "\x01\0\0\0" "]\0";
    static const char expected[] =
        "PReg\x01\0\0\0"
        "[\0"
        "S\0o\0f\0t\0w\0a\0r\0e\0\\\0P\0o\0l\0i\0c\0i\0e\0s\0\\\0M\0i\0c\0r\0o\0s\0o\0f\0t\0\\\0W\0i\0n\0d\0o\0w\0s\0\\\0S\0y\0s\0t\0e\0m\0\0\0"
        ";\0"
        "*\0*\0d\0e\0l\0.\0D\0i\0s\0a\0b\0l\0e\0C\0M\0D\0\0\0"
        ";\0" "\x01\0\0\0" ";\0" "\x04\0\0\0" ";\0" " \0\0\0" "]\0";
    wsnapshot before = snap();
    ran r = tolvctl("export --pol \"" + dir + "\" --set no-command-prompt=off no-16-bit-programs=on");
    EXPECT_EQ(0u, r.code) << r.err;
    EXPECT_EQ(std::string(expected, sizeof expected - 1), readall(dir + "\\User\\Registry.pol"));
    EXPECT_EQ(std::string(machine, sizeof machine - 1), readall(dir + "\\Machine\\Registry.pol"));
    EXPECT_EQ("", r.err);
    EXPECT_EQ("", regdiff(before, snap()));   // an export changes nothing here

    // The same bytes on every run.
    EXPECT_EQ(0u, tolvctl("export --pol \"" + dir + "\" --force --set no-command-prompt=off no-16-bit-programs=on").code);
    EXPECT_EQ(std::string(expected, sizeof expected - 1), readall(dir + "\\User\\Registry.pol"));
}

TEST_F(exporttest, gpo_folder_and_what_group_policy_leaves_behind)
{
    const std::string head = "[General]\r\n"
                             "gPCMachineExtensionNames=[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F72-3407-48AE-BA88-E8213C6761F1}]\r\n"
                             "gPCUserExtensionNames=[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}{D02B1F73-3407-48AE-BA88-E8213C6761F1}]\r\n";
    ran school = tolvctl("export --gpo \"" + dir + "\" --preset school");
    EXPECT_EQ(0u, school.code);
    EXPECT_EQ(head + "Version=65536\r\n", readall(dir + "\\gpt.ini"));
    EXPECT_EQ("", school.err);      // every value of the presets lies in the policy branches
    std::string user = readall(dir + "\\User\\Registry.pol");
    EXPECT_EQ(preg, user.substr(0, 8));
    EXPECT_EQ(45, (int)std::count(user.begin(), user.end(), '['));   // 47 targets, two written twice

    ran both = tolvctl("export --gpo \"" + dir + "\" --force --set always-unload-dlls=on show-super-hidden=off "
                       "clear-page-file=on no-run-button=on");
    EXPECT_EQ(0u, both.code);
    EXPECT_EQ(head + "Version=65537\r\n", readall(dir + "\\gpt.ini"));
    EXPECT_NE(std::string::npos, readall(dir + "\\Machine\\Registry.pol").find(std::string("A\0l\0w\0a\0y\0s\0", 12)));
    // Each value outside the policy branches is named, and only those.
    for (const char *outside : { "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AlwaysUnloadDll",
                                 "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\ShowSuperHidden",
                                 "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management\\ClearPageFileAtShutdown" })
        EXPECT_NE(std::string::npos, both.err.find(std::string("tolvctl: warning: ") + outside + " lies outside")) << outside;
    EXPECT_EQ(3, (int)std::count(both.err.begin(), both.err.end(), '\n'));
    // Apply writes the second page-file value only where its key already
    // is; an export, which would make the key everywhere, leaves it out.
    EXPECT_EQ(std::string::npos, readall(dir + "\\Machine\\Registry.pol").find(std::string("0\00\01\0\\\0", 8)));
}

// ---- .reg exports through Wine's reg import ------------------------------------------

TEST_F(exporttest, reg_import_of_an_export_gives_what_was_exported)
{
    std::string file = workdir() + "export.reg";
    std::vector<int> restrictids;
    for (auto &line : outputlines(tolvctl("list").out))
        if (line.compare(0, 9, "restrict.") == 0)
            restrictids.push_back(std::stoi(line.substr(9)));
    ASSERT_EQ(43u, restrictids.size());

    for (int preset = 0; preset < 4; preset++)
        for (bool opposite : { false, true }) {
            SCOPED_TRACE(std::string(presetnames[preset]) + (opposite ? " over its opposite" : " over nothing"));
            // Every box the other way round, or no value at all.
            auto start = [&]() {
                clear();
                if (!opposite)
                    return;
                std::set<int> ticked = presetticks(preset);
                std::string args = "set";
                for (int id : restrictids)
                    args += " restrict." + std::to_string(id) + (ticked.count(id) ? "=off" : "=on");
                ASSERT_EQ(0u, tolvctl(args).code);
            };
            start();
            ASSERT_EQ(0u, tolvctl(std::string("export --reg \"") + file + "\" --preset " + presetnames[preset]).code);
            ASSERT_EQ(0u, tolvctl(std::string("apply ") + presetnames[preset]).code);
            wsnapshot applied = valuesonly(snap());
            start();
            ran imported = runprogram("reg.exe import \"" + file + "\"");
            EXPECT_EQ(0u, imported.code) << imported.err;
            EXPECT_EQ("", regdiff(applied, valuesonly(snap())));
        }

    // --current: every value as it is, in its own type and bytes.
    clear();
    std::string binary(3000, '\0');
    for (size_t i = 0; i < binary.size(); i++)
        binary[i] = (char)(i * 7);
    wput(HKCU, pe, L"NoRun", REG_SZ, utf16(L"Gr\u00fc\u00dfe"));
    wput(HKCU, pe, L"NoDrives", REG_BINARY, binary);
    wput(HKCU, pe, L"NoFind", REG_DWORD, std::string("\x07\0\0\0", 4));
    wput(HKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", L"AlwaysUnloadDll", REG_MULTI_SZ,
         utf16(L"a") + utf16(L"b") + std::string(2, '\0'));
    wsnapshot before = valuesonly(snap());
    ran current = tolvctl("export --reg \"" + file + "\" --current");
    EXPECT_EQ(0u, current.code);
    EXPECT_NE(std::string::npos, current.out.find("(69 values)"));
    ASSERT_EQ(0u, tolvctl("apply highly-restricted").code);
    ASSERT_EQ(0u, tolvctl("set always-unload-dlls=on").code);
    EXPECT_EQ(0u, runprogram("reg.exe import \"" + file + "\"").code);
    EXPECT_EQ("", regdiff(before, valuesonly(snap())));
}

// ---- local Group Policy --------------------------------------------------------------

TEST_F(exporttest, a_local_policy_is_shown_and_warned_of)
{
    CreateDirectoryA(grouppolicydir().c_str(), NULL);
    CreateDirectoryA((grouppolicydir() + "\\User").c_str(), NULL);
    writeall(grouppolicydir() + "\\User\\Registry.pol",
             preg + record(pe, L"NoRun", REG_DWORD, std::string("\1\0\0\0", 4)) +
                 record(pe, L"**del.NoDrives", REG_SZ, std::string(" \0\0\0", 4)));
    wput(HKCU, pe, L"NoDrives", REG_DWORD, std::string("\4\0\0\0", 4));

    ran text = tolvctl("list");
    EXPECT_EQ(0u, text.code);
    EXPECT_NE(std::string::npos, text.out.find("\\Explorer\\NoRun: absent [local Group Policy: REG_DWORD 0x1]\r\n"));
    EXPECT_NE(std::string::npos,
              text.out.find("\\Explorer\\NoDrives: REG_DWORD 0x4, does not pass [local Group Policy: deletes it]\r\n"));
    EXPECT_NE(std::string::npos, text.out.find("\r\n[local Group Policy: ...] marks the values"));
    size_t marks = 0;
    for (size_t at = 0; (at = text.out.find("[local Group Policy: ", at)) != std::string::npos; at++)
        marks++;
    EXPECT_EQ(3u, marks);   // the two values and the line at the end

    std::string json = tolvctl("list --json").out;
    EXPECT_NE(std::string::npos, json.find("\"value\": \"NoRun\", \"present\": false, \"type\": null, \"data\": null, "
                                           "\"passes\": false, \"group_policy\": {\"action\": \"set\", "
                                           "\"type\": \"REG_DWORD\", \"data\": 1, \"object\": \"local\"}, \"windows\": "));
    EXPECT_NE(std::string::npos, json.find("\"value\": \"NoDrives\", \"present\": true, \"type\": \"REG_DWORD\", "
                                           "\"data\": 4, \"passes\": false, \"group_policy\": {\"action\": \"delete\", "
                                           "\"object\": \"local\"}, \"windows\": "));
    size_t nulls = 0;
    for (size_t at = 0; (at = json.find("\"group_policy\": null", at)) != std::string::npos; at++)
        nulls++;
    EXPECT_EQ(67u, nulls);

    // The change is made, and the line after it says that it will not last.
    ran set = tolvctl("set no-run-button=off hide-all-drives=on");
    EXPECT_EQ(0u, set.code);
    EXPECT_NE(std::string::npos, set.out.find("\\Explorer\\NoRun (absent)\r\nnote      HKCU\\Software\\Microsoft\\Windows\\"
                                              "CurrentVersion\\Policies\\Explorer\\NoRun: local Group Policy sets it back "
                                              "to REG_DWORD 0x1 at its next refresh\r\n"));
    EXPECT_NE(std::string::npos, set.out.find("NoDrives: local Group Policy deletes it again at its next refresh\r\n"));
    EXPECT_EQ(0xFFFFFFFF, reggetdword(HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoDrives"));
    clearjournal();
}

TEST_F(exporttest, a_corrupt_policy_file_is_named_and_left_aside)
{
    std::string good = record(pe, L"NoRun", REG_DWORD, std::string("\1\0\0\0", 4));
    std::string shortsize = good;
    shortsize[shortsize.size() - 12] = 100;     // the size field: 100 bytes that are not there
    struct { const char *what; std::string data; size_t offset; const char *says; } rows[] = {
        { "no file header", "PReg\x02\0\0\0" + good, 0, "not a Registry.pol file" },
        { "0 bytes", "", 0, "not a Registry.pol file" },
        { "cut short", preg + good.substr(0, 20), 28, "a record cut short" },
        { "odd string", preg + good.substr(0, 21), 28, "a string of an odd number of bytes" },
        { "size beyond the end", preg + shortsize, 8 + shortsize.size() - 6, "the data's size runs beyond" },
        { "no closing bracket", preg + good.substr(0, good.size() - 2) + std::string("[\0", 2), 8 + good.size() - 2,
          "expected \"]\"" },
    };
    CreateDirectoryA(grouppolicydir().c_str(), NULL);
    CreateDirectoryA((grouppolicydir() + "\\Machine").c_str(), NULL);
    std::string path = grouppolicydir() + "\\Machine\\Registry.pol";
    std::string plain = tolvctl("list").out;
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        writeall(path, row.data);
        ran r = tolvctl("list");
        EXPECT_EQ(0u, r.code);
        EXPECT_EQ(plain, r.out);    // the whole list, nothing marked
        EXPECT_EQ(0u, r.err.find("tolvctl: warning: " + path + ": byte " + std::to_string(row.offset) + ": " + row.says))
            << r.err;
        EXPECT_EQ(1, (int)std::count(r.err.begin(), r.err.end(), '\n'));
    }
}

// ---- files: --force, failures, usage ---------------------------------------------------

TEST_F(exporttest, existing_files_need_force_and_failed_writes_leave_nothing)
{
    std::string args = "export --gpo \"" + dir + "\" --preset cyber-cafe";
    ASSERT_EQ(0u, tolvctl(args).code);
    std::string pol = readall(dir + "\\User\\Registry.pol"), ini = readall(dir + "\\gpt.ini");
    ran again = tolvctl("export --gpo \"" + dir + "\" --preset school");
    EXPECT_EQ(2u, again.code);
    EXPECT_NE(std::string::npos, again.err.find("exists; --force replaces it"));
    EXPECT_EQ(pol, readall(dir + "\\User\\Registry.pol"));
    EXPECT_EQ(ini, readall(dir + "\\gpt.ini"));
    EXPECT_EQ(0u, tolvctl("export --gpo \"" + dir + "\" --preset school --force").code);
    EXPECT_NE(pol, readall(dir + "\\User\\Registry.pol"));

    // A side that the new export leaves empty loses the old file, with --force only.
    EXPECT_EQ(0u, tolvctl("export --gpo \"" + dir + "\" --current --force").code);
    std::string machine = dir + "\\Machine\\Registry.pol";
    ASSERT_NE("", readall(machine));
    EXPECT_EQ(2u, tolvctl("export --pol \"" + dir + "\" --set no-run-button=on --force --set").code);
    ran userside = tolvctl("export --pol \"" + dir + "\" --set no-run-button=on");
    EXPECT_EQ(2u, userside.code);
    EXPECT_NE("", readall(machine));
    userside = tolvctl("export --pol \"" + dir + "\" --set no-run-button=on --force");
    EXPECT_EQ(0u, userside.code);
    EXPECT_NE(std::string::npos, userside.out.find("removed   " + machine + "\r\n"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(machine.c_str()));

    // A folder where the file must go: the write fails, exit 1, and no
    // temporary file is left beside it.
    std::string blocked = workdir() + "blocked";
    runprogram("cmd.exe /c rmdir /s /q \"" + blocked + "\"");
    CreateDirectoryA(blocked.c_str(), NULL);
    CreateDirectoryA((blocked + "\\User").c_str(), NULL);
    CreateDirectoryA((blocked + "\\User\\Registry.pol").c_str(), NULL);
    ran failed = tolvctl("export --pol \"" + blocked + "\" --preset school --force");
    EXPECT_EQ(1u, failed.code);
    EXPECT_NE(std::string::npos, failed.err.find("cannot write " + blocked + "\\User\\Registry.pol: "));
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((blocked + "\\User\\*").c_str(), &found);
    int entries = 0;
    do
        entries += found.cFileName[0] != '.';
    while (FindNextFileA(h, &found));
    FindClose(h);
    EXPECT_EQ(1, entries);
    ran nofolder = tolvctl("export --reg \"" + workdir() + "no\\such\\folder\\x.reg\" --preset school");
    EXPECT_EQ(1u, nofolder.code);
    // Options in any case, as Windows tools take them; a missing folder of
    // --pol is made with its parents.
    std::string upper = workdir() + "UPPER.reg";
    EXPECT_EQ(0u, tolvctl("EXPORT --REG \"" + upper + "\" --PRESET SCHOOL").code);
    EXPECT_EQ("\xff\xfeW", readall(upper).substr(0, 3));
    std::string deep = blocked + "\\a\\b";
    EXPECT_EQ(0u, tolvctl("export --pol \"" + deep + "\" --preset school").code);
    EXPECT_NE("", readall(deep + "\\User\\Registry.pol"));

    for (const char *bad : { "export", "export --reg x.reg", "export --preset school", "export --reg x.reg --preset nursery",
                             "export --pol d --set", "export --pol d --set no-such=on", "export --reg x --current --dry-run",
                             "export --reg a --pol b --current", "export --reg x.reg --current --preset school" })
        EXPECT_EQ(2u, tolvctl(bad).code) << bad;
    runprogram("cmd.exe /c rmdir /s /q \"" + blocked + "\"");
}
