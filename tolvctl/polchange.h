// Changes to a local policy object instead of the registry: its
// Registry.pol files merged record by record and its gpt.ini's version
// raised, journaled and printed as the registry's changes are.
#ifndef TOLVCTL_POLCHANGE_H
#define TOLVCTL_POLCHANGE_H

#include "journal.h"
#include "localpolicy.h"

// set and apply with --policy: the boxes in the states given in the
// object's files. On writes each value of a box as Apply writes it, off
// Group Policy's deletion of it, unset neither; every other record stays
// as it was. The exit code.
int changeobject(int *const *states, const WCHAR *object, int dryrun, const WCHAR *line);

// undo of a journal entry that changed an object: its files' prior bytes
// back, and the version raised again. The exit code.
int undoobject(const WCHAR *entry, const regnotes *notes, int dryrun);

#endif
