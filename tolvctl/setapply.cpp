// set and apply: boxes of the dialogs in the states named or of a preset,
// as the dialogs' Apply leaves them.
#include "change.h"
#include "commands.h"
#include "journal.h"
#include "settings.h"

// What the run may touch: a value to be set may need its key made; one to
// be deleted not.
static void touchtarget(void *context, const regvalue *v)
{
    touched *t = (touched *)context;
    if (v->present)
        touchkey(t, v->root, v->key);
    touchvalue(t, v->root, v->key, v->name);
}

static void touchprepared(void *context, HKEY root, const WCHAR *key)
{
    touchkey((touched *)context, root, key);
}

static void changetarget(void *context, const regvalue *v)
{
    changevalue((changer *)context, v);
}

static void makeprepared(void *context, HKEY root, const WCHAR *key)
{
    makekey((changer *)context, root, key);
}

// Sets boxes of the dialogs to the states given (one array per dialog),
// as Apply would for those boxes; with prepare, after the key preparation
// of Set Restrictions, as the dialog's Apply does.
static int changeboxes(int *const *states, int prepare, int dryrun, const WCHAR *command)
{
    changer c = {};
    touched t = {};
    const WCHAR *entry = NULL;

    startchanges(&c, dryrun);
    // Everything that the run may touch, saved before it starts.
    if (!dryrun) {
        static const boxwalk touching = { touchprepared, touchtarget };
        walkboxes(states, prepare, &touching, &t);
        entry = journal(&t, command);
        if (!entry)
            return 1;
    }
    static const boxwalk changing = { makeprepared, changetarget };
    walkboxes(states, prepare, &changing, &c);
    return finish(&c, entry);
}

int setcommand(int argc, WCHAR **argv, int first, int dryrun)
{
    int **states = nostates();
    int named = 0;

    for (int i = first; i < argc; i++) {
        if (sameword(argv[i], "--dry-run"))
            continue;
        int code = namestate(states, argv[i]);
        if (code)
            return code;
        named++;
    }
    if (!named) {
        complain("name at least one SETTING=on or SETTING=off");
        return showusage;
    }
    return changeboxes(states, 0, dryrun, commandline(argc, argv));
}

int applycommand(int argc, WCHAR **argv, int first, int dryrun)
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
    return changeboxes(states, 1, dryrun, commandline(argc, argv));
}

