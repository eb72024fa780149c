// tolvctl export --admx: each policy of the template writes what export
// --pol writes for the same boxes, record for record, every reference
// resolves in the texts, and a bad command line or a folder that cannot be
// written leaves nothing behind.
#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include "tool.h"

// Windows' own templates, beside the source tree; only the checks against
// them need them.
static const std::string windowstemplates = SOURCEDIR "\\..\\shared\\reference\\windows-policies";

// Records as text, "side|key\name|type|data", sorted: what a policy or a
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

// A Registry.pol file's records; none when the file is not there.
static records polrecords(const std::string &side, const std::string &path)
{
    std::string file = readall(path);
    records r;
    auto text = [&](size_t *at) {
        std::wstring s;
        for (; *at + 1 < file.size() && (file[*at] || file[*at + 1]); *at += 2)
            s += (wchar_t)((unsigned char)file[*at] | (unsigned char)file[*at + 1] << 8);
        *at += 4;   // the NUL and the ";" after it
        return s;
    };
    for (size_t at = 10; at < file.size(); at += 4) {  // "[" and after "]" the next "["
        std::wstring key = text(&at), name = text(&at);
        DWORD type = *(const DWORD *)&file[at], size = *(const DWORD *)&file[at + 6];
        r.push_back(recordtext(side, key, name, type, file.substr(at + 12, size)));
        at += 12 + size;
    }
    std::sort(r.begin(), r.end());
    return r;
}

static std::string attribute(const std::string &tag, const std::string &name)
{
    size_t at = 0;
    return between(tag, &at, " " + name + "=\"", "\"");
}

// The text of a string of the texts.
static std::string text(const std::string &adml, const std::string &id)
{
    size_t at = 0;
    return between(adml, &at, "<string id=\"" + id + "\">", "</string>");
}

struct policy {
    std::string cls, category, supported;
    records enabled, disabled;
};

// The policies of a template by name, their lists as records.
static std::map<std::string, policy> readpolicies(const std::string &admx)
{
    std::map<std::string, policy> policies;
    for (size_t at = 0;;) {
        std::string body = " " + between(admx, &at, "<policy ", "</policy>");
        if (at == std::string::npos)
            break;
        policy &p = policies[attribute(body, "name")];
        p.cls = attribute(body, "class");
        p.category = attribute(body, "ref");
        p.supported = attribute(body.substr(body.find("<supportedOn")), "ref");
        for (const char *list : { "enabledList", "disabledList" }) {
            size_t start = 0;
            std::string items = between(body, &start, std::string("<") + list + ">", std::string("</") + list + ">");
            records &r = list[0] == 'e' ? p.enabled : p.disabled;
            for (size_t i = 0;;) {
                std::string item = " " + between(items, &i, "<item ", "</item>");
                if (i == std::string::npos)
                    break;
                std::wstring key = wide(attribute(item, "key")), name = wide(attribute(item, "valueName"));
                DWORD number = item.find("<decimal") == std::string::npos ? 0 : std::stoul(attribute(item, "value"));
                r.push_back(item.find("<delete />") != std::string::npos
                                ? recordtext(p.cls, key, L"**del." + name, REG_SZ, std::string(" \0\0\0", 4))
                                : recordtext(p.cls, key, name, REG_DWORD, std::string((char *)&number, 4)));
            }
            std::sort(r.begin(), r.end());
        }
    }
    return policies;
}

struct admxtest : ::testing::Test {
    std::string dir = workdir() + "admx", pol = workdir() + "admxpol";
    std::string admx, adml;
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
        records r = polrecords("User", pol + "\\User\\Registry.pol");
        records m = polrecords("Machine", pol + "\\Machine\\Registry.pol");
        r.insert(r.end(), m.begin(), m.end());
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
    int presets = 0;
    for (auto &p : policies)
        presets += p.second.category == "Presets";
    EXPECT_EQ(3, presets);      // clear-all is their Disabled
    records clearall = exported("--preset clear-all");
    for (auto &row : rows) {
        SCOPED_TRACE(row.preset);
        ASSERT_EQ(1u, policies.count(row.policy));
        const policy &p = policies[row.policy];
        EXPECT_EQ("User", p.cls);
        EXPECT_EQ("Presets", p.category);
        EXPECT_EQ(exported(std::string("--preset ") + row.preset), p.enabled);
        EXPECT_EQ(clearall, p.disabled);
        EXPECT_EQ(row.title, text(adml, row.policy));
    }
}

// Each setting outside Windows' templates has a policy of its own, which
// writes what export --pol writes for it, of the values that no template
// of Windows defines; no other setting has one. Without Windows' own
// templates, only the settings that none of them ever defined are checked.
TEST_F(admxtest, a_policy_for_each_setting_outside_windows_templates)
{
    std::set<std::string> windows;   // "side|key\name" of every value that a template defines
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((windowstemplates + "\\*.admx").c_str(), &found);
    while (h != INVALID_HANDLE_VALUE) {
        std::string file = readall(windowstemplates + "\\" + found.cFileName), policykey, cls;
        for (size_t at = file.find('<'); at != std::string::npos; at = file.find('<', at + 1)) {
            std::string tag = file.substr(at, file.find('>', at) - at);
            if (!tag.compare(0, 7, "<policy") && isspace((unsigned char)tag[7])) {
                policykey = attribute(tag, "key");
                cls = attribute(tag, "class");
            }
            std::string key = attribute(tag, "key").empty() ? policykey : attribute(tag, "key");
            for (const char *side : { "User", "Machine" })
                if (!attribute(tag, "valueName").empty() && (cls == side || cls == "Both"))
                    windows.insert(std::string(side) + "|" + lower(wide(key)) + "\\" + lower(wide(attribute(tag, "valueName"))));
        }
        if (!FindNextFileA(h, &found)) {
            FindClose(h);
            break;
        }
    }
    if (windows.empty())
        printf("no %s: only the settings that no template defines are checked\n", windowstemplates.c_str());
    // The setting's own, without Windows' values: with the templates, the
    // values that they do not define; without them, these settings whole.
    std::set<std::string> always = { "clear-page-file", "always-unload-dlls", "show-super-hidden", "hide-file-extensions" };
    for (auto &line : outputlines(tolvctl("list").out)) {
        size_t space = line.find(' '), colon = line.find(':');
        if (line[0] == ' ' || space == std::string::npos || colon == std::string::npos)
            continue;
        std::string setting = line.substr(space + 1, colon - space - 1), name = setting;
        std::replace(name.begin(), name.end(), '-', '_');
        if (windows.empty() && !always.count(setting))
            continue;
        SCOPED_TRACE(setting);
        records on = exported("--set " + setting + "=on");
        auto own = [&](records r) {
            r.erase(std::remove_if(r.begin(), r.end(), [&](const std::string &record) {
                std::string value = record.substr(0, record.find('|', record.find('|') + 1));
                size_t del = value.find("\\**del.");
                if (del != std::string::npos)
                    value.erase(del + 1, 6);
                return windows.count(value) > 0;
            }), r.end());
            return r;
        };
        if (own(on).empty()) {
            EXPECT_EQ(0u, policies.count(name));
            continue;
        }
        ASSERT_EQ(1u, policies.count(name));
        EXPECT_EQ("Outside", policies[name].category);
        EXPECT_EQ(own(on), policies[name].enabled);
        EXPECT_EQ(own(exported("--set " + setting + "=off")), policies[name].disabled);
    }
}

// ---- the files -----------------------------------------------------------------------

// Every $(string.ID) and $(presentation.ID) of the template is in the
// texts, every windows: definition in Windows' own Windows.admx; both files
// are UTF-8 with CR LF line ends.
TEST_F(admxtest, references_resolve_and_the_files_are_utf8_with_crlf)
{
    for (size_t at = 0; (at = admx.find("$(", at)) != std::string::npos; at++) {
        size_t dot = admx.find('.', at), end = admx.find(')', at);
        std::string want = "<" + admx.substr(at + 2, dot - at - 2) + " id=\"" + admx.substr(dot + 1, end - dot - 1) + "\"";
        EXPECT_NE(std::string::npos, adml.find(want)) << want;
    }
    std::string windows = readall(windowstemplates + "\\Windows.admx");
    for (size_t at = 0; !windows.empty() && (at = admx.find("\"windows:", at)) != std::string::npos; at++) {
        std::string definition = admx.substr(at + 9, admx.find('"', at + 1) - at - 9);
        EXPECT_NE(std::string::npos, windows.find("<definition name=\"" + definition + "\"")) << definition;
    }
    for (const std::string *file : { &admx, &adml }) {
        EXPECT_EQ(0u, file->find("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"));
        for (size_t at = 0; (at = file->find('\n', at + 1)) != std::string::npos;)
            ASSERT_EQ('\r', (*file)[at - 1]) << "a line end without CR at byte " << at;
    }
}

// Usage errors give 2, a folder that cannot be written 1; neither leaves a
// file, and an existing file is replaced only with --force.
TEST_F(admxtest, bad_command_lines_and_folders_leave_nothing)
{
    static const struct { const char *args; DWORD code; } rows[] = {
        { "--admx", 2 },
        { "--admx --force", 2 },
        { "--admx DIR --preset school", 2 },
        { "--admx DIR --set no-run-button=on", 2 },
        { "--admx DIR --current", 2 },
        { "--admx DIR --for local", 2 },
        { "--admx DIR --user nobody", 2 },
        { "--admx DIR --default-user", 2 },
        { "--admx DIR --pol DIR", 2 },
        { "--admx DIR\\file", 1 },          // a file where the folder should be
        { "--admx DIR\\blocked", 1 },       // a file where en-US should be
    };
    std::string blocked = workdir() + "admxbad";
    runprogram("cmd.exe /c rmdir /s /q \"" + blocked + "\"");
    CreateDirectoryA(blocked.c_str(), NULL);
    CreateDirectoryA((blocked + "\\blocked").c_str(), NULL);
    writeall(blocked + "\\blocked\\en-US", "");
    writeall(blocked + "\\file", "");
    for (auto &row : rows) {
        std::string args = row.args;
        for (size_t at; (at = args.find("DIR")) != std::string::npos;)
            args.replace(at, 3, blocked);
        ran r = tolvctl("export " + args);
        EXPECT_EQ(row.code, r.code) << args << "\n" << r.err;
        EXPECT_EQ("", r.out) << args;
    }
    ran listing = runprogram("cmd.exe /c dir /s /b /a-d \"" + blocked + "\"");
    EXPECT_EQ(2u, outputlines(listing.out).size()) << listing.out;    // the two files planted
    runprogram("cmd.exe /c rmdir /s /q \"" + blocked + "\"");

    // The folder exported in SetUp: both files stay without --force.
    ran again = tolvctl("export --admx \"" + dir + "\"");
    EXPECT_EQ(2u, again.code);
    EXPECT_NE(std::string::npos, again.err.find("Tolvane.adml exists; --force replaces it"));
    writeall(dir + "\\Tolvane.admx", "old");
    EXPECT_EQ(2u, tolvctl("export --admx \"" + dir + "\"").code);
    EXPECT_EQ("old", readall(dir + "\\Tolvane.admx"));
    EXPECT_EQ(0u, tolvctl("export --admx \"" + dir + "\" --force").code);
    EXPECT_EQ(admx, readall(dir + "\\Tolvane.admx"));
}
