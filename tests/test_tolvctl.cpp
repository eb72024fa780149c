// tolvctl, the real program: backup, restore and undo give back the exact
// bytes; apply does what the dialog does; list shows what the dialogs show;
// bad files and bad arguments change nothing; exit codes say what happened.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <set>
#include "policy.h"
#include "tool.h"

// Keys that come and go between rounds; the test's own, or empty in a new
// prefix, so that wiping them loses nothing of the system.
static const struct { HKEY root; const char *key; } wipeable[] = {
    { HKCU, "Software\\Policies\\Microsoft\\Internet Explorer" },
    { HKCU, "Software\\Policies\\Microsoft\\Windows" },
    { HKCU, "Software\\Policies\\Microsoft\\MMC" },
    { HKCU, POLICIES "\\Uninstall" },
    { HKCU, POLICIES "\\NonEnum" },
    { HKCU, POLICIES "\\Network" },
    { HKLM, "SYSTEM\\CurrentControlSet001" },
};

// A random state of every value: absent, DWORDs that pass and fail, text
// with non-ASCII letters, binary data beyond the dialogs' 2,048 bytes,
// multi-strings, empty values and values of odd types; some keys absent,
// and a bystander value in each key, which nothing may touch.
static void randomstate(std::mt19937 &rng, const std::vector<valueref> &values)
{
    for (auto &v : values)
        wdelete(v.root, v.key, v.name);
    for (auto &w : wipeable)
        if (rng() % 3 == 0)
            regwipe(w.root, w.key);
    for (auto &v : values) {
        std::string big(2048 + rng() % 3000, '\0');
        for (auto &c : big)
            c = (char)rng();
        DWORD d = rng() % 4 == 0 ? (DWORD)rng() : rng() % 6;
        switch (rng() % 11) {
        case 0: case 1: case 2: break;
        case 3: case 4: wput(v.root, v.key, v.name, REG_DWORD, std::string((char *)&d, 4)); break;
        case 5: wput(v.root, v.key, v.name, REG_SZ, utf16(L"Gr\u00fc\u00dfe \u2713 \\\"1\"")); break;
        case 6: wput(v.root, v.key, v.name, REG_BINARY, big); break;
        case 7: wput(v.root, v.key, v.name, REG_MULTI_SZ, utf16(L"one") + utf16(L"tw\u00f6") + std::string(2, '\0')); break;
        case 8: wput(v.root, v.key, v.name, rng() % 2 ? REG_BINARY : REG_SZ, ""); break;
        case 9: wput(v.root, v.key, v.name, REG_DWORD, std::string("\1\0", 2)); break;
        case 10: wput(v.root, v.key, v.name, 0x12345, "odd type\n"); break;
        }
        if (rng() % 8 == 0)
            wput(v.root, v.key, L"TolvaneTestBystander", REG_SZ, utf16(L"leave me"));
    }
}


struct tolvctltest : ::testing::Test {
    std::vector<valueref> values;
    void SetUp() override
    {
        clearjournal();
        values = listedvalues();
        happ = GetModuleHandleA(NULL);
    }
    void TearDown() override
    {
        for (auto &v : values) {
            wdelete(v.root, v.key, v.name);
            wdelete(v.root, v.key, L"TolvaneTestBystander");
        }
        regwipe(HKLM, "SYSTEM\\CurrentControlSet001");
        clearjournal();
    }
};

// ---- round trips ------------------------------------------------------------------------

TEST_F(tolvctltest, backup_restore_and_undo_give_back_every_byte)
{
    // 22 values of Tweak settings and 47 of Set Restrictions.
    ASSERT_EQ(69u, values.size());
    std::mt19937 rng(7);
    std::string file = workdir() + "round.reg";
    for (int round = 0; round < 6; round++) {
        SCOPED_TRACE(round);
        randomstate(rng, values);
        wsnapshot before = snap();
        ASSERT_EQ(0u, tolvctl("backup \"" + file + "\"").code);

        // Changes by tolvctl and by the dialogs themselves.
        EXPECT_EQ(0u, tolvctl(std::string("apply ") + presetnames[rng() % 4]).code);
        EXPECT_EQ(0u, tolvctl("set no-autoplay=on always-unload-dlls=on clear-page-file=on "
                              "restrict.1037=off no-proxy-changes=on").code);
        HWND dlg = opendialog(102, dlgtweakproc);
        for (int id : { 1001, 1004, 1095, 1099, 1100 })
            CheckDlgButton(dlg, id, rng() % 2 ? BST_CHECKED : BST_UNCHECKED);
        press(dlg, dlgtweakproc, 1006);
        DestroyWindow(dlg);
        wsnapshot changed = snap();

        // A dry run says what the restore does and does nothing.
        ran dry = tolvctl("restore --dry-run \"" + file + "\"");
        EXPECT_EQ(0u, dry.code);
        EXPECT_EQ("", regdiff(changed, snap()));
        ran restored = tolvctl("restore \"" + file + "\"");
        EXPECT_EQ(0u, restored.code) << restored.err;
        EXPECT_EQ(dry.out, restored.out);
        EXPECT_EQ("", regdiff(before, snap()));

        // The restore is journaled: undo brings back the changed state,
        // and then the three tolvctl changes walk back to where they began.
        EXPECT_EQ(0u, tolvctl("undo").code);
        EXPECT_EQ("", regdiff(changed, snap()));
        clearjournal();
        randomstate(rng, values);
        before = snap();
        EXPECT_EQ(0u, tolvctl(std::string("apply ") + presetnames[rng() % 4]).code);
        EXPECT_EQ(0u, tolvctl("set no-recycle-bin=on no-16-bit-programs=on no-run-button=off").code);
        EXPECT_EQ(0u, tolvctl("restore \"" + file + "\"").code);
        ran undo;
        int undos = 0;
        while ((undo = tolvctl("undo")).code == 0 && undos < 5)
            undos++;
        EXPECT_EQ(1u, undo.code);
        EXPECT_NE(std::string::npos, undo.err.find("nothing to undo"));
        EXPECT_EQ("", regdiff(before, snap()));
    }
}

// Keys that are absent at backup time and that apply or set make, the
// prepared ones and those of values alike, are gone again after restore.
TEST_F(tolvctltest, restore_removes_the_keys_that_later_commands_made)
{
    for (auto &w : wipeable)
        regwipe(w.root, w.key);
    wsnapshot before = snap();
    std::string file = workdir() + "keys.reg";
    ASSERT_EQ(0u, tolvctl("backup \"" + file + "\"").code);
    EXPECT_EQ(0u, tolvctl("apply school").code);
    EXPECT_EQ(0u, tolvctl("set no-recycle-bin=on clear-page-file=on").code);
    ran restored = tolvctl("restore \"" + file + "\"");
    EXPECT_EQ(0u, restored.code) << restored.err;
    EXPECT_EQ("", regdiff(before, snap()));
}

TEST_F(tolvctltest, reg_import_of_a_backup_gives_the_values_of_restore)
{
    std::mt19937 rng(11);
    std::string file = workdir() + "import.reg";
    for (int round = 0; round < 3; round++) {
        SCOPED_TRACE(round);
        randomstate(rng, values);
        ASSERT_EQ(0u, tolvctl("backup \"" + file + "\"").code);
        EXPECT_EQ(0u, tolvctl("apply highly-restricted").code);
        EXPECT_EQ(0u, tolvctl("restore \"" + file + "\"").code);
        wsnapshot restored = snap();
        EXPECT_EQ(0u, tolvctl("apply highly-restricted").code);
        ran imported = runprogram("reg.exe import \"" + file + "\"");
        EXPECT_EQ(0u, imported.code) << imported.err;
        EXPECT_EQ("", regdiff(valuesonly(restored), valuesonly(snap())));
    }
}

// ---- the same as the dialogs --------------------------------------------------------

TEST_F(tolvctltest, apply_leaves_what_the_dialogs_preset_and_apply_leave)
{
    for (int preset = 0; preset < 4; preset++)
        for (bool iemissing : { false, true }) {
            SCOPED_TRACE(std::string(presetnames[preset]) + (iemissing ? ", IE key missing" : ""));
            auto prepare = [&]() {
                std::mt19937 rng(preset);
                for (const char *leaf : { "MMC", "InternetManagement", "Windows\\AppCompat", "Windows\\Installer",
                                          "Windows\\Network Connections", "Windows\\System" })
                    regput(HKCU, (std::string(MSPOLICIES "\\") + leaf).c_str(), NULL, REG_NONE, NULL, 0);
                for (auto &v : values) {
                    wdelete(v.root, v.key, v.name);
                    DWORD d = rng() % 3;
                    if (rng() % 2)
                        wput(v.root, v.key, v.name, REG_DWORD, std::string((char *)&d, 4));
                    else
                        wput(v.root, v.key, L"TolvaneTestBystander", REG_DWORD, std::string((char *)&d, 4));
                }
                if (iemissing)
                    regwipe(HKCU, "Software\\Policies\\Microsoft\\Internet Explorer");
            };
            prepare();
            HWND dlg = opendialog(103, dlgrestrictproc);
            press(dlg, dlgrestrictproc, 1107 + preset);
            press(dlg, dlgrestrictproc, 1000);
            DestroyWindow(dlg);
            wsnapshot bydialog = snap();
            prepare();
            ran r = tolvctl(std::string("apply ") + presetnames[preset]);
            EXPECT_EQ(0u, r.code);
            wsnapshot bytool = snap();
            // Both make the browser's key when they write into it; tolvctl
            // says so. Clear all only deletes.
            EXPECT_EQ("", regdiff(bydialog, bytool));
            bool created = r.out.find("created   HKCU\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel\r\n") !=
                           std::string::npos;
            EXPECT_EQ(iemissing && preset < 3, created);
            EXPECT_EQ(preset < 3 ? 1 : -1, reggetdword(HKCU, MSPOLICIES "\\Internet Explorer\\Control Panel", "HomePage"));
        }
}

TEST_F(tolvctltest, list_shows_what_the_dialogs_show)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 4; round++) {
        SCOPED_TRACE(round);
        randomstate(rng, values);
        for (auto &v : values)
            if (rng() % 3 == 0) {
                DWORD d = rng() % 2 ? 1 : rng() % 3 ? 0 : 0xFFFFFFFF;
                wput(v.root, v.key, v.name, REG_DWORD, std::string((char *)&d, 4));
            }
        std::set<std::string> shown, listed;
        for (auto d : { std::make_pair(102, dlgtweakproc), std::make_pair(103, dlgrestrictproc) }) {
            HWND dlg = opendialog(d.first, d.second);
            dialogtemplate dt;
            ASSERT_TRUE(readtemplate(d.first, &dt));
            for (auto &item : dt.items)
                if ((item.style & BS_TYPEMASK) == BS_AUTOCHECKBOX && IsDlgButtonChecked(dlg, item.id))
                    shown.insert((d.first == 102 ? "tweak." : "restrict.") + std::to_string(item.id));
            DestroyWindow(dlg);
        }
        // "tweak.1001 no-autoplay: on  ..."
        for (auto &line : outputlines(tolvctl("list").out))
            if (line[0] != ' ' && line.find(": on ") != std::string::npos)
                listed.insert(line.substr(0, line.find(' ')));
        EXPECT_EQ(shown, listed);
    }
}

// The JSON and the Markdown table name each box with its template's caption,
// and docs/settings.md is what list --markdown prints.
// What a clear cannot take away, tolvctl says: the machine-wide printer
// values, which it never changes, and what Windows Installer needs.
TEST_F(tolvctltest, what_stays_in_force_is_said)
{
    const char *explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    regputdword(HKLM, explorer, "NoAddPrinter", 1);
    ran r = tolvctl("set no-add-printer=off no-delete-printer=off");
    regdelete(HKLM, explorer, "NoAddPrinter");
    EXPECT_EQ(0u, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find(std::string("note      HKLM\\") + explorer + "\\NoAddPrinter = REG_DWORD 0x1 "
                                            "still restricts every user of this machine: no-add-printer reads on"))
        << r.out;
    EXPECT_EQ(r.out.rfind("note      "), r.out.find("note      "));   // one note: only the machine's value ticks
    EXPECT_EQ(std::string::npos, r.out.find("no-delete-printer reads on"));
    std::string listed = tolvctl("list").out;
    size_t at = listed.find("restrict.1080 always-install-elevated: ");
    EXPECT_NE(std::string::npos, listed.find("\r\n    note: Windows Installer elevates only when this user value and the "
                                             "computer's own AlwaysInstallElevated are both 1", at));
}

TEST_F(tolvctltest, listings_match_the_templates_and_the_docs)
{
    std::string json = tolvctl("list --json").out;
    std::vector<std::string> fromjson, fromtemplates;
    std::set<std::string> names;
    for (size_t at = 0;;) {
        std::string dialog = between(json, &at, "{\"dialog\": \"", "\", \"id\": ");
        std::string id = between(json, &at, "", ", \"name\": \"");
        std::string name = between(json, &at, "", "\", \"caption\": \"");
        std::string caption = between(json, &at, "", "\", \"state\": \"");
        if (at == std::string::npos)
            break;
        for (size_t q; (q = caption.find("\\\"")) != std::string::npos;)
            caption.erase(q, 1);
        fromjson.push_back(dialog + id + " " + caption);
        names.insert(name);
    }
    for (int templ : { 102, 103 }) {
        dialogtemplate dt;
        ASSERT_TRUE(readtemplate(templ, &dt));
        for (auto &item : dt.items)
            if ((item.style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                fromtemplates.push_back((templ == 102 ? "tweak" : "restrict") + std::to_string(item.id) + " " + item.text);
    }
    EXPECT_EQ(fromtemplates, fromjson);
    EXPECT_EQ(62u, names.size());
    EXPECT_EQ('[', json[0]);
    EXPECT_EQ("]\r\n", json.substr(json.size() - 3));

    ran md = tolvctl("list --markdown");
    EXPECT_EQ(0u, md.code);
    EXPECT_TRUE(readall(SOURCEDIR "\\docs\\settings.md") == md.out)
        << "docs/settings.md is not what tolvctl list --markdown prints";
}

// ---- exit codes, bad files and what they leave alone --------------------------------

TEST_F(tolvctltest, usage_errors_give_2_and_change_nothing)
{
    struct { const char *args; const char *says; } rows[] = {
        { "", "name a command" },
        { "frobnicate", "unknown command frobnicate" },
        { "set", "usage: tolvctl set" },
        { "set no-run-button", "expected SETTING=on or SETTING=off" },
        { "set no-such-thing=on", "unknown setting no-such-thing" },
        { "set no-run-button=maybe", "a setting is on or off" },
        { "set no-run-button=on restrict.1011=off", "named twice" },
        { "set tweak.1011=on", "unknown setting tweak.1011" },
        { "apply", "apply needs a preset" },
        { "apply kindergarten", "unknown preset kindergarten" },
        { "apply school cyber-cafe", "apply takes one preset" },
        { "backup", "usage: tolvctl backup" },
        { "restore", "usage: tolvctl restore" },
        { "undo now", "usage: tolvctl undo" },
        { "list --xml", "unknown option --xml" },
        { "help nothing", "no such command: nothing" },
    };
    wsnapshot before = snap();
    for (auto &row : rows) {
        SCOPED_TRACE(row.args);
        ran r = tolvctl(row.args);
        EXPECT_EQ(2u, r.code);
        EXPECT_EQ("", r.out);
        EXPECT_NE(std::string::npos, r.err.find(row.says)) << r.err;
    }
    EXPECT_EQ("", regdiff(before, snap()));
    EXPECT_EQ(1u, tolvctl("undo").code);    // nothing was journaled
    for (const char *args : { "help", "-h", "--help", "/?", "help restore", "--version" })
        EXPECT_EQ(0u, tolvctl(args).code) << args;
    EXPECT_EQ("tolvctl 1.1.2\r\n", tolvctl("--version").out);
}

// Where the UTF-16 line around offset at begins.
static size_t linestart(const std::string &utf16le, size_t at)
{
    at &= ~(size_t)1;
    while (at >= 2 && !(utf16le[at - 2] == '\n' && utf16le[at - 1] == 0))
        at -= 2;
    return at;
}

static std::string regfile(const std::wstring &text)
{
    return "\xff\xfe" + std::string((const char *)text.c_str(), text.size() * sizeof(wchar_t));
}

TEST_F(tolvctltest, bad_files_give_2_name_the_line_and_change_nothing)
{
    const std::wstring head = L"Windows Registry Editor Version 5.00\r\n\r\n";
    // Each bad line follows a deletion, which must not have been made.
    const std::wstring key = L"[HKEY_CURRENT_USER\\Software\\TolvaneTest\\file]\r\n\"keep\"=-\r\n";
    std::string backup = workdir() + "whole.reg";
    regputdword(HKCU, SANDBOX "\\file", "keep", 1);
    ASSERT_EQ(0u, tolvctl("backup \"" + backup + "\"").code);
    std::string whole = readall(backup);
    std::wstring longline(600000, L'a');
    std::wstring mib = L"\"big\"=hex:00";
    for (int i = 1; i < 1048577; i++)
        mib += (i % 25 == 0) ? L",\\\r\n  00" : L",00";

    struct { const char *what; std::string data; const char *says; } rows[] = {
        { "empty", "", ":1: the file is empty" },
        { "only a mark", "\xff\xfe", ":1: the file is empty" },
        { "cut short", whole.substr(0, linestart(whole, whole.size() * 2 / 3)), "it is cut short" },
        { "half a character", whole.substr(0, whole.size() - 1), ":1: the file ends in half a character" },
        { "no byte-order mark", whole.substr(2), ":1: UTF-16 text without its byte-order mark" },
        { "other header", regfile(L"Windows Registry Editor Version 6.00\r\n"), ":1: expected \"Windows Registry" },
        { "value first", regfile(head + L"\"x\"=dword:1\r\n"), ":3: a value before any key section" },
        { "no equals", regfile(head + key + L"\"x\" dword:1\r\n"), ":5: expected \"=\" after the value name" },
        { "open string", regfile(head + key + L"\"x\"=\"abc\r\n"), ":5: the string has no closing quote" },
        { "open name", regfile(head + key + L"\"x=1\r\n"), ":5: the value name has no closing quote" },
        { "open key", regfile(head + L"[HKEY_CURRENT_USER\\Software\r\n\"x\"=-\r\n"), ":3: the key line has no closing" },
        { "key deletion", regfile(head + L"[-HKEY_CURRENT_USER\\Software\\TolvaneTest]\r\n"), ":3: key deletions" },
        { "other root", regfile(head + L"[HKEY_CLASSES_ROOT\\x]\r\n"), ":3: only keys under HKEY_CURRENT_USER" },
        { "odd hex", regfile(head + key + L"\"x\"=hex:01,2,03\r\n"), ":5: hex bytes are two digits each" },
        { "odd run", regfile(head + key + L"\"x\"=hex:0102\r\n"), ":5: hex bytes are two digits each" },
        { "long dword", regfile(head + key + L"\"x\"=dword:123456789\r\n"), ":5: a dword: of more than eight" },
        { "no data", regfile(head + key + L"\"x\"=word:1\r\n"), ":5: expected a string" },
        { "long line", regfile(head + key + L"\"x\"=\"" + longline + L"\"\r\n"), ":5: a line of more than 65536" },
        { "a value of 1 MiB", regfile(head + key + mib + L"\r\n"), "a value of more than 65536 bytes" },
        { "continued past the end", regfile(head + key + L"\"x\"=hex:01,\\\r\n"), ":5: the value continues past" },
    };
    wsnapshot before = snap();
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::string path = workdir() + "bad.reg";
        writeall(path, row.data);
        for (const char *dry : { "", "--dry-run " }) {
            ran r = tolvctl(std::string("restore ") + dry + "\"" + path + "\"");
            EXPECT_EQ(2u, r.code);
            EXPECT_EQ("", r.out);
            // The file and line, or the file and the message.
            if (row.says[0] == ':')
                EXPECT_EQ(0u, r.err.find("tolvctl: " + path + row.says)) << r.err;
            else
                EXPECT_TRUE(r.err.find("tolvctl: " + path + ":") == 0 &&
                            r.err.find(row.says) != std::string::npos) << r.err;
        }
    }
    ran missing = tolvctl("restore \"" + workdir() + "none.reg\"");
    EXPECT_EQ(2u, missing.code);
    EXPECT_NE(std::string::npos, missing.err.find(systemtext(ERROR_FILE_NOT_FOUND).substr(0, 10)));
    EXPECT_EQ("", regdiff(before, snap()));
    EXPECT_EQ(1, reggetdword(HKCU, SANDBOX "\\file", "keep"));
    EXPECT_EQ(1u, tolvctl("undo").code);    // a refused file journals nothing
    regwipe(HKCU, SANDBOX);
}

// A value that may not be written is reported with the system's text and
// exit 1; the rest is done, and undo takes it back.
TEST_F(tolvctltest, a_refused_value_gives_1_and_the_rest_is_done)
{
    const char *mm001 = "SYSTEM\\CurrentControlSet001\\Control\\Session Manager\\Memory Management";
    regputdword(HKLM, mm001, "Other", 3);
    regreadonly(HKLM, mm001, true);
    wsnapshot before = snap();
    ran r = tolvctl("set clear-page-file=on no-run-button=on");
    regreadonly(HKLM, mm001, false);
    EXPECT_EQ(1u, r.code);
    EXPECT_NE(std::string::npos, r.out.find(std::string("failed    HKLM\\") + mm001 +
                                            "\\ClearPageFileAtShutdown = REG_DWORD 0x1: " +
                                            systemtext(ERROR_ACCESS_DENIED).substr(0, 6)));
    EXPECT_EQ(1, reggetdword(HKLM, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
                             "ClearPageFileAtShutdown"));
    EXPECT_EQ(1, reggetdword(HKCU, POLICIES "\\Explorer", "NoRun"));
    EXPECT_EQ(0u, tolvctl("undo").code);
    EXPECT_EQ("", regdiff(before, snap()));
    wdelete(HKLM, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management",
            L"ClearPageFileAtShutdown");
}

// set prints one line per change with what was there before; a dry run
// prints the same and changes nothing; the journal keeps the newest 100.
TEST_F(tolvctltest, lines_dry_runs_and_the_journal)
{
    regwipe(HKCU, "Software\\Policies\\Microsoft\\Internet Explorer");
    regputdword(HKCU, POLICIES "\\Explorer", "NoDrives", 4);
    regput(HKCU, POLICIES "\\Explorer", "NoRun", REG_SZ, "1", 2);
    const char *args = "set hide-all-drives=off no-run-button=on no-homepage-changes=on no-autoplay=off --dry-run";
    wsnapshot before = snap();
    ran dry = tolvctl(args);
    EXPECT_EQ("", regdiff(before, snap()));
    ran real = tolvctl(std::string(args).substr(0, strlen(args) - 10));
    EXPECT_EQ(0u, real.code);
    EXPECT_EQ(dry.out, real.out);
    EXPECT_EQ("tolvctl: dry run: nothing was changed\r\n", dry.err);
    const std::string pe = "HKCU\\" POLICIES "\\Explorer\\";
    // In the order of Apply: Tweak settings first, then Set Restrictions.
    EXPECT_EQ("unchanged " + pe + "NoDriveTypeAutoRun (absent)\r\n"
              "set       " + pe + "NoRun = REG_DWORD 0x1 (was REG_SZ \"1\")\r\n"
              "created   HKCU\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel\r\n"
              "set       HKCU\\Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel\\HomePage"
              " = REG_DWORD 0x1 (was absent)\r\n"
              "deleted   " + pe + "NoDrives (was REG_DWORD 0x4)\r\n", real.out);
    EXPECT_EQ("unchanged " + pe + "NoRun = REG_DWORD 0x1\r\n", tolvctl("set no-run-button=on").out);

    // 100 entries already: the next change drops the oldest.
    CreateDirectoryA(journaldir().c_str(), NULL);
    std::string entry = readall(journaldir() + "\\00000001.reg");
    ASSERT_NE("", entry);
    for (int n = 2; n <= 100; n++) {
        char name[16];
        sprintf(name, "\\%08d.reg", n);
        writeall(journaldir() + name, entry);
    }
    EXPECT_EQ(0u, tolvctl("set no-run-button=off").code);
    EXPECT_EQ("", readall(journaldir() + "\\00000001.reg"));
    EXPECT_NE("", readall(journaldir() + "\\00000101.reg"));
    EXPECT_NE("", readall(journaldir() + "\\00000002.reg"));
    regwipe(HKCU, "Software\\Policies\\Microsoft\\Internet Explorer");
}
