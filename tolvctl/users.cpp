// The accounts of this machine and their hives: finding an account by name,
// SID or profile folder in the machine's ProfileList, and reaching its
// hive, in place or loaded from NTUSER.DAT.
#include "users.h"
#include "settings.h"
#include <sddl.h>
#include <lm.h>

static const WCHAR profilelist[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// ProfileList belongs to the machine: a 32-bit tolvctl on 64-bit Windows
// reads it in the 64-bit view.
enum { profileaccess = KEY_READ | KEY_WOW64_64KEY };

// ---- finding accounts -------------------------------------------------------------

// A text value of ProfileList, or of the key of one SID in it, with its
// environment variables expanded; NULL when there is none.
static const WCHAR *profilevalue(const WCHAR *sid, const WCHAR *name)
{
    buffer key = {};
    regvalue v;
    HKEY handle;

    addtext(&key, profilelist);
    if (sid) {
        addchar(&key, L'\\');
        addtext(&key, sid);
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, textof(&key), 0, profileaccess, &handle) != ERROR_SUCCESS)
        return NULL;
    novalue(HKEY_LOCAL_MACHINE, NULL, name, &v);
    LONG rc = queryvalue(handle, &v);
    RegCloseKey(handle);
    if (rc != ERROR_SUCCESS || !v.present || !isstring(&v) || v.size < 2 * sizeof(WCHAR))
        return NULL;
    DWORD length = ExpandEnvironmentStringsW((const WCHAR *)v.data, NULL, 0);
    WCHAR *expanded = (WCHAR *)grab((length + 1) * sizeof(WCHAR));
    if (!length || ExpandEnvironmentStringsW((const WCHAR *)v.data, expanded, length) > length)
        return (const WCHAR *)v.data;
    return expanded;
}

// The SIDs that ProfileList has a key for, in its order.
static int profilesids(const WCHAR ***sids)
{
    buffer list = {};
    HKEY handle;
    int n = 0;

    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, profilelist, 0, profileaccess, &handle) == ERROR_SUCCESS) {
        WCHAR name[256];
        DWORD length = COUNT(name);
        LONG rc;
        for (DWORD i = 0; (rc = RegEnumKeyExW(handle, i, name, &length, NULL, NULL, NULL, NULL)) !=
                          ERROR_NO_MORE_ITEMS; i++, length = COUNT(name))
            if (rc == ERROR_SUCCESS) {
                const WCHAR *sid = wcopy(name, length);
                addbytes(&list, &sid, sizeof sid);
                n++;
            }
        RegCloseKey(handle);
    }
    *sids = (const WCHAR **)list.data;
    return n;
}

static const WCHAR *stringsid(PSID sid)
{
    WCHAR *text;
    const WCHAR *copy = NULL;

    if (ConvertSidToStringSidW(sid, &text)) {
        copy = wcopy(text, lstrlenW(text));
        (void)LocalFree(text);      // NULL on success; nothing to do otherwise
    }
    return copy;
}

// The SID of the user that tolvctl runs as; NULL when it cannot be read.
static const WCHAR *selfsid(void)
{
    static const WCHAR *self;
    HANDLE token;
    BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size;

    if (!self && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        if (GetTokenInformation(token, TokenUser, user, sizeof user, &size))
            self = stringsid(((TOKEN_USER *)user)->User.Sid);
        CloseHandle(token);
    }
    return self;
}

// The last part of a path: the name of a profile folder.
static const WCHAR *lastpart(const WCHAR *path)
{
    const WCHAR *part = path;
    for (; *path; path++)
        if (*path == L'\\')
            part = path + 1;
    return part;
}

// The account of a SID: its name as the machine knows it, else the name
// given, which may be NULL.
static void nameof(const WCHAR *sid, account *a, const WCHAR *fallback)
{
    PSID psid;
    WCHAR name[257], domain[257];
    DWORD namelength = COUNT(name), domainlength = COUNT(domain);
    SID_NAME_USE use;

    a->sid = sid;
    a->name = fallback;
    if (ConvertStringSidToSidW(sid, &psid)) {
        if (LookupAccountSidW(NULL, psid, name, &namelength, domain, &domainlength, &use)) {
            buffer qualified = {};
            addtext(&qualified, domain);
            addchar(&qualified, L'\\');
            addtext(&qualified, name);
            a->qualified = textof(&qualified);
            a->name = wcopy(name, namelength);
        }
        (void)LocalFree(psid);      // NULL on success; nothing to do otherwise
    }
    a->self = selfsid() && sametext(sid, selfsid());
}

// The account's profile, and its name as the machine knows it, or as its
// profile folder is called; 0 when the SID has no profile.
static int profileof(const WCHAR *sid, account *a)
{
    a->profile = profilevalue(sid, L"ProfileImagePath");
    if (!a->profile)
        return 0;
    nameof(sid, a, lastpart(a->profile));
    return 1;
}

// A SID as given on the command line, in the system's own spelling; NULL
// when the text is no SID.
static const WCHAR *givensid(const WCHAR *given)
{
    PSID psid;
    const WCHAR *sid = NULL;

    if (afterword(given, "S-") && ConvertStringSidToSidW(given, &psid)) {
        sid = stringsid(psid);
        (void)LocalFree(psid);      // NULL on success; nothing to do otherwise
    }
    return sid;
}

// The SID of an account name: "student", ".\student" (an account of this
// machine, which the lookup knows by the machine's name) or "LAB\student".
static const WCHAR *namesid(const WCHAR *given)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    WCHAR domain[257];
    DWORD sidsize = sizeof sid, domainlength = COUNT(domain);
    SID_NAME_USE use;
    buffer name = {};

    if (given[0] == L'.' && given[1] == L'\\') {
        WCHAR computer[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD length = COUNT(computer);
        if (GetComputerNameW(computer, &length)) {
            addtext(&name, computer);
            given++;
        }
    }
    addtext(&name, given);
    if (!LookupAccountNameW(NULL, textof(&name), sid, &sidsize, domain, &domainlength, &use))
        return NULL;
    return stringsid(sid);
}

// The SID whose profile folder has the name given, among the profiles.
static const WCHAR *foldersid(const WCHAR *folder)
{
    const WCHAR **sids;
    int n = profilesids(&sids);

    for (int i = 0; i < n; i++) {
        const WCHAR *profile = profilevalue(sids[i], L"ProfileImagePath");
        if (profile && sametext(lastpart(profile), folder))
            return sids[i];
    }
    return NULL;
}

const WCHAR *accountsid(const WCHAR *given)
{
    const WCHAR *sid = givensid(given);

    if (!sid)
        sid = namesid(given);
    if (!sid)
        sid = foldersid(lastpart(given));
    if (!sid)
        complain("no account or profile folder named ", given, " on this machine");
    return sid;
}

static int finduser(const WCHAR *given, account *a)
{
    const WCHAR *sid = accountsid(given);

    if (!sid)
        return 2;
    if (!profileof(sid, a)) {
        complain("", given, " has no profile on this machine: it has never logged on");
        return 2;
    }
    return 0;
}

// The profile that Windows copies for each new account: where the system
// says, else ProfileList's Default (Vista and later), else its
// ProfilesDirectory and DefaultUserProfile (XP).
static int finddefault(account *a)
{
    typedef BOOL (WINAPI *getdefault)(LPWSTR, LPDWORD);
    WCHAR folder[MAX_PATH];
    DWORD length = MAX_PATH;
    HMODULE userenv = LoadLibraryW(L"userenv.dll");
    getdefault get = userenv ? (getdefault)(void *)GetProcAddress(userenv, "GetDefaultUserProfileDirectoryW") : NULL;

    if (get && get(folder, &length) && folder[0])
        a->profile = wcopy(folder, lstrlenW(folder));
    if (userenv)
        (void)FreeLibrary(userenv);     // nothing of it is used after this
    if (!a->profile)
        a->profile = profilevalue(NULL, L"Default");
    if (!a->profile) {
        const WCHAR *profiles = profilevalue(NULL, L"ProfilesDirectory");
        const WCHAR *leaf = profilevalue(NULL, L"DefaultUserProfile");
        if (profiles && leaf) {
            buffer path = {};
            addtext(&path, profiles);
            addchar(&path, L'\\');
            addtext(&path, leaf);
            a->profile = textof(&path);
        }
    }
    if (!a->profile) {
        complain("the default profile is not known: the machine's ProfileList names none");
        return 2;
    }
    a->name = lastpart(a->profile);
    return 0;
}

int findaccounts(const usertarget *t, account **accounts, int *n)
{
    *n = 1;
    *accounts = (account *)grab(sizeof **accounts);
    if (t->who == whose_user)
        return finduser(t->user, *accounts);
    if (t->who == whose_default)
        return finddefault(*accounts);
    if (t->who == whose_current) {
        (*accounts)->sid = selfsid();
        (*accounts)->self = 1;
        return 0;
    }
    // Every profile but those of the service accounts: LocalSystem,
    // LocalService and NetworkService.
    static const WCHAR *const services[] = { L"S-1-5-18", L"S-1-5-19", L"S-1-5-20" };
    const WCHAR **sids;
    int nsids = profilesids(&sids);
    *accounts = (account *)grab((nsids + 1) * sizeof **accounts);
    *n = 0;
    for (int i = 0; i < nsids; i++) {
        int service = 0;
        for (int s = 0; s < COUNT(services); s++)
            service |= sametext(sids[i], services[s]);
        // Keys that are no SID, such as a profile's ".bak", are not users.
        if (!service && givensid(sids[i]) && profileof(sids[i], &(*accounts)[*n]))
            ++*n;
    }
    return 0;
}

const WCHAR *accountline(const account *a)
{
    buffer line = {};

    if (!a->profile)
        return NULL;
    addtext(&line, a->name);
    addtext(&line, " (");
    if (a->sid)
        addtext(&line, a->sid);
    else
        addtext(&line, "default profile");
    addchar(&line, L')');
    return textof(&line);
}

const WCHAR *sidline(const WCHAR *sid)
{
    account a = {};

    if (!profileof(sid, &a)) {
        nameof(sid, &a, NULL);
        if (!a.name)
            return sid;
        a.profile = L"";    // a name without a profile, named as one with
    }
    return accountline(&a);
}

void accounttarget(const WCHAR *line, usertarget *t)
{
    size_t length = lstrlenW(line), open = length;

    while (open && line[open - 1] != L'(')
        open--;
    t->who = whose_user;
    t->user = line;
    if (open && length > open && line[length - 1] == L')') {
        t->user = wcopy(line + open, length - open - 1);
        if (sameword(t->user, "default profile"))
            t->who = whose_default;
    }
}

int isadministrator(const account *a)
{
    typedef DWORD (WINAPI *getgroups)(LPCWSTR, LPCWSTR, DWORD, DWORD, LPBYTE *, DWORD, LPDWORD, LPDWORD);
    typedef DWORD (WINAPI *freebuffer)(LPVOID);
    SID_IDENTIFIER_AUTHORITY nt = { SECURITY_NT_AUTHORITY };
    PSID administrators;
    BOOL member = FALSE;
    int is = -1;

    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
        return -1;
    if (!a->profile || a->self) {
        if (CheckTokenMembership(NULL, administrators, &member))
            is = member != 0;
    } else if (a->sid) {
        // Another account's local groups, by name, against the name that
        // this machine gives Administrators.
        WCHAR name[257], domain[257];
        DWORD namelength = COUNT(name), domainlength = COUNT(domain), read, total;
        SID_NAME_USE use;
        HMODULE netapi = LoadLibraryW(L"netapi32.dll");
        getgroups get = netapi ? (getgroups)(void *)GetProcAddress(netapi, "NetUserGetLocalGroups") : NULL;
        freebuffer release = netapi ? (freebuffer)(void *)GetProcAddress(netapi, "NetApiBufferFree") : NULL;
        LOCALGROUP_USERS_INFO_0 *groups;
        if (get && release && LookupAccountSidW(NULL, administrators, name, &namelength, domain, &domainlength, &use) &&
            !get(NULL, a->qualified ? a->qualified : a->name, 0, LG_INCLUDE_INDIRECT, (LPBYTE *)&groups,
                 MAX_PREFERRED_LENGTH, &read, &total)) {
            is = 0;
            for (DWORD i = 0; i < read; i++)
                is |= sametext(groups[i].lgrui0_name, name);
            (void)release(groups);  // nothing to do when it cannot be freed
        }
        if (netapi)
            (void)FreeLibrary(netapi);  // nothing of it is used after this
    }
    (void)FreeSid(administrators);      // NULL on success; nothing to do otherwise
    return is;
}

// ---- reaching hives ----------------------------------------------------------------

static account *held;      // the account whose hive tolvctl has loaded

// For leave(): after Ctrl+C, or when memory runs out.
static void release(void)
{
    if (held)
        (void)leaveaccount(held);   // its message says what stays loaded
}

// Ctrl+C, Ctrl+Break or the console closing while a hive is loaded: the
// main thread stops at its next step, unloads the hive and ends the
// process. Until then this thread waits, so that a closing console does
// not end the process first. It waits inside the system's call of the
// handlers, so the handler stays installed once it is: taking it away
// would wait for this thread. With no hive loaded, the next handler, the
// system's own, ends the process.
static BOOL WINAPI onctrl(DWORD type)
{
    (void)type;
    if (!held)
        return FALSE;
    InterlockedExchange(&stopping, 1);
    Sleep(INFINITE);
    return TRUE;
}

// Loading and unloading a hive need the backup and restore privileges,
// which an administrator holds but has disabled.
static int enableprivileges(void)
{
    static const WCHAR *const names[] = { L"SeBackupPrivilege", L"SeRestorePrivilege" };
    struct {
        DWORD               count;
        LUID_AND_ATTRIBUTES privileges[2];
    } wanted = { 2, {} };
    HANDLE token;
    int ok = 1;

    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return 0;
    for (int i = 0; i < COUNT(names); i++) {
        ok &= LookupPrivilegeValueW(NULL, names[i], &wanted.privileges[i].Luid) != 0;
        wanted.privileges[i].Attributes = SE_PRIVILEGE_ENABLED;
    }
    // Success with ERROR_NOT_ALL_ASSIGNED: the token holds not both.
    ok = ok && AdjustTokenPrivileges(token, FALSE, (TOKEN_PRIVILEGES *)&wanted, 0, NULL, NULL) &&
         GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

// Loads the hive file under the account's own name below HKEY_USERS and
// opens it: ERROR_SUCCESS, or the error.
static LONG loadhive(account *a, const WCHAR *file)
{
    HKEY there;
    LONG rc;

    if (!enableprivileges())
        return ERROR_PRIVILEGE_NOT_HELD;
    if (RegOpenKeyExW(HKEY_USERS, a->mount, 0, KEY_READ, &there) == ERROR_SUCCESS) {
        RegCloseKey(there);
        complain("HKEY_USERS\\", a->mount, " is loaded already: another tolvctl may be working in it");
        return ERROR_ALREADY_EXISTS;
    }
    static int handling;
    if (!handling)
        handling = SetConsoleCtrlHandler(onctrl, TRUE);     // without a console there is no Ctrl+C
    held = a;
    onleave(release);
    a->loaded = 1;
    rc = RegLoadKeyW(HKEY_USERS, a->mount, file);
    if (rc == ERROR_SUCCESS)
        rc = RegOpenKeyExW(HKEY_USERS, a->mount, 0, MAXIMUM_ALLOWED, &a->hive);
    if (rc != ERROR_SUCCESS) {
        // Wine leaves an empty key after a failed load; on Windows there is
        // nothing to unload and the call fails harmlessly.
        (void)RegUnLoadKeyW(HKEY_USERS, a->mount);
        a->loaded = 0;
        held = NULL;
        onleave(NULL);
    }
    return rc;
}

int enteraccount(account *a, int header)
{
    const WCHAR *file = NULL;

    if (!a->profile)
        return 0;   // the current user: HKEY_CURRENT_USER itself
    if (!a->sid || RegOpenKeyExW(HKEY_USERS, a->sid, 0, MAXIMUM_ALLOWED, &a->hive) != ERROR_SUCCESS) {
        buffer mount = {};
        addtext(&mount, "Tolvane-");
        if (a->sid)
            addtext(&mount, a->sid);
        else
            addtext(&mount, "Default");
        a->mount = textof(&mount);
        file = joinpath(a->profile, "NTUSER.DAT");
        LONG rc = loadhive(a, file);
        if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS) {
            buffer why = {};
            addtext(&why, systemtext(rc));
            if (rc == ERROR_PRIVILEGE_NOT_HELD || rc == ERROR_ACCESS_DENIED)
                addtext(&why, "; loading another user's settings needs administrator rights");
            complain("cannot read ", file, ": ", textof(&why));
        }
        if (rc != ERROR_SUCCESS)
            return 2;
    }
    if (header) {
        addverb("user");
        say(accountline(a));
        say(": ");
        if (file) {
            say(file);
            say(" loaded");
        } else {
            say("logged on");
        }
        sayline();
    }
    setuserhive(a->hive);
    return 0;
}

int leaveaccount(account *a)
{
    int code = 0;

    if (!a->profile)
        return 0;
    setuserhive(NULL);
    if (a->hive)
        RegCloseKey(a->hive);
    a->hive = NULL;
    if (a->loaded) {
        LONG rc = RegUnLoadKeyW(HKEY_USERS, a->mount);
        a->loaded = 0;
        held = NULL;
        onleave(NULL);
        if (rc != ERROR_SUCCESS) {
            complain("HKEY_USERS\\", a->mount, " is left loaded, as something else holds a key in it: ",
                     systemtext(rc));
            code = 1;
        }
    }
    return code;
}

int refuselinks(account *a, const touched *t)
{
    touched all = {};

    if (!a->profile)
        return 0;   // the current user's own hive, as it always was
    if (!t) {
        touchall(&all);
        t = &all;
    }
    if (!findlink(t))
        return 0;
    (void)leaveaccount(a);      // its own message says when the hive stays loaded; the code is 2 either way
    return 2;
}

// ---- after changes -----------------------------------------------------------------

void announce(const account *a, int dryrun)
{
    typedef LRESULT (WINAPI *sendtimeout)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);

    if (a->profile && !a->self) {
        addverb("note");
        if (a->sid) {
            say("the changes take effect at the next logon of ");
            say(accountline(a));
        } else {
            say("the changes take effect for each account that logs on for the first time");
        }
        sayline();
        return;
    }
    if (dryrun)
        return;
    // Explorer reads the policies again when told so; user32 is loaded for
    // that alone, as shell32 is loaded only to journal.
    HMODULE user = LoadLibraryW(L"user32.dll");
    sendtimeout send = user ? (sendtimeout)(void *)GetProcAddress(user, "SendMessageTimeoutW") : NULL;
    DWORD_PTR result;
    // A window that does not answer in time is passed by: the change is
    // made, and Explorer reads the policies again at its next logon anyway.
    if (send)
        (void)send(HWND_BROADCAST, WM_SETTINGCHANGE, 0, (LPARAM)L"Policy", SMTO_ABORTIFHUNG, 5000, &result);
    if (user)
        (void)FreeLibrary(user);    // nothing of it is used after this
}
