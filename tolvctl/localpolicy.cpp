// Local Group Policy: the local policy objects, whose Registry.pol files
// Group Policy applies again at every logon and refresh.
#include "localpolicy.h"
#include "files.h"
#include "polfile.h"
#include "settings.h"

const policyside policysides[] = {
    { "User", HKEY_CURRENT_USER, side_user }, { "Machine", HKEY_LOCAL_MACHINE, side_machine },
};

// %SystemRoot%\System32\ and the folder given; a 32-bit process on 64-bit
// Windows reaches the real System32 as Sysnative.
static const WCHAR *systemfolder(const char *folder, const WCHAR *sub)
{
    static const WCHAR *system;
    buffer path = {};

    if (!system) {
        WCHAR windows[MAX_PATH];
        BOOL wow64 = FALSE;
        buffer prefix = {};
        if (!GetWindowsDirectoryW(windows, MAX_PATH))
            return NULL;
        if (!IsWow64Process(GetCurrentProcess(), &wow64))
            wow64 = FALSE;
        addtext(&prefix, windows);
        addtext(&prefix, wow64 ? "\\Sysnative\\" : "\\System32\\");
        system = textof(&prefix);
    }
    addtext(&path, system);
    addtext(&path, folder);
    if (sub) {
        addchar(&path, L'\\');
        addtext(&path, sub);
    }
    return textof(&path);
}

static int isfolder(const WCHAR *path)
{
    DWORD attributes = path ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The objects that apply to users: the builtin groups' own, by their SIDs.
static const struct { const char *kind; const WCHAR *sid; } groupobjects[] = {
    { "administrators", L"S-1-5-32-544" }, { "non-administrators", L"S-1-5-32-545" },
};

static int objectof(const char *kind, const WCHAR *sid, const WCHAR *name, policyobject *object)
{
    object->kind = kind;
    object->name = name ? name : widen(kind);
    object->folder = sid ? systemfolder("GroupPolicyUsers", sid) : systemfolder("GroupPolicy", NULL);
    object->sides = sid ? side_user : side_user | side_machine;
    return object->folder != NULL;
}

const WCHAR *homeedition(void)
{
    static const WCHAR *edition;
    static int read;
    regvalue v;
    DWORD error;

    if (!read++ && readvalue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"EditionID",
                             KEY_QUERY_VALUE | KEY_WOW64_64KEY, &v, &error) &&
        isstring(&v) && afterword((const WCHAR *)v.data, "Core"))
        edition = (const WCHAR *)v.data;
    return edition;
}

int objecthere(const policyobject *object)
{
    const WCHAR *edition = homeedition();

    if (!edition)
        return 1;
    if (object->kind[0] == 'l') {
        addverb("note");
        say("this Windows is a Home edition (EditionID ");
        say(edition);
        say("), which may not apply the local computer policy; set and apply without --policy write the "
            "registry itself");
        sayline();
        return 1;
    }
    complain("this Windows is a Home edition (EditionID ", edition, "), which applies no policy object for "
             "administrators, non-administrators or one user; restrict the accounts themselves with --user, "
             "--all-users or --default-user");
    return 0;
}

int findobject(const WCHAR *given, policyobject *object)
{
    if (sameword(given, "local"))
        return objectof("local", NULL, NULL, object) ? 0 : 2;
    for (int i = 0; i < COUNT(groupobjects); i++)
        if (sameword(given, groupobjects[i].kind))
            return objectof(groupobjects[i].kind, groupobjects[i].sid, NULL, object) ? 0 : 2;
    const WCHAR *sid = accountsid(given);
    if (!sid)
        return 2;
    return objectof("user", sid, sidline(sid), object) ? 0 : 2;
}

const WCHAR *objectfile(const policyobject *object, const policyside *side)
{
    return joinpath(joinpath(object->folder, side->folder), "Registry.pol");
}

void badpolicyfile(const WCHAR *path, size_t offset, const char *why, int warning)
{
    addtext(&err, warning ? "tolvctl: warning: " : "tolvctl: ");
    addtext(&err, path);
    addtext(&err, ": byte ");
    addnumber(&err, (unsigned long)offset);
    addtext(&err, ": ");
    addtext(&err, why);
    addtext(&err, warning ? "; nothing of it is shown\r\n" : "\r\n");
}

int takessettings(const policyobject *object, int *const *states)
{
    const char *machine = machinesetting(states);

    if (!machine || (object->sides & side_machine))
        return 1;
    complain("", widen(machine), " is set under HKEY_LOCAL_MACHINE, and only the local computer policy "
             "has a machine side");
    return 0;
}

// What one object's files do, in file order, each action naming the object.
// strict: a file that cannot be parsed fails the read after a message;
// else it adds nothing and gets a warning.
static int addobject(gpactions *policy, const policyobject *object, int strict)
{
    for (int i = 0; i < npolicysides; i++) {
        const WCHAR *path = objectfile(object, &policysides[i]);
        buffer contents = {};
        regimage file = {};
        DWORD error;
        size_t offset;
        const char *why;
        if (!(object->sides & policysides[i].side) || !readfile(path, &contents, &error))
            continue;   // no policy on this side
        if (!readpol(contents.data, contents.size, policysides[i].root, &file, &offset, &why)) {
            badpolicyfile(path, offset, why, !strict);
            if (strict)
                return 0;
            continue;
        }
        for (int j = 0; j < file.nvalues; j++) {
            addvalue(&policy->actions, &file.values[j]);
            addbytes(&policy->kinds, &object->kind, sizeof object->kind);
        }
    }
    return 1;
}

int readobject(const policyobject *object, gpactions *policy)
{
    return addobject(policy, object, 1);
}

void addconfigured(buffer *b, const regvalue *record)
{
    if (!record)
        addtext(b, "not configured");
    else if (record->present)
        adddescription(b, record);
    else
        addtext(b, "deleted");
}

void loadgrouppolicy(gpactions *policy, const account *a)
{
    policyobject object;
    int administrator = 2;  // not asked yet

    // Most machines have few of the objects or none: a folder that is not
    // there is one look, not one for each of its files.
    if (objectof("local", NULL, NULL, &object) && isfolder(object.folder))
        (void)addobject(policy, &object, 0);    // a bad file is warned of and left aside
    if (homeedition() || !isfolder(systemfolder("GroupPolicyUsers", NULL)))
        return;     // Home applies none of the others
    for (int i = 0; i < COUNT(groupobjects); i++) {
        if (!objectof(groupobjects[i].kind, groupobjects[i].sid, NULL, &object) || !isfolder(object.folder))
            continue;
        if (administrator == 2 && (administrator = isadministrator(a)) < 0) {
            addtext(&err, "tolvctl: whether ");
            addtext(&err, a->profile ? accountline(a) : L"the user");
            addtext(&err, " is an administrator is not known: the objects for administrators and "
                          "non-administrators are both read\r\n");
        }
        if (administrator < 0 || administrator == !i)
            (void)addobject(policy, &object, 0);
    }
    if (a->sid && objectof("user", a->sid, NULL, &object) && isfolder(object.folder))
        (void)addobject(policy, &object, 0);
}

const regvalue *grouppolicyon(const gpactions *policy, const regvalue *v, const char **kind)
{
    const regvalue *found = NULL;

    for (int i = 0; i < policy->actions.nvalues; i++) {
        const regvalue *a = &policy->actions.values[i];
        if (samekey(a->root, a->key, v->root, v->key) && (!a->name || sametext(a->name, v->name))) {
            found = a;
            *kind = ((const char *const *)policy->kinds.data)[i];
        }
    }
    return found;
}

void addgpname(buffer *b, const char *kind)
{
    addtext(b, "local Group Policy");
    if (kind[0] != 'l') {
        addtext(b, " for ");
        addtext(b, kind[0] == 'u' ? "the user" : kind);
    }
}
