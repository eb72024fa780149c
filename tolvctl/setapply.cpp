// set and apply: boxes of the dialogs in the states named or of a preset,
// as the dialogs' Apply leaves them.
#include "change.h"
#include "commands.h"
#include "polchange.h"
#include "settings.h"

// One account's part of a run. The values under HKEY_LOCAL_MACHINE are the
// machine's, not the account's: a run changes them once, with its first
// account.
struct boxrun {
    int *const *states;     // one array per dialog
    int         prepare;    // the key preparation of Set Restrictions first
    int         machine;
    changer    *c;          // while changing
    touched    *t;          // while naming what the changes may touch
};

// What the run may touch: a value to be set may need its key made; one to
// be deleted not.
static void touchtarget(void *context, const regvalue *v, int)
{
    boxrun *r = (boxrun *)context;
    if (!r->machine && v->root == HKEY_LOCAL_MACHINE)
        return;
    if (v->present)
        touchkey(r->t, v->root, v->key);
    touchvalue(r->t, v->root, v->key, v->name);
}

static void touchprepared(void *context, HKEY root, const WCHAR *key)
{
    touchkey(((boxrun *)context)->t, root, key);
}

static void changetarget(void *context, const regvalue *v, int)
{
    boxrun *r = (boxrun *)context;
    if (r->machine || v->root != HKEY_LOCAL_MACHINE)
        changevalue(r->c, v);
}

static void makeprepared(void *context, HKEY root, const WCHAR *key)
{
    makekey(((boxrun *)context)->c, root, key);
}

static void touchboxes(void *context, touched *t)
{
    static const boxwalk touching = { touchprepared, touchtarget, 1 };
    boxrun *r = (boxrun *)context;
    r->t = t;
    walkboxes(r->states, r->prepare, &touching, r);
}

static void changeboxes(void *context, changer *c)
{
    static const boxwalk changing = { makeprepared, changetarget, 1 };
    boxrun *r = (boxrun *)context;
    r->c = c;
    walkboxes(r->states, r->prepare, &changing, r);
    if (r->machine)
        notemachinewide(r->states);
}

// Sets boxes of the dialogs to the states given in each account that the
// options name, as Apply would for those boxes; with prepare, after the key
// preparation of Set Restrictions, as the dialog's Apply does. With every
// user, one whose hive cannot be reached is reported, the others are
// changed, and the exit code is 1.
static int changestates(int *const *states, int prepare, const options *o)
{
    static const changing how = { touchboxes, changeboxes };
    regnotes notes = { o->line, NULL, NULL, {} };
    boxrun r = { states, prepare, 1, NULL, NULL };
    account *accounts;
    int n, code = findaccounts(&o->whom, &accounts, &n);

    for (int i = 0; i < n && code != 2; i++) {
        int done = changeaccount(&accounts[i], o->dryrun, &notes, &how, &r);
        if (done == 2 && o->whom.who == whose_all)
            done = 1;
        else
            r.machine = 0;
        if (done > code)
            code = done;
    }
    notewindows(changedvalues());
    dryrunend(o->dryrun);
    return code;
}

int setcommand(int argc, WCHAR **argv, int first, const options *o)
{
    int **states = nostates();
    int named = 0;

    for (int i = first; i < argc; i++) {
        if (sameword(argv[i], "--dry-run"))
            continue;
        int code = namestate(states, argv[i], o->policy != NULL);
        if (code)
            return code;
        named++;
    }
    if (!named) {
        complain(o->policy ? "name at least one SETTING=on, SETTING=off or SETTING=unset"
                           : "name at least one SETTING=on or SETTING=off");
        return showusage;
    }
    if (o->policy)
        return changeobject(states, o->policy, o->dryrun, o->line);
    return changestates(states, 0, o);
}

int applycommand(int argc, WCHAR **argv, int first, const options *o)
{
    const WCHAR *preset = NULL;
    int **states = nostates();

    for (int i = first; i < argc; i++) {
        if (sameword(argv[i], "--dry-run"))
            continue;
        if (preset) {
            complain("apply takes one preset");
            return showusage;
        }
        preset = argv[i];
    }
    if (!preset) {
        complain("apply needs a preset: school, cyber-cafe, highly-restricted or clear-all");
        return showusage;
    }
    if (presetstates(states, preset))
        return 2;
    // A policy object is no registry: its keys need no preparation.
    if (o->policy)
        return changeobject(states, o->policy, o->dryrun, o->line);
    return changestates(states, 1, o);
}

