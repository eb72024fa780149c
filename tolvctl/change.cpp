// The change engine, with its dry-run plan.
#include "change.h"
#include "localpolicy.h"
#include "settings.h"

static void failed(changer *c, const regvalue *v, DWORD error)
{
    addverb("failed");
    addvaluepath(&out, v);
    if (v->name && v->present) {
        say(" = ");
        adddescription(&out, v);
    } else if (v->name) {
        say(" (delete)");
    }
    say(": ");
    say(systemtext(error));
    sayline();
    c->failures++;
}

static int plannedkey(changer *c, HKEY root, const WCHAR *key)
{
    for (int i = 0; i < c->planned.nvalues; i++)
        if (!c->planned.values[i].name && samekey(root, key, c->planned.values[i].root,
                                                  c->planned.values[i].key))
            return 1;
    return 0;
}

static int removedkey(changer *c, HKEY root, const WCHAR *key)
{
    return inabsent(&c->removed, root, key);
}

static int keythere(changer *c, HKEY root, const WCHAR *key)
{
    if (c->dryrun && removedkey(c, root, key))
        return 0;
    return keyexists(root, key) || (c->dryrun && plannedkey(c, root, key));
}

// The value as the run has left it so far.
static int currentvalue(changer *c, const regvalue *want, regvalue *v, DWORD *error)
{
    if (c->dryrun)
        for (int i = c->planned.nvalues - 1; i >= 0; i--)
            if (samevalue(&c->planned.values[i], want)) {
                *v = c->planned.values[i];
                return 1;
            }
    if (!keythere(c, want->root, want->key)) {
        novalue(want->root, want->key, want->name, v);
        return 1;
    }
    return readvalue(want->root, want->key, want->name, KEY_QUERY_VALUE, v, error);
}

// A line when local Group Policy will undo the value's new state at its
// next refresh.
static void notegrouppolicy(changer *c, const regvalue *v)
{
    const char *kind;
    const regvalue *p = grouppolicyon(&c->policy, v, &kind);

    if (!p || samedata(p, v))
        return;
    addverb("note");
    addvaluepath(&out, v);
    say(": ");
    addgpname(&out, kind);
    say(p->present ? " sets it back to " : " deletes it again");
    if (p->present)
        adddescription(&out, p);
    say(" at its next refresh");
    sayline();
}

// Every value that the run set or deleted, in every account.
static regimage changedsofar;

const regimage *changedvalues(void)
{
    return &changedsofar;
}

static void plan(changer *c, const regvalue *v)
{
    if (c->dryrun)
        addvalue(&c->planned, v);
    addvalue(&changedsofar, v);
    c->changes++;
}

// For a dry run's key that would be made: whether its nearest existing
// parent lets it be.
static DWORD trycreate(HKEY root, const WCHAR *key)
{
    size_t length = lstrlenW(key);
    WCHAR *parent = wcopy(key, length);

    for (;;) {
        while (length && parent[length - 1] != L'\\')
            length--;
        if (!length)
            return ERROR_SUCCESS;   // the root itself takes new keys if anything does
        parent[--length] = 0;
        if (keyexists(root, parent))
            return tryaccess(root, parent, KEY_CREATE_SUB_KEY);
    }
}

// Makes sure that a key exists, with a "created" line when it is made. On
// failure, 0 and the error; the caller's line reports it.
static int ensurekey(changer *c, HKEY root, const WCHAR *key, DWORD *error)
{
    if (keythere(c, root, key))
        return 1;
    if (c->dryrun) {
        *error = trycreate(root, key);
        if (*error != ERROR_SUCCESS)
            return 0;
        regvalue k = { root, key, NULL, 1, 0, NULL, 0 };
        addvalue(&c->planned, &k);
    } else {
        LONG rc = createkey(root, key);
        if (rc != ERROR_SUCCESS) {
            *error = rc;
            return 0;
        }
    }
    c->changes++;
    addverb("created");
    say(rootname(root));
    say("\\");
    say(key);
    sayline();
    return 1;
}

void makekey(changer *c, HKEY root, const WCHAR *key)
{
    checkstop();
    DWORD error;
    if (!ensurekey(c, root, key, &error)) {
        regvalue k = { root, key, NULL, 1, 0, NULL, 0 };
        failed(c, &k, error);
    }
}

// The value's path, and " = " and what it holds, or " (absent)".
static void addvalueline(const regvalue *v)
{
    addvaluepath(&out, v);
    if (v->present) {
        say(" = ");
        adddescription(&out, v);
    } else {
        say(" (absent)");
    }
}

void changevalue(changer *c, const regvalue *v)
{
    regvalue before;
    DWORD error;

    checkstop();
    if (!currentvalue(c, v, &before, &error))
        goto failure;
    if (samedata(&before, v)) {
        addverb("unchanged");
        addvalueline(v);
    } else {
        if (v->present && !ensurekey(c, v->root, v->key, &error))
            goto failure;
        if (c->dryrun) {
            error = keyexists(v->root, v->key) ? tryaccess(v->root, v->key, KEY_SET_VALUE) : ERROR_SUCCESS;
        } else {
            HKEY handle;
            error = openkey(v->root, v->key, KEY_SET_VALUE, &handle);
            if (error == ERROR_SUCCESS) {
                error = v->present ? RegSetValueExW(handle, v->name, 0, v->type, v->data, v->size)
                                   : RegDeleteValueW(handle, v->name);
                RegCloseKey(handle);
            }
        }
        if (error != ERROR_SUCCESS)
            goto failure;
        plan(c, v);
        if (v->present) {
            addverb("set");
            addvalueline(v);
        } else {
            addverb("deleted");
            addvaluepath(&out, v);
        }
        say(" (was ");
        adddescription(&out, &before);
        say(")");
    }
    sayline();
    notegrouppolicy(c, v);
    return;
failure:
    failed(c, v, error);
}

// Whether a key holds no values and no keys, as the run has left it. A dry
// run looks at the key's values and keys through its plan: what it deletes
// or removes is gone, what it makes is there.
static int keyisempty(changer *c, HKEY root, const WCHAR *key)
{
    HKEY handle;
    DWORD subkeys = 0, values = 0, longest = 0;
    int left = 0;

    if (openkey(root, key, KEY_READ, &handle) != ERROR_SUCCESS)
        return 0;
    if (RegQueryInfoKeyW(handle, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, &longest,
                         NULL, NULL, NULL) != ERROR_SUCCESS)
        left = 1;
    else if (!c->dryrun)
        left = subkeys || values;
    WCHAR *name = (WCHAR *)grab((longest + 1) * sizeof(WCHAR));
    for (DWORD i = 0; c->dryrun && !left && i < values; i++) {
        DWORD length = longest + 1;
        regvalue want = { root, key, name, 1, 0, NULL, 0 }, now;
        DWORD error;
        left = RegEnumValueW(handle, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS ||
               !currentvalue(c, &want, &now, &error) || now.present;
    }
    for (DWORD i = 0; c->dryrun && !left && i < subkeys; i++) {
        WCHAR sub[256];
        DWORD length = 256;
        buffer path = {};
        left = RegEnumKeyExW(handle, i, sub, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS;
        addtext(&path, key);
        addchar(&path, L'\\');
        addtextn(&path, sub, length);
        left = left || !removedkey(c, root, textof(&path));
    }
    RegCloseKey(handle);
    // Values and keys that a dry run makes in or below the key.
    size_t keylength = lstrlenW(key);
    for (int i = 0; c->dryrun && !left && i < c->planned.nvalues; i++) {
        const regvalue *p = &c->planned.values[i];
        size_t length = lstrlenW(p->key);
        int below = p->root == root && length > keylength && p->key[keylength] == L'\\' &&
                    startswith(p->key, length, key);
        regvalue now;
        DWORD error;
        left = (below && !removedkey(c, root, p->key)) ||
               (p->name && samekey(root, key, p->root, p->key) && currentvalue(c, p, &now, &error) &&
                now.present);
    }
    return !left;
}

// Removes a key that a backup records as absent, when it holds nothing.
static void removekey(changer *c, HKEY root, const WCHAR *key)
{
    regvalue k = { root, key, NULL, 1, 0, NULL, 0 };

    checkstop();
    if (!keythere(c, root, key))
        return;
    if (!keyisempty(c, root, key)) {
        addverb("kept");
        addvaluepath(&out, &k);
        say(": it holds values or keys");
        sayline();
        return;
    }
    HKEY handle;
    LONG rc = c->dryrun ? tryaccess(root, key, DELETE) : openkey(root, key, DELETE, &handle);
    if (!c->dryrun && rc == ERROR_SUCCESS) {
        // The key that was opened goes, not whatever its name leads to now.
        rc = RegDeleteKeyW(handle, L"");
        RegCloseKey(handle);
    }
    if (rc != ERROR_SUCCESS) {
        failed(c, &k, rc);
        return;
    }
    if (c->dryrun)
        addabsent(&c->removed, root, key);
    c->changes++;
    addverb("removed");
    addvaluepath(&out, &k);
    sayline();
}

static int depth(const WCHAR *key)
{
    int n = 0;
    for (; *key; key++)
        n += *key == L'\\';
    return n;
}

void restoreimage(changer *c, const regimage *image)
{
    for (int i = 0; i < image->nvalues; i++) {
        const regvalue *v = &image->values[i];
        if (!v->name) {
            if (!inabsent(image, v->root, v->key))
                makekey(c, v->root, v->key);
        } else {
            changevalue(c, v);
        }
    }
    int *order = (int *)grab((image->nabsent + 1) * sizeof(int));
    for (int i = 0; i < image->nabsent; i++)
        order[i] = i;
    for (int i = 1; i < image->nabsent; i++)
        for (int j = i; j > 0 && depth(image->absent[order[j]].key) > depth(image->absent[order[j - 1]].key); j--) {
            int t = order[j];
            order[j] = order[j - 1];
            order[j - 1] = t;
        }
    for (int i = 0; i < image->nabsent; i++)
        removekey(c, image->absent[order[i]].root, image->absent[order[i]].key);
}

int captureaccount(const usertarget *whom, int keys, regimage *image, const WCHAR **user)
{
    touched t = {};
    account *a;
    int n, code = findaccounts(whom, &a, &n), captured = 1;

    if (!code)
        code = enteraccount(a, 1);
    if (!code) {
        touchall(&t);
        code = refuselinks(a, &t);
    }
    if (code)
        return code;
    if (keys)
        captured = capture(&t, image);
    for (int i = 0; !keys && captured && i < t.nvalues; i++)
        captured = !t.values[i].name || capturevalue(image, t.values[i].root, t.values[i].key, t.values[i].name);
    if (leaveaccount(a) || !captured)
        return 1;
    *user = accountline(a);
    return 0;
}

int changeaccount(account *a, int dryrun, const regnotes *notes, const changing *how, void *context)
{
    changer c = {};
    touched t = {};
    const WCHAR *entry = NULL;
    int code = enteraccount(a, 1);

    // Everything that the run may touch, where it is journaled or lies in
    // another user's hive: there no registry link may lead it elsewhere.
    if (!code && (a->profile || (notes && !dryrun))) {
        how->touch(context, &t);
        code = refuselinks(a, &t);
    }
    if (code)
        return code;
    // What local Group Policy does for the account is read first, so that
    // the lines can say when it puts a value back.
    loadgrouppolicy(&c.policy, a);
    c.dryrun = dryrun;
    // Everything that the run may touch, saved before it starts.
    if (notes && !dryrun) {
        regnotes mine = { notes->note, accountline(a), NULL, {} };
        entry = journal(&t, &mine);
    }
    if (entry || !notes || dryrun) {
        how->change(context, &c);
        if (entry && !c.changes)
            (void)DeleteFileW(entry);   // nothing changed: nothing to undo
    }
    code = c.failures || (notes && !dryrun && !entry) ? 1 : 0;
    if (leaveaccount(a))
        code = 1;
    if (c.changes)
        announce(a, dryrun);
    return code;
}
