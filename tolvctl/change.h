// The change engine: set, apply, restore and undo change the registry
// through these steps. Each prints one line. In a dry run they look at the
// registry with the run's own planned changes laid over it, so that they
// print what a real run would print.
#ifndef TOLVCTL_CHANGE_H
#define TOLVCTL_CHANGE_H

#include "values.h"

struct changer {
    int      dryrun;
    int      failures;
    int      changes;
    regimage policy;    // what local Group Policy does to values
    regimage planned;   // dry run: values set or deleted, keys made (NULL names)
    regimage removed;   // dry run: keys removed (in absent)
};

// A run's start: the run is a dry run or not, and what local Group Policy
// does is read, so that the lines can say when it puts a value back.
void startchanges(changer *c, int dryrun);
// A key alone: made when missing, with a "created" line.
void makekey(changer *c, HKEY root, const WCHAR *key);
// Sets a value to exactly the type and bytes of v, or deletes it when v is
// absent; a missing key is made for a value to be set.
void changevalue(changer *c, const regvalue *v);
// Puts back what a backup records: sections and values in file order, then
// the keys that were absent, the deepest first, where they hold nothing.
void restoreimage(changer *c, const regimage *image);
// The end of a run: the journal entry goes when nothing changed, a dry run
// says so; the exit code.
int finish(changer *c, const WCHAR *entry);

#endif
