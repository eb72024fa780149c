// The settings: the boxes of both dialogs, their values and the quick
// settings, over the tables that the program's dialogs use. Every table of
// policy.h is named in settings.cpp alone, so that tolvctl holds each one
// once; the other files include policy.h for its row types only.
#ifndef TOLVCTL_SETTINGS_H
#define TOLVCTL_SETTINGS_H

#include "policy.h"
#include "values.h"

// Both dialogs, Tweak settings first: the order of list and of the walks.
extern const dialogboxes *const dialogs;
enum { ndialogs = 2 };

// One value of a box: where the dialog reads it (the read row, or NULL when
// it only writes it) and what Apply writes (the first target, or NULL when
// it only reads it).
struct boxvalue {
    HKEY           root;
    const char    *key;
    const char    *name;
    const readrow *read;
    const target  *write;
};

enum { maxboxvalues = 8 };

// The values of one box: its read rows in read order, then what only Apply
// writes, each value once.
int boxvalues(const dialogboxes *d, int id, boxvalue *values, int room);

// The names of the quick settings that tick a box, comma-separated.
void addpresetnames(buffer *b, const dialogboxes *d, int id);

// ---- states: what a command does to each box --------------------------------------

// The state of every box of both dialogs, one array per dialog: -1 (left
// alone), 0 or 1.
int **nostates(void);
// The states of a box: left alone, off, on, and, in a policy object, not
// configured.
enum { state_alone = -1, state_off, state_on, state_unset };
// One SETTING=on|off, or with unset SETTING=unset too, into the states:
// 0, or after the message 2, or showusage when the argument is no
// SETTING=... at all or unset is not allowed.
int namestate(int **states, const WCHAR *arg, int unset);
// The name of a setting in the states that writes under HKEY_LOCAL_MACHINE,
// or NULL.
const char *machinesetting(int *const *states);
// The 43 boxes of Set Restrictions as the preset sets them: 0, or 2 after
// the message.
int presetstates(int **states, const WCHAR *preset);
// The quick settings by the names that presetstates() takes, in the order
// of their buttons; the last is clear-all.
enum { npresets = 4 };
const char *presetname(int preset);

// Both dialogs' Apply with the boxes in the states given, Tweak settings
// first. write() gets each value that Apply sets or deletes, in its order:
// set to the data Apply writes, or absent, with its box's state. With prepare, the key
// preparation of Set Restrictions goes before its values, as the dialog's
// Apply does: addkey() gets each key under HKEY_CURRENT_USER that it makes
// sure of.
// A walk of this machine's registry passes a value that Apply writes only
// where its key is when its key is not there; a walk for other machines
// (export) passes it always.
struct boxwalk {
    void (*addkey)(void *context, HKEY root, const WCHAR *key);
    void (*write)(void *context, const regvalue *v, int state);
    int  here;
};
void walkboxes(int *const *states, int prepare, const boxwalk *walk, void *context);

// Everything that the two dialogs read, write or make.
void touchall(touched *t);

// For each box turned off that a value which Apply never writes (the
// machine-wide copy of a user policy) still ticks, a "note" line that says
// so: the box reads on again, whatever was deleted.
void notemachinewide(int *const *states);

// ---- Windows' word: what its policy templates say of each value ----------------------

struct winpolicy;
// The template's row for one value of a box; every value has one.
const winpolicy *windowsword(HKEY root, const char *key, const char *name);
// The running Windows, from RtlGetVersion (a manifest cannot bend it).
int runningwindows(void);
// Windows' word on a value that Apply writes, or NULL for one that it only
// reads or only deletes.
const winpolicy *writtenword(const boxvalue *v);
// Whether the templates list the running Windows for the value: 1 or 0, or
// -1 when no template defines it.
int listedhere(const winpolicy *w);
// The running Windows by name: "Windows 10".
const char *runningname(void);
// Whether the templates define a value that the box writes but list none
// of them for the running Windows; then b gets their supportedOn texts,
// each quoted, joined by "; ".
int unlistedhere(const dialogboxes *d, int id, buffer *b);
// After the change lines: a "note" line for each setting whose values
// changed and that the templates do not list for the running Windows.
void notewindows(const regimage *changed);

#endif
