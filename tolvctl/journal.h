// The undo journal: one .reg file per change, in the user's local
// application data folder, under Tolvane\undo, named by a rising number;
// the newest 100 are kept.
#ifndef TOLVCTL_JOURNAL_H
#define TOLVCTL_JOURNAL_H

#include "regfile.h"

// The journal's folder, made when missing; NULL after a message.
const WCHAR *journalfolder(void);
// The numbers of the journal's entries, ascending; how many there are.
int journalentries(const WCHAR *folder, unsigned **numbers);
const WCHAR *journalpath(const WCHAR *folder, unsigned number);
// Saves the present state of what a command may touch as the newest entry,
// with the notes that say which command and user; the name of the entry,
// or NULL after a message.
const WCHAR *journal(const touched *t, const regnotes *notes);
// Beside an entry, the file that keeps a copy of another: the entry's
// number and name, "00000007.User.pol".
const WCHAR *journalcopy(const WCHAR *entry, const WCHAR *name);
// Deletes an entry and the copies beside it: every file of its number.
void dropentry(const WCHAR *entry);
// The command line as the journal notes it.
const WCHAR *commandline(int argc, WCHAR **argv);

#endif
