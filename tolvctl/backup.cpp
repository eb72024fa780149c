// backup, restore and undo: the exact prior bytes of every value the
// dialogs touch, kept in a .reg file or the journal and put back.
#include "change.h"
#include "commands.h"
#include "files.h"
#include "journal.h"
#include "polchange.h"
#include "regfile.h"
#include "settings.h"

int backupcommand(const WCHAR *path, const usertarget *whom)
{
    regimage image = {};
    regnotes notes = {};
    buffer file = {};
    DWORD error;
    int code = captureaccount(whom, 1, &image, &notes.user);

    if (code)
        return code;
    writereg(&file, &image, L"backup", &notes);
    if (!writefile(path, file.data, file.size, &error)) {
        complain("cannot write ", path, ": ", systemtext(error));
        return 1;
    }
    int values = 0;
    for (int i = 0; i < image.nvalues; i++)
        values += image.values[i].name != NULL;
    say("saved ");
    addnumber(&out, values);
    say(" values and ");
    addnumber(&out, image.nabsent);
    say(" absent keys to ");
    say(path);
    sayline();
    return 0;
}

// Reads and checks a .reg file whole; 0 after the message.
static int loadreg(const WCHAR *path, regimage *image, regnotes *notes)
{
    buffer contents = {}, error = {};
    DWORD code;

    if (!readfile(path, &contents, &code)) {
        complain("cannot read ", path, ": ", systemtext(code));
        return 0;
    }
    if (!readreg(contents.data, contents.size, path, image, notes, &error)) {
        complain("", textof(&error));
        return 0;
    }
    return 1;
}

// What putting a file back may touch: its keys, made for its sections or
// removed as absent, and its values.
static void touchimage(void *context, touched *t)
{
    const regimage *image = (const regimage *)context;

    for (int i = 0; i < image->nvalues; i++) {
        touchkey(t, image->values[i].root, image->values[i].key);
        if (image->values[i].name)
            touchvalue(t, image->values[i].root, image->values[i].key, image->values[i].name);
    }
    for (int i = 0; i < image->nabsent; i++)
        touchkey(t, image->absent[i].root, image->absent[i].key);
}

static void restoreinto(void *context, changer *c)
{
    restoreimage(c, (const regimage *)context);
}

int restorecommand(const WCHAR *path, const options *o)
{
    static const changing how = { touchimage, restoreinto };
    regimage image = {};
    regnotes notes = { o->line, NULL, NULL, {} }, read;
    account *a;
    int n, code;

    if (!loadreg(path, &image, &read))
        return 2;
    code = findaccounts(&o->whom, &a, &n);
    if (!code)
        code = changeaccount(a, o->dryrun, &notes, &how, &image);
    notewindows(changedvalues());
    dryrunend(o->dryrun);
    return code;
}

// An undo: the entry's image, and the line that names it.
struct undoing {
    regimage     image;
    const WCHAR *what;
};

static void touchundo(void *context, touched *t)
{
    touchimage(&((undoing *)context)->image, t);
}

static void undointo(void *context, changer *c)
{
    undoing *u = (undoing *)context;
    say("undo of: ");
    say(u->what);
    sayline();
    restoreimage(c, &u->image);
}

int undocommand(int dryrun)
{
    static const changing how = { touchundo, undointo };
    const WCHAR *folder = journalfolder();
    unsigned *numbers;
    undoing u = {};
    regnotes notes;
    usertarget whom = { whose_current, NULL };
    account *a;
    int n;

    if (!folder)
        return 1;
    n = journalentries(folder, &numbers);
    if (!n) {
        complain("the undo journal is empty: nothing to undo");
        return 1;
    }
    const WCHAR *path = journalpath(folder, numbers[n - 1]);
    if (!loadreg(path, &u.image, &notes))
        return 2;
    u.what = notes.note ? notes.note : path;
    int code;
    if (notes.policy) {
        // A change to a policy object: its files come back.
        say("undo of: ");
        say(u.what);
        sayline();
        code = undoobject(path, &notes, dryrun);
    } else {
        // The entry names the user whose hive it was taken from.
        if (notes.user)
            accounttarget(notes.user, &whom);
        code = findaccounts(&whom, &a, &n);
        if (!code)
            code = changeaccount(a, dryrun, NULL, &how, &u);
    }
    if (!dryrun && !code && !DeleteFileW(path)) {
        complain("cannot remove the journal entry ", path, ": ", systemtext(GetLastError()));
        code = 1;
    } else if (code == 1) {
        complain("the journal entry is kept, so that undo can be run again: ", path);
    } else if (!dryrun && !code) {
        dropentry(path);    // the copies beside it
    }
    dryrunend(dryrun);
    return code;
}
