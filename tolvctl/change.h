// The change engine: set, apply, restore and undo change the registry
// through these steps. Each prints one line. In a dry run they look at the
// registry with the run's own planned changes laid over it, so that they
// print what a real run would print.
#ifndef TOLVCTL_CHANGE_H
#define TOLVCTL_CHANGE_H

#include "journal.h"
#include "localpolicy.h"

struct changer {
    int      dryrun;
    int      failures;
    int      changes;
    gpactions policy;   // what local Group Policy does to values
    regimage planned;   // dry run: values set or deleted, keys made (NULL names)
    regimage removed;   // dry run: keys removed (in absent)
};

// Every value that the run has set or deleted so far, in every account; a
// dry run's too.
const regimage *changedvalues(void);

// A key alone: made when missing, with a "created" line.
void makekey(changer *c, HKEY root, const WCHAR *key);
// Sets a value to exactly the type and bytes of v, or deletes it when v is
// absent; a missing key is made for a value to be set.
void changevalue(changer *c, const regvalue *v);
// Puts back what a backup records: sections and values in file order, then
// the keys that were absent, the deepest first, where they hold nothing.
void restoreimage(changer *c, const regimage *image);

// The present state of everything the dialogs touch in the hive of the
// account that whom names, after the line that names it: with keys, the
// keys too, as sections and as absent keys, as a backup keeps them; else
// the values alone. *user gets how files name the account. 0, or the exit
// code after the message.
int captureaccount(const usertarget *whom, int keys, regimage *image, const WCHAR **user);

// How a command changes an account: touch() names what the changes may
// touch, for the journal and the look for registry links in another
// user's hive; change() makes them.
struct changing {
    void (*touch)(void *context, touched *t);
    void (*change)(void *context, changer *c);
};
// One account's changes, as set, apply, restore and undo make them. The
// account's hive is entered, with the line that names it; in another
// user's hive, a registry link among what the changes may touch ends the
// run there with 2, nothing changed. Unless it is a dry run or there are
// no notes, what the changes may touch is journaled first, with the notes
// and the account; then the changes are made, the hive is left, and
// announce() says when they take effect. The exit code.
int changeaccount(account *a, int dryrun, const regnotes *notes, const changing *how, void *context);


#endif
