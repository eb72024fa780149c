// Changes to local policy objects. Every file is read and checked before
// anything is written; a file is written through a temporary file and a
// rename, the changed Registry.pol files first, then gpt.ini.
#include "polchange.h"
#include "files.h"
#include "polfile.h"
#include "settings.h"

// One record of a side's file as the run leaves it: one that was there, or
// one that the run adds.
struct piece {
    const polrecord *old;
    regvalue         now;
    int              gone;
};

// One side of the object while it is changed.
struct sidefile {
    const WCHAR *path;
    buffer       before;    // the file's bytes
    int          exists;
    buffer       pieces;
    int          changed;
};

struct objectrun {
    policyobject object;
    sidefile     files[npolicysides];   // in the order of policysides
    int          changes;
};

static int countof(const buffer *pieces)
{
    return (int)(pieces->size / sizeof(piece));
}

// Whether a record stands for the value: the value itself, or its deletion.
static int pieceof(const piece *p, const regvalue *v)
{
    if (p->gone)
        return 0;
    if (!p->old)
        return sametext(p->now.key, v->key) && sametext(p->now.name, v->name);
    return sametext(p->old->key, v->key) && (sametext(p->old->name, v->name) || deletes(p->old, v->name));
}

// What a record does to its value: sets it (present) or deletes it.
static regvalue recordvalue(const piece *p, const regvalue *v)
{
    if (!p->old)
        return p->now;
    regvalue r = *v;
    r.present = !deletes(p->old, v->name);
    r.type = p->old->type;
    r.data = p->old->data;
    r.size = p->old->size;
    return r;
}

static void addobjectpath(const objectrun *r, const regvalue *v)
{
    say(r->object.name);
    say(": ");
    addvaluepath(&out, v);
}

// The change of one value, as walkboxes() hands it over.
static void changerecord(void *context, const regvalue *v, int state)
{
    objectrun *r = (objectrun *)context;
    sidefile *f = &r->files[v->root == HKEY_LOCAL_MACHINE];
    piece *pieces = (piece *)f->pieces.data;
    regvalue was;
    const regvalue *before = NULL;

    for (int i = 0; i < countof(&f->pieces); i++)
        if (pieceof(&pieces[i], v)) {
            was = recordvalue(&pieces[i], v);
            before = &was;
        }
    const regvalue *now = state == state_unset ? NULL : v;
    if (now ? before && samedata(before, now) : !before) {
        addverb("unchanged");
        addobjectpath(r, v);
        if (now && now->present) {
            say(" = ");
            adddescription(&out, now);
        } else {
            say(" (");
            addconfigured(&out, now);
            say(")");
        }
        sayline();
        return;
    }
    for (int i = 0; i < countof(&f->pieces); i++)
        if (pieceof(&pieces[i], v))
            pieces[i].gone = 1;
    if (state != state_unset) {
        piece added = { NULL, *v, 0 };
        addbytes(&f->pieces, &added, sizeof added);
    }
    f->changed = 1;
    r->changes++;
    addverb(state == state_unset ? "unset" : v->present ? "set" : "deleted");
    addobjectpath(r, v);
    if (state == state_on) {
        say(" = ");
        adddescription(&out, v);
    }
    say(" (was ");
    addconfigured(&out, before);
    say(")");
    sayline();
}

// The side's file as the run leaves it.
static void writeside(const sidefile *f, buffer *file)
{
    const piece *pieces = (const piece *)f->pieces.data;

    addpolheader(file);
    for (int i = 0; i < countof(&f->pieces); i++)
        if (pieces[i].old && !pieces[i].gone)
            addbytes(file, f->before.data + pieces[i].old->start, pieces[i].old->end - pieces[i].old->start);
        else if (!pieces[i].gone)
            addrecord(file, &pieces[i].now);
}

// Reads a file that may be missing; 0 after the message when it is there
// but cannot be read.
static int readmaybe(const WCHAR *path, buffer *contents, int *exists)
{
    DWORD error;

    *exists = readfile(path, contents, &error);
    if (*exists || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return 1;
    complain("cannot read ", path, ": ", systemtext(error));
    return 0;
}

// The object's gpt.ini, which may be missing; 0 after the message.
static int readgptini(const WCHAR *folder, buffer *before)
{
    int exists;
    return readmaybe(joinpath(folder, "gpt.ini"), before, &exists);
}

// gpt.ini as read, with the sides given raised, into file; 0 after the
// message with the line when it cannot be parsed.
static int raisedgptini(const WCHAR *folder, const buffer *before, int sides, buffer *file)
{
    int line;
    const char *why;

    if (!updategptini(before->data, before->size, sides, file, &line, &why)) {
        buffer where = {};
        addtext(&where, ": line ");
        addnumber(&where, line);
        addtext(&where, ": ");
        addtext(&where, why);
        complain("", joinpath(folder, "gpt.ini"), NULL, textof(&where));
        return 0;
    }
    return 1;
}

// Writes a file into its folder, made when missing; 0 after the message.
static int writein(const WCHAR *folder, const WCHAR *path, const buffer *data)
{
    DWORD error;

    if (!makefolders(folder, &error) || !writefile(path, data->data, data->size, &error)) {
        complain("cannot write ", path, ": ", systemtext(error));
        return 0;
    }
    return 1;
}

// Beside a journal entry, the copy of a side's Registry.pol as it was.
static const WCHAR *copyof(const WCHAR *entry, const policyside *side)
{
    buffer name = {};
    addtext(&name, side->folder);
    addtext(&name, ".pol");
    return journalcopy(entry, textof(&name));
}

static void takeseffect(void)
{
    addverb("note");
    say("the changes take effect at the next Group Policy refresh or logon, or now with gpupdate /force");
    sayline();
}

static int changein(int *const *states, const WCHAR *given, int dryrun, const WCHAR *line)
{
    static const boxwalk changing = { NULL, changerecord, 0 };
    objectrun r = {};
    buffer before = {}, gptini = {};
    int code = findobject(given, &r.object), sides = 0;

    if (code)
        return code;
    if (!objecthere(&r.object) || !takessettings(&r.object, states))
        return 2;
    // Every file read and checked first.
    for (int i = 0; i < npolicysides; i++) {
        sidefile *f = &r.files[i];
        polrecord *records;
        int n = 0;
        size_t offset;
        const char *why;
        if (!(r.object.sides & policysides[i].side))
            continue;
        f->path = objectfile(&r.object, &policysides[i]);
        if (!readmaybe(f->path, &f->before, &f->exists))
            return 2;
        if (f->exists && !readrecords(f->before.data, f->before.size, &records, &n, &offset, &why)) {
            badpolicyfile(f->path, offset, why, 0);
            return 2;
        }
        for (int j = 0; j < n; j++) {
            piece p = { &records[j], {}, 0 };
            addbytes(&f->pieces, &p, sizeof p);
        }
    }
    // gpt.ini is checked as the change of every side would change it.
    if (!readgptini(r.object.folder, &before) || !raisedgptini(r.object.folder, &before, r.object.sides, &gptini))
        return 2;

    walkboxes(states, 0, &changing, &r);
    if (!r.changes || dryrun) {
        if (r.changes)
            takeseffect();
        return 0;
    }

    // The prior bytes of each file that changes, in the journal.
    buffer policy = {};
    regnotes notes = { line, NULL, NULL, {} };
    int nfiles = 0;
    addtext(&policy, r.object.name);
    addtext(&policy, ": ");
    addtext(&policy, r.object.folder);
    notes.policy = textof(&policy);
    for (int i = 0; i < npolicysides; i++)
        if (r.files[i].changed) {
            buffer name = {};
            addtext(&name, policysides[i].folder);
            if (!r.files[i].exists)
                addtext(&name, " absent");
            notes.files[nfiles++] = textof(&name);
            sides |= policysides[i].side;
        }
    touched nothing = {};
    const WCHAR *entry = journal(&nothing, &notes);
    if (!entry)
        return 1;
    for (int i = 0; i < npolicysides; i++) {
        DWORD error;
        if (r.files[i].changed && r.files[i].exists &&
            !writefile(copyof(entry, &policysides[i]), r.files[i].before.data, r.files[i].before.size, &error)) {
            complain("cannot write the undo journal ", entry, ": ", systemtext(error));
            dropentry(entry);
            return 1;
        }
    }

    for (int i = 0; i < npolicysides; i++) {
        buffer file = {};
        if (!r.files[i].changed)
            continue;
        writeside(&r.files[i], &file);
        if (!writein(joinpath(r.object.folder, policysides[i].folder), r.files[i].path, &file))
            return 1;
    }
    gptini.size = 0;
    if (!raisedgptini(r.object.folder, &before, sides, &gptini) ||
        !writein(r.object.folder, joinpath(r.object.folder, "gpt.ini"), &gptini))
        return 1;
    takeseffect();
    return 0;
}

int changeobject(int *const *states, const WCHAR *given, int dryrun, const WCHAR *line)
{
    int code = changein(states, given, dryrun, line);
    dryrunend(dryrun);
    return code;
}

int undoobject(const WCHAR *entry, const regnotes *notes, int dryrun)
{
    const WCHAR *split = notes->policy;
    buffer before = {}, gptini = {}, copies[npolicysides] = {};
    int sides = 0, absent[npolicysides] = {};

    while (*split && !(split[0] == L':' && split[1] == L' '))
        split++;
    if (!*split) {
        complain("the journal entry names no policy object's folder: ", entry);
        return 2;
    }
    const WCHAR *name = wcopy(notes->policy, split - notes->policy), *folder = split + 2;
    for (int f = 0; f < COUNT(notes->files) && notes->files[f]; f++)
        for (int i = 0; i < npolicysides; i++) {
            const WCHAR *rest = afterword(notes->files[f], policysides[i].folder);
            if (!rest)
                continue;
            sides |= policysides[i].side;
            absent[i] = sameword(rest, " absent");
            DWORD error;
            const WCHAR *copy = copyof(entry, &policysides[i]);
            if (!absent[i] && !readfile(copy, &copies[i], &error)) {
                complain("cannot read ", copy, ": ", systemtext(error));
                return 2;
            }
        }
    if (!readgptini(folder, &before) || !raisedgptini(folder, &before, sides, &gptini))
        return 2;

    for (int i = 0; i < npolicysides; i++) {
        if (!(sides & policysides[i].side))
            continue;
        const WCHAR *sidefolder = joinpath(folder, policysides[i].folder);
        const WCHAR *path = joinpath(sidefolder, "Registry.pol");
        addverb(absent[i] ? "removed" : "restored");
        say(name);
        say(": ");
        say(path);
        sayline();
        if (dryrun)
            continue;
        if (absent[i] ? !DeleteFileW(path) && GetLastError() != ERROR_FILE_NOT_FOUND
                      : !writein(sidefolder, path, &copies[i])) {
            if (absent[i])
                complain("cannot remove ", path, ": ", systemtext(GetLastError()));
            return 1;
        }
    }
    if (!dryrun && !writein(folder, joinpath(folder, "gpt.ini"), &gptini))
        return 1;
    takeseffect();
    return 0;
}
