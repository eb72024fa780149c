// backup, restore and undo: the exact prior bytes of every value the
// dialogs touch, kept in a .reg file or the journal and put back.
#include "change.h"
#include "commands.h"
#include "files.h"
#include "journal.h"
#include "regfile.h"
#include "settings.h"

int backupcommand(const WCHAR *path)
{
    touched t = {};
    regimage image = {};
    buffer file = {};
    DWORD error;

    touchall(&t);
    if (!capture(&t, &image))
        return 1;
    writereg(&file, &image, L"backup", NULL);
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
static int loadreg(const WCHAR *path, regimage *image, const WCHAR **note)
{
    buffer contents = {}, error = {};
    DWORD code;

    if (!readfile(path, &contents, &code)) {
        complain("cannot read ", path, ": ", systemtext(code));
        return 0;
    }
    if (!readreg(contents.data, contents.size, path, image, note, &error)) {
        complain("", textof(&error));
        return 0;
    }
    return 1;
}

int restorecommand(const WCHAR *path, int dryrun, const WCHAR *command)
{
    regimage image = {};
    const WCHAR *note;
    changer c = {};
    const WCHAR *entry = NULL;

    if (!loadreg(path, &image, &note))
        return 2;
    startchanges(&c, dryrun);
    if (!dryrun) {
        touched t = {};
        for (int i = 0; i < image.nvalues; i++) {
            touchkey(&t, image.values[i].root, image.values[i].key);
            if (image.values[i].name)
                touchvalue(&t, image.values[i].root, image.values[i].key, image.values[i].name);
        }
        for (int i = 0; i < image.nabsent; i++)
            touchkey(&t, image.absent[i].root, image.absent[i].key);
        entry = journal(&t, command);
        if (!entry)
            return 1;
    }
    restoreimage(&c, &image);
    return finish(&c, entry);
}

int undocommand(int dryrun)
{
    const WCHAR *folder = journalfolder();
    unsigned *numbers;
    regimage image = {};
    const WCHAR *note;
    changer c = {};

    if (!folder)
        return 1;
    int n = journalentries(folder, &numbers);
    if (!n) {
        complain("the undo journal is empty: nothing to undo");
        return 1;
    }
    const WCHAR *path = journalpath(folder, numbers[n - 1]);
    if (!loadreg(path, &image, &note))
        return 2;
    startchanges(&c, dryrun);
    say("undo of: ");
    say(note ? note : path);
    sayline();
    restoreimage(&c, &image);
    if (!dryrun && !c.failures && !DeleteFileW(path)) {
        complain("cannot remove the journal entry ", path, ": ", systemtext(GetLastError()));
        return 1;
    }
    if (c.failures)
        complain("the journal entry is kept, so that undo can be run again: ", path);
    return finish(&c, NULL);
}
