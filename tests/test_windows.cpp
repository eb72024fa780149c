// Windows' word on each setting: which Windows versions a supportedOn text
// lists, what list and apply say on the Windows that runs them, and the
// policy objects that Home editions never apply.
#include <gtest/gtest.h>
#include <set>
#include "tool.h"
// The tables name the presets as tool.h does; here they keep another name.
#define presetnames tablepresetnames
#include "winpolicy.h"
#undef presetnames

// ---- the version rule, read from the text itself -----------------------------------------

// The versions that a text names, by the names the templates use; a longer
// name wins where one begins another ("Windows 8.1" over "Windows 8").
static std::vector<int> named(const std::string &text)
{
    static const struct { const char *name; int version; } names[] = {
        { "Windows 2000", win2000 }, { "Windows XP", winxp }, { "Windows Server 2003", win2003 },
        { "Windows Vista", winvista }, { "Windows Server 2008 R2", win7 }, { "Windows Server 2008", winvista },
        { "Windows 7", win7 }, { "Windows 8.1", win81 }, { "Windows RT 8.1", win81 },
        { "Windows Server 2012 R2", win81 }, { "Windows 8", win8 }, { "Windows Server 2012", win8 },
        { "Windows 10", win10 }, { "Windows Server 2016", win10 }, { "Windows 11", win11 },
    };
    std::vector<int> found;
    for (size_t at = 0; at < text.size(); at++) {
        size_t longest = 0;
        int version = -1;
        for (auto &n : names)
            if (!text.compare(at, strlen(n.name), n.name) && strlen(n.name) > longest) {
                longest = strlen(n.name);
                version = n.version;
            }
        if (version >= 0) {
            found.push_back(version);
            at += longest - 1;
        }
    }
    return found;
}

// Whether the text lists a version: "At least X", the oldest that the
// clause names, and with "through Y" no later than Y; otherwise the
// versions it names. Internet Explorer's own versions stand for every
// Windows.
static bool lists(const std::string &text, int version)
{
    if (text.find("Internet Explorer") != std::string::npos)
        return true;
    if (text.compare(0, 8, "At least")) {
        std::vector<int> names = named(text);
        return std::count(names.begin(), names.end(), version) > 0;
    }
    size_t through = text.find(" through ");
    std::vector<int> from = named(text.substr(0, through));
    int last = through == std::string::npos ? win11 : named(text.substr(through))[0];
    return version >= *std::min_element(from.begin(), from.end()) && version <= last;
}

TEST(windows, every_supportedon_text_lists_what_it_says)
{
    std::set<const winsupport *> texts;
    for (auto &w : winpolicies)
        if (w.support)
            texts.insert(w.support);
    EXPECT_EQ(16u, texts.size());
    for (const winsupport *s : texts)
        for (int v : { winxp, win7, win81, win10, win11 })
            EXPECT_EQ(lists(s->text, v), (s->listed >> v & 1) != 0) << s->text << ", version " << v;
}

// ---- on the Windows that runs ------------------------------------------------------------

// Wine reports the version that its registry names, to programs started
// from then on.
struct runningas {
    runningas(const char *version)
    {
        regput(HKEY_CURRENT_USER, "Software\\Wine", "Version", REG_SZ, version, (DWORD)strlen(version) + 1);
    }
    ~runningas() { regdelete(HKEY_CURRENT_USER, "Software\\Wine", "Version"); }
};

TEST(windows, listed_here_and_the_notes_follow_the_running_windows)
{
    // School's five settings that the templates list only for older Windows.
    const std::set<std::string> older = { "no-add-remove-programs", "no-entire-network", "no-advanced-tcpip",
                                          "no-new-connection-wizard", "no-ras-delete" };
    struct { const char *wine; int version; size_t notes; } rows[] = {
        { "winxp", winxp, 0 }, { "win10", win10, older.size() },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.wine);
        runningas running(row.wine);
        std::string json = tolvctl("list --json").out;
        int values = 0, flipped = 0;
        for (size_t at = 0; (at = json.find("\"supported_on\": \"", at)) != std::string::npos; values++) {
            size_t end = json.find('"', at + 17);
            std::string text = json.substr(at + 17, end - at - 17);
            bool listed = !json.compare(end, 22, "\", \"listed_here\": true");
            EXPECT_EQ(lists(text, row.version), listed) << text;
            flipped += lists(text, winxp) != lists(text, win10);
            at = end;
        }
        EXPECT_EQ(60, values);
        EXPECT_GT(flipped, 10);

        ran r = tolvctl("apply school --dry-run");
        std::set<std::string> noted;
        for (auto &line : outputlines(r.out))
            if (!line.compare(0, 10, "note      "))
                noted.insert(line.substr(10, line.find(':') - 10));
        EXPECT_EQ(row.notes ? older : std::set<std::string>(), noted) << r.out;
        if (row.notes)
            EXPECT_NE(std::string::npos, r.out.find("note      no-entire-network: Windows' templates do not list "
                                                    "Windows 10 for it: \"Windows Server 2003, Windows XP, and "
                                                    "Windows 2000 only\"\r\n"));
        std::string summary = outputlines(tolvctl("list --preset school").out).back();
        EXPECT_EQ(row.notes ? "school ticks 23 settings; Windows' templates list 18 of them for Windows 10; not: "
                              "no-add-remove-programs, no-entire-network, no-advanced-tcpip, "
                              "no-new-connection-wizard, no-ras-delete"
                            : "school ticks 23 settings; Windows' templates list 23 of them for Windows XP",
                  summary);
    }
}

// ---- Home editions -----------------------------------------------------------------------

TEST(windows, home_editions_apply_no_object_but_the_local_one)
{
    const char *current = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    const std::string admins = grouppolicydir("GroupPolicyUsers\\S-1-5-32-544");
    const std::string mark = "[local Group Policy for administrators: REG_DWORD 0x1]";
    clearjournal();
    EXPECT_EQ(0u, tolvctl("set no-run-button=on --policy administrators").code);
    std::string pol = readall(admins + "\\User\\Registry.pol"), gpt = readall(admins + "\\gpt.ini");
    ASSERT_NE("", pol);
    struct { const char *edition; bool home; } rows[] = { { "Core", true }, { "Professional", false } };
    for (auto &row : rows) {
        SCOPED_TRACE(row.edition);
        regput(HKEY_LOCAL_MACHINE, current, "EditionID", REG_SZ, row.edition, (DWORD)strlen(row.edition) + 1);
        for (const char *args : { "set no-run-button=off --policy administrators --dry-run",
                                  "apply school --policy non-administrators --dry-run",
                                  "list --policy administrators" }) {
            ran r = tolvctl(args);
            EXPECT_EQ(row.home ? 2u : 0u, r.code) << args;
            EXPECT_EQ(row.home, r.err.find("is a Home edition (EditionID Core), which applies no policy object for "
                                           "administrators, non-administrators or one user; restrict the accounts "
                                           "themselves with --user, --all-users or --default-user") != std::string::npos)
                << r.err;
            EXPECT_EQ(pol, readall(admins + "\\User\\Registry.pol")) << args;
            EXPECT_EQ(gpt, readall(admins + "\\gpt.ini")) << args;
        }
        // Home: the administrators' object marks nothing; the local one is
        // still worked in, with a note.
        EXPECT_EQ(row.home, tolvctl("list").out.find(mark) == std::string::npos);
        ran local = tolvctl("set no-run-button=on --policy local --dry-run");
        EXPECT_EQ(0u, local.code);
        EXPECT_EQ(row.home, local.out.find("note      this Windows is a Home edition") != std::string::npos);
    }
    regdelete(HKEY_LOCAL_MACHINE, current, "EditionID");
    tolvctl("set no-run-button=unset --policy administrators");
    for (const char *f : { "\\User\\Registry.pol", "\\gpt.ini", "\\User", "" }) {
        DeleteFileA((admins + f).c_str());
        RemoveDirectoryA((admins + f).c_str());
    }
    clearjournal();
}
