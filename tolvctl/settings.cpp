// The settings over the policy tables: boxes and their values, names and
// states, the quick settings and the walk of Apply.
#include "settings.h"
#include "winpolicy.h"

const dialogboxes *const dialogs = alldialogs;
static_assert(COUNT(alldialogs) == ndialogs,
              "settings.h counts the dialogs of policy.h");
static_assert(COUNT(presetnames) == npresets, "settings.h counts the quick settings of policy.h");

int boxvalues(const dialogboxes *d, int id, boxvalue *values, int room)
{
    int n = 0;
    const policydialog *pd = d->tables;

    for (int i = 0; i < pd->nreads; i++) {
        const readrow *row = &pd->reads[i];
        if (row->id != id || n == room)
            continue;
        boxvalue v = { row->root, row->key, row->name, row, NULL };
        values[n++] = v;
    }
    for (int i = 0; i < pd->napplies; i++) {
        const applyrow *row = &pd->applies[i];
        for (int t = 0; row->id == id && t < COUNT(row->targets) && row->targets[t].name; t++) {
            const target *tg = &row->targets[t];
            int j = 0;
            while (j < n && !(values[j].root == tg->root && sametextA(values[j].key, tg->key) &&
                              sametextA(values[j].name, tg->name)))
                j++;
            if (j < n) {
                if (!values[j].write)
                    values[j].write = tg;
            } else if (n < room) {
                boxvalue v = { tg->root, tg->key, tg->name, NULL, tg };
                values[n++] = v;
            }
        }
    }
    return n;
}

// A setting named by its short name, or by tweak.ID or restrict.ID.
static int findsetting(const WCHAR *name, const dialogboxes **dialog, const boxrow **box)
{
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++) {
            const boxrow *b = &alldialogs[d].boxes[i];
            buffer dotted = {};
            addtext(&dotted, alldialogs[d].name);
            addchar(&dotted, L'.');
            addnumber(&dotted, b->id);
            if (sameword(name, b->name) || sametext(name, textof(&dotted))) {
                *dialog = &alldialogs[d];
                *box = b;
                return 1;
            }
        }
    return 0;
}

void addpresetnames(buffer *b, const dialogboxes *d, int id)
{
    int any = 0;

    if (d->tables != &restrictdialog)
        return;
    for (int i = 0; i < COUNT(presets); i++)
        for (int p = 0; presets[i].id == id && p < COUNT(presetnames); p++)
            if (presets[i].ticked[p]) {
                if (any++)
                    addtext(b, ", ");
                addtext(b, presetnames[p]);
            }
}

// ---- states -------------------------------------------------------------------------

int **nostates(void)
{
    int **states = (int **)grab(COUNT(alldialogs) * sizeof *states);
    for (int d = 0; d < COUNT(alldialogs); d++) {
        states[d] = (int *)grab(alldialogs[d].nboxes * sizeof(int));
        for (int i = 0; i < alldialogs[d].nboxes; i++)
            states[d][i] = -1;
    }
    return states;
}

int namestate(int **states, const WCHAR *arg, int unset)
{
    const WCHAR *equals = arg;
    while (*equals && *equals != L'=')
        equals++;
    if (!*equals) {
        complain("expected SETTING=on or SETTING=off, not ", arg);
        return showusage;
    }
    const WCHAR *name = wcopy(arg, equals - arg);
    const dialogboxes *dialog;
    const boxrow *box;
    if (!findsetting(name, &dialog, &box)) {
        complain("unknown setting ", name, "; \"tolvctl list\" shows them all");
        return 2;
    }
    int on = sameword(equals + 1, "on") ? state_on : sameword(equals + 1, "unset") ? state_unset : 0;
    if (on == state_unset && !unset) {
        complain("SETTING=unset goes with --policy: only a policy object can leave a setting unset");
        return showusage;
    }
    if (!on && !sameword(equals + 1, "off")) {
        complain(unset ? "a setting is on, off or unset, not " : "a setting is on or off, not ", equals + 1);
        return 2;
    }
    int *state = &states[dialog - alldialogs][box - dialog->boxes];
    if (*state >= 0) {
        complain("the setting is named twice: ", name);
        return 2;
    }
    *state = on;
    return 0;
}

int presetstates(int **states, const WCHAR *preset)
{
    int p = 0;
    while (p < COUNT(presetnames) && !sameword(preset, presetnames[p]))
        p++;
    if (p == COUNT(presetnames)) {
        complain("unknown preset ", preset, "; the presets are school, cyber-cafe, "
                 "highly-restricted and clear-all");
        return 2;
    }
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++)
            for (int r = 0; alldialogs[d].tables == &restrictdialog && r < COUNT(presets); r++)
                if (presets[r].id == alldialogs[d].boxes[i].id)
                    states[d][i] = presets[r].ticked[p];
    return 0;
}

const char *presetname(int preset)
{
    return presetnames[preset];
}

// The data text of a table: a short hexadecimal numeral.
static DWORD hexnumber(const char *text)
{
    DWORD number = 0;
    for (; *text; text++)
        number = number * 16 + (*text <= '9' ? *text - '0' : (*text | 0x20) - 'a' + 10);
    return number;
}

// A target as its box leaves it: set to the data Apply writes, or absent.
static regvalue targetvalue(const target *tg, int ticked)
{
    regvalue v = { tg->root, widen(tg->key), widen(tg->name), ticked, 0, NULL, 0 };
    if (ticked) {
        DWORD *data = (DWORD *)grab(sizeof(DWORD));
        *data = hexnumber(tg->data);
        v.type = REG_DWORD;
        v.data = (const BYTE *)data;
        v.size = sizeof(DWORD);
    }
    return v;
}

// parent\leaf, the path of a key that Apply makes sure of.
static const WCHAR *keypath(const char *parent, const char *leaf)
{
    return joinpath(widen(parent), leaf);
}

// ---- the walk of Apply -----------------------------------------------------------------

struct walking {                // what the walks of policy.h call back with
    const boxwalk     *walk;
    void              *context;
    const dialogboxes *dialog;
    const int         *states;  // per box of the dialog
};

static int boxstate(void *context, int id)
{
    walking *w = (walking *)context;
    for (int i = 0; i < w->dialog->nboxes; i++)
        if (w->dialog->boxes[i].id == id)
            return w->states[i];
    return -1;
}

static void writetarget(void *context, const target *tg, int ticked)
{
    walking *w = (walking *)context;
    if (keyruleof(tg) == keys_kept && !(w->walk->here && keyexists(tg->root, widen(tg->key))))
        return;
    regvalue v = targetvalue(tg, ticked == state_on);
    w->walk->write(w->context, &v, ticked);
}

static int testopens(void *context, const char *path)
{
    (void)context;
    return keyexists(HKCU, widen(path));
}

static void prepkey(void *context, const char *parent, const char *leaf)
{
    walking *w = (walking *)context;
    w->walk->addkey(w->context, HKCU, keypath(parent, leaf));
}

void walkboxes(int *const *states, int prepare, const boxwalk *walk, void *context)
{
    for (int d = 0; d < COUNT(alldialogs); d++) {
        walking w = { walk, context, &alldialogs[d], states[d] };
        if (prepare && alldialogs[d].tables == &restrictdialog)
            walkprepare(alldialogs[d].tables, &w, testopens, prepkey);
        walkapply(alldialogs[d].tables, &w, boxstate, writetarget);
    }
}

const char *machinesetting(int *const *states)
{
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++) {
            boxvalue values[maxboxvalues];
            int n = boxvalues(&alldialogs[d], alldialogs[d].boxes[i].id, values, maxboxvalues);
            for (int v = 0; states[d][i] != state_alone && v < n; v++)
                if (values[v].write && values[v].root == HKLM)
                    return alldialogs[d].boxes[i].name;
        }
    return NULL;
}

void notemachinewide(int *const *states)
{
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++) {
            boxvalue values[maxboxvalues];
            int n = states[d][i] == state_off ? boxvalues(&alldialogs[d], alldialogs[d].boxes[i].id, values,
                                                          maxboxvalues) : 0;
            for (int v = 0; v < n; v++) {
                regvalue now;
                DWORD error;
                if (!values[v].read || !values[v].read->readonly ||
                    !readvalue(values[v].root, widen(values[v].key), widen(values[v].name), KEY_QUERY_VALUE,
                               &now, &error) ||
                    !now.present || !ticks(now.type, now.data, now.size, values[v].read->test))
                    continue;
                addverb("note");
                addvaluepath(&out, &now);
                say(" = ");
                adddescription(&out, &now);
                say(" still restricts every user of this machine: ");
                say(alldialogs[d].boxes[i].name);
                say(" reads on; tolvctl does not change the machine's value");
                sayline();
            }
        }
}

// ---- Windows' word -------------------------------------------------------------------

const winpolicy *windowsword(HKEY root, const char *key, const char *name)
{
    for (int i = 0; i < COUNT(winpolicies); i++)
        if (winpolicies[i].root == root && sametextA(winpolicies[i].key, key) && sametextA(winpolicies[i].name, name))
            return &winpolicies[i];
    return NULL;
}

// RtlGetVersion tells the truth whatever the program's manifest says,
// which GetVersionEx does not on Windows 8.1 and later.
int runningwindows(void)
{
    typedef LONG (WINAPI *getversion)(OSVERSIONINFOW *);
    static int running = -1;
    OSVERSIONINFOW v = {};
    getversion get = (getversion)(void *)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");

    if (running >= 0)
        return running;
    v.dwOSVersionInfoSize = sizeof v;
    if (!get || get(&v))
        return running = win10;     // not known: the common case today
    static const BYTE byversion[] = { win2000, winxp, win2003, 0, 0, 0, 0, 0, 0, 0,
                                      winvista, win7, win8, win81 };
    unsigned at = (v.dwMajorVersion - 5) * 10 + v.dwMinorVersion;
    if (v.dwMajorVersion >= 10)
        running = v.dwMajorVersion > 10 || v.dwBuildNumber >= 22000 ? win11 : win10;
    else if (v.dwMajorVersion < 5 || at >= sizeof byversion)
        running = v.dwMajorVersion < 5 ? win2000 : win81;
    else
        running = byversion[at];
    return running;
}

const winpolicy *writtenword(const boxvalue *v)
{
    return v->write && v->write->data ? windowsword(v->root, v->key, v->name) : NULL;
}

int listedhere(const winpolicy *w)
{
    if (!w->file)
        return -1;
    return (w->support->listed >> runningwindows()) & 1;
}

// The running Windows by name.
const char *runningname(void)
{
    return winversionnames[runningwindows()];
}

// Whether the templates define a value that the box writes and list none
// of them for the running Windows; the texts that they do list, quoted and
// joined, into b.
int unlistedhere(const dialogboxes *d, int id, buffer *b)
{
    boxvalue values[maxboxvalues];
    int n = boxvalues(d, id, values, maxboxvalues), defined = 0;

    for (int v = 0; v < n; v++) {
        const winpolicy *w = writtenword(&values[v]);
        if (!w || !w->file)
            continue;
        if (listedhere(w))
            return 0;
        if (defined++)
            addtext(b, "; ");
        addchar(b, L'"');
        addtext(b, w->support->text);
        addchar(b, L'"');
    }
    return defined > 0;
}

void notewindows(const regimage *changed)
{
    for (int d = 0; d < COUNT(alldialogs); d++)
        for (int i = 0; i < alldialogs[d].nboxes; i++) {
            boxvalue values[maxboxvalues];
            int id = alldialogs[d].boxes[i].id, n = boxvalues(&alldialogs[d], id, values, maxboxvalues), hit = 0;
            for (int v = 0; v < n && !hit; v++) {
                const WCHAR *key = widen(values[v].key), *name = widen(values[v].name);
                for (int c = 0; c < changed->nvalues && !hit; c++) {
                    const regvalue *ch = &changed->values[c];
                    hit = ch->root == values[v].root && ch->name && sametext(ch->key, key) && sametext(ch->name, name);
                }
            }
            buffer texts = {};
            if (!hit || !unlistedhere(&alldialogs[d], id, &texts))
                continue;
            addverb("note");
            say(alldialogs[d].boxes[i].name);
            say(": Windows' templates do not list ");
            say(runningname());
            say(" for it: ");
            say(textof(&texts));
            sayline();
        }
}

// ---- what a backup keeps -------------------------------------------------------------

void touchall(touched *t)
{
    for (int i = 0; i < COUNT(preparedkeys); i++)
        touchkey(t, HKCU, keypath(preparedkeys[i].parent, preparedkeys[i].leaf));
    for (int d = 0; d < COUNT(alldialogs); d++) {
        const policydialog *pd = alldialogs[d].tables;
        for (int i = 0; i < pd->ntests; i++)
            touchkey(t, HKCU, widen(pd->tests[i].parent));
        for (int b = 0; b < alldialogs[d].nboxes; b++) {
            boxvalue values[maxboxvalues];
            int n = boxvalues(&alldialogs[d], alldialogs[d].boxes[b].id, values, maxboxvalues);
            // The key of each value too: a command may make it, and a
            // restore removes it again only where the backup says that it
            // was absent.
            for (int v = 0; v < n; v++) {
                const WCHAR *key = widen(values[v].key);
                touchkey(t, values[v].root, key);
                touchvalue(t, values[v].root, key, widen(values[v].name));
            }
        }
    }
}

