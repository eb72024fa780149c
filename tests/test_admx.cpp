// tolvctl export --admx: each policy of the template writes what export
// --pol writes for the same boxes, record for record, every reference
// resolves, and a bad command line or a folder that cannot be written
// leaves nothing behind.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "tool.h"

// Windows' own templates, beside the source tree, for the checks against them.
static const std::string windowstemplates = SOURCEDIR "\\..\\shared\\reference\\windows-policies";

// Records as "side|key\name|type|data", sorted: what a policy or a
// Registry.pol file does.
typedef std::vector<std::string> records;

static std::string recordtext(const std::string &side, const std::wstring &key, const std::wstring &name,
                              DWORD type, const std::string &data)
{
    std::string text = side + "|" + lower(key) + "\\" + lower(name) + "|" + std::to_string(type) + "|";
    for (unsigned char c : data)
        text += "0123456789abcdef"[c >> 4], text += "0123456789abcdef"[c & 15];
    return text;
}

// A Registry.pol file's records; none when there is no file.
static void polrecords(const std::string &side, const std::string &path, records *r)
{
    std::string file = readall(path);
    auto text = [&](size_t *at) {
        std::wstring s;
        for (; *at + 1 < file.size() && (file[*at] || file[*at + 1]); *at += 2)
            s += (wchar_t)((unsigned char)file[*at] | (unsigned char)file[*at + 1] << 8);
        *at += 4;   // the NUL and the ";" after it
        return s;
    };
    for (size_t at = 10; at < file.size(); at += 4) {  // past "[", and past "][" after the data
        std::wstring key = text(&at), name = text(&at);
        DWORD type = *(const DWORD *)&file[at], size = *(const DWORD *)&file[at + 6];
        r->push_back(recordtext(side, key, name, type, file.substr(at + 12, size)));
        at += 12 + size;
    }
    std::sort(r->begin(), r->end());
}

static std::string attribute(const std::string &tag, const std::string &name)
{
    size_t at = 0;
    return between(" " + tag, &at, " " + name + "=\"", "\"");
}

struct policy {
    std::string cls, category;
    records enabled, disabled;
};

// The policies of a template by name, their lists as the records that
// Group Policy writes for them.
static std::map<std::string, policy> readpolicies(const std::string &admx)
{
    std::map<std::string, policy> policies;
    for (size_t at = 0;;) {
        std::string body = between(admx, &at, "<policy ", "</policy>");
        if (at == std::string::npos)
            return policies;
        policy &p = policies[attribute(body, "name")];
        p.cls = attribute(body, "class");
        p.category = attribute(body, "ref");
        for (records *r : { &p.enabled, &p.disabled }) {
            std::string list = r == &p.enabled ? "enabledList>" : "disabledList>";
            size_t i = 0;
            std::string items = between(body, &i, "<" + list, "</" + list);
            for (i = 0;;) {
                std::string item = between(items, &i, "<item ", "</item>");
                if (i == std::string::npos)
                    break;
                std::wstring key = wide(attribute(item, "key")), name = wide(attribute(item, "valueName"));
                DWORD n = item.find("<decimal") != std::string::npos ? std::stoul(attribute(item, "value")) : 0;
                r->push_back(item.find("<delete />") != std::string::npos
                                 ? recordtext(p.cls, key, L"**del." + name, REG_SZ, std::string(" \0\0\0", 4))
                                 : recordtext(p.cls, key, name, REG_DWORD, std::string((char *)&n, 4)));
            }
            std::sort(r->begin(), r->end());
        }
    }
}

struct admxtest : ::testing::Test {
    std::string dir = workdir() + "admx", pol = workdir() + "admxpol", admx, adml;
    std::map<std::string, policy> policies;
    void SetUp() override
    {
        runprogram("cmd.exe /c rmdir /s /q \"" + dir + "\"");
        wsnapshot before = snap();
        ran r = tolvctl("export --admx \"" + dir + "\"");
        ASSERT_EQ(0u, r.code) << r.err;
        EXPECT_EQ("", regdiff(before, snap()));     // an export changes nothing here
        admx = readall(dir + "\\Tolvane.admx");
        adml = readall(dir + "\\en-US\\Tolvane.adml");
        policies = readpolicies(admx);
    }
    // What export --pol writes for the arguments, both sides.
    records exported(const std::string &args)
    {
        EXPECT_EQ(0u, tolvctl("export --pol \"" + pol + "\" --force " + args).code) << args;
        records r;
        polrecords("User", pol + "\\User\\Registry.pol", &r);
        polrecords("Machine", pol + "\\Machine\\Registry.pol", &r);
        std::sort(r.begin(), r.end());
        return r;
    }
};

// ---- the policies -------------------------------------------------------------------

TEST_F(admxtest, each_preset_writes_what_export_pol_writes)
{
    static const struct { const char *policy, *preset, *title; } rows[] = {
        { "school", "school", "School" },
        { "cyber_cafe", "cyber-cafe", "Cyber caf\xc3\xa9" },
        { "highly_restricted", "highly-restricted", "Highly restricted" },
    };
    EXPECT_EQ(3, std::count_if(policies.begin(), policies.end(),
                               [](const std::pair<const std::string, policy> &p) { return p.second.category == "Presets"; }));
    records clearall = exported("--preset clear-all");
    for (auto &row : rows) {
        SCOPED_TRACE(row.preset);
        ASSERT_EQ(1u, policies.count(row.policy));
        const policy &p = policies[row.policy];
        EXPECT_EQ("User", p.cls);
        EXPECT_EQ("Presets", p.category);
        EXPECT_EQ(exported(std::string("--preset ") + row.preset), p.enabled);
        EXPECT_EQ(clearall, p.disabled);
        size_t at = 0;
        EXPECT_EQ(row.title, between(adml, &at, std::string("<string id=\"") + row.policy + "\">", "</string>"));
    }
}

// A setting has a policy of its own exactly when export --pol writes a
// value for it that none of Windows' templates defines, and the policy
// writes those values alone. Without the templates, only the settings
// that none ever defined are checked.
TEST_F(admxtest, a_policy_for_each_setting_outside_windows_templates)
{
    std::set<std::string> windows;   // "side|key\name" of each value that a template defines
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((windowstemplates + "\\*.admx").c_str(), &found);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &found)) {
        std::string file = readall(windowstemplates + "\\" + found.cFileName), key, cls;
        for (size_t at = file.find('<'); at != std::string::npos; at = file.find('<', at + 1)) {
            std::string tag = file.substr(at, file.find('>', at) - at), name = attribute(tag, "valueName");
            if (!tag.compare(0, 7, "<policy") && isspace((unsigned char)tag[7]))
                key = attribute(tag, "key"), cls = attribute(tag, "class");
            for (const char *side : { "User", "Machine" })
                if (!name.empty() && (cls == side || cls == "Both"))
                    windows.insert(side + ("|" + lower(wide(attribute(tag, "key").empty() ? key : attribute(tag, "key"))))
                                   + "\\" + lower(wide(name)));
        }
    }
    FindClose(h);
    if (windows.empty())
        printf("no %s: only the settings that no template defines are checked\n", windowstemplates.c_str());
    std::set<std::string> always = { "clear-page-file", "always-unload-dlls", "show-super-hidden", "hide-file-extensions" };
    // The records of values that Windows' templates leave out; deletions count as their values.
    auto own = [&](records r) {
        r.erase(std::remove_if(r.begin(), r.end(), [&](std::string value) {
            value.erase(value.find('|', value.find('|') + 1));
            size_t del = value.find("\\**del.");
            return windows.count(del == std::string::npos ? value : value.erase(del + 1, 6)) > 0;
        }), r.end());
        return r;
    };
    for (auto &line : outputlines(tolvctl("list").out)) {
        size_t space = line.find(' '), colon = line.find(':');
        if (line[0] == ' ' || space == std::string::npos || colon == std::string::npos)
            continue;
        std::string setting = line.substr(space + 1, colon - space - 1), name = setting;
        std::replace(name.begin(), name.end(), '-', '_');
        if (windows.empty() && !always.count(setting))
            continue;
        SCOPED_TRACE(setting);
        // Only a setting of which Windows' templates define no value that
        // it writes gets one.
        records all = exported("--set " + setting + "=on"), on = own(all);
        ASSERT_EQ(!on.empty() && on.size() == all.size() ? 1u : 0u, policies.count(name));
        if (!policies.count(name))
            continue;
        EXPECT_EQ("Outside", policies[name].category);
        EXPECT_EQ(on, policies[name].enabled);
        EXPECT_EQ(own(exported("--set " + setting + "=off")), policies[name].disabled);
    }
}

// ---- the files -----------------------------------------------------------------------

// Every $(string.ID) and $(presentation.ID) is in the texts, every windows:
// definition in Windows.admx; both files are UTF-8 with CR LF line ends.
TEST_F(admxtest, references_resolve_and_lines_end_in_crlf)
{
    std::string windows = readall(windowstemplates + "\\Windows.admx");
    for (size_t at = 0; (at = admx.find("$(", at)) != std::string::npos; at++) {
        size_t dot = admx.find('.', at), end = admx.find(')', at);
        std::string want = "<" + admx.substr(at + 2, dot - at - 2) + " id=\"" + admx.substr(dot + 1, end - dot - 1) + "\"";
        EXPECT_NE(std::string::npos, adml.find(want)) << want;
    }
    for (size_t at = 0; !windows.empty() && (at = admx.find("\"windows:", at)) != std::string::npos; at++) {
        std::string definition = admx.substr(at + 9, admx.find('"', at + 1) - at - 9);
        EXPECT_NE(std::string::npos, windows.find("<definition name=\"" + definition + "\"")) << definition;
    }
    for (const std::string *file : { &admx, &adml }) {
        EXPECT_EQ(0u, file->find("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
        for (size_t at = 0; (at = file->find('\n', at + 1)) != std::string::npos;)
            ASSERT_EQ('\r', (*file)[at - 1]) << "a bare line feed at byte " << at;
    }
}

// Usage errors give 2, folders that cannot be written 1, and neither
// leaves a file; existing files are replaced only with --force.
TEST_F(admxtest, bad_command_lines_and_folders_leave_nothing)
{
    static const struct { const char *args; DWORD code; } rows[] = {
        { "--admx", 2 }, { "--admx --force", 2 }, { "--admx DIR --preset school", 2 },
        { "--admx DIR --set no-run-button=on", 2 }, { "--admx DIR --current", 2 }, { "--admx DIR --for local", 2 },
        { "--admx DIR --user nobody", 2 }, { "--admx DIR --default-user", 2 }, { "--admx DIR --pol DIR", 2 },
        { "--admx DIR\\file", 1 },          // a file where the folder should be
        { "--admx DIR\\blocked", 1 },       // a file where en-US should be
    };
    std::string bad = workdir() + "admxbad";
    runprogram("cmd.exe /c rmdir /s /q \"" + bad + "\"");
    CreateDirectoryA(bad.c_str(), NULL);
    CreateDirectoryA((bad + "\\blocked").c_str(), NULL);
    writeall(bad + "\\blocked\\en-US", "");
    writeall(bad + "\\file", "");
    for (auto &row : rows) {
        std::string args = row.args;
        for (size_t at; (at = args.find("DIR")) != std::string::npos;)
            args.replace(at, 3, bad);
        ran r = tolvctl("export " + args);
        EXPECT_EQ(row.code, r.code) << args << "\n" << r.err;
        EXPECT_EQ("", r.out) << args;
    }
    ran left = runprogram("cmd.exe /c dir /s /b /a-d \"" + bad + "\"");
    EXPECT_EQ(2u, outputlines(left.out).size()) << left.out;    // the two files planted
    runprogram("cmd.exe /c rmdir /s /q \"" + bad + "\"");

    writeall(dir + "\\Tolvane.admx", "old");
    ran again = tolvctl("export --admx \"" + dir + "\"");
    EXPECT_EQ(2u, again.code);
    EXPECT_NE(std::string::npos, again.err.find("Tolvane.adml exists; --force replaces it"));
    EXPECT_EQ("old", readall(dir + "\\Tolvane.admx"));
    EXPECT_EQ(0u, tolvctl("export --admx \"" + dir + "\" --force").code);
    EXPECT_EQ(admx, readall(dir + "\\Tolvane.admx"));
}
