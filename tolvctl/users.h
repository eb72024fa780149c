// Whose settings a command reaches: the user that tolvctl runs as, another
// account of this machine, the default profile, or every profile. While a
// command works in an account, HKEY_CURRENT_USER stands for its hive.
#ifndef TOLVCTL_USERS_H
#define TOLVCTL_USERS_H

#include "values.h"

// Whose settings, as the command line names them.
enum whose { whose_current, whose_user, whose_default, whose_all };

struct usertarget {
    whose        who;
    const WCHAR *user;      // --user NAME|SID
};

// One user whose hive a command works in.
struct account {
    const WCHAR *name;      // account or profile folder name; NULL for the current user
    const WCHAR *qualified; // DOMAIN\name, when the machine knows the account
    const WCHAR *sid;       // string SID; NULL for the default profile and the current user
    const WCHAR *profile;   // profile folder; NULL for the current user
    int          self;      // the user that tolvctl runs as
    const WCHAR *mount;     // under HKEY_USERS while entered
    int          loaded;    // tolvctl loaded the hive; 0: in place, or the current user
    HKEY         hive;      // open while entered
};

// The accounts that a target names: one, or every profile in the order in
// which the machine lists them. 0, or exit code 2 after the message.
int findaccounts(const usertarget *t, account **accounts, int *n);

// The SID of an account as --user names it: a SID, an account name, or the
// name of a profile folder; NULL when there is none.
const WCHAR *accountsid(const WCHAR *given);
// Whether the account is a member of Administrators: 1 or 0, or -1 when
// that cannot be found out.
int isadministrator(const account *a);

// How lines and files name an account: "student (S-1-5-21-...)", or
// "Default (default profile)"; NULL for the current user.
const WCHAR *accountline(const account *a);
// How lines name the account of a SID, with a profile or not:
// "student (S-1-5-21-...)", or the SID alone when the machine knows no name.
const WCHAR *sidline(const WCHAR *sid);
// The target that a file's line from accountline() names.
void accounttarget(const WCHAR *line, usertarget *t);

// Reaches the account's hive, in place when it is loaded under HKEY_USERS,
// else loaded from its NTUSER.DAT under a name of tolvctl's own, and makes
// HKEY_CURRENT_USER stand for it. With header, first the line that names
// the user and how the hive was reached. 0, or 2 after the message when
// the hive cannot be read.
int enteraccount(account *a, int header);
// Makes HKEY_CURRENT_USER the current user's again, closes the hive and
// unloads what was loaded. 0, or 1 after the message when it stays loaded.
int leaveaccount(account *a);
// After enteraccount(), in another user's hive: whether a key that t
// names, or with a NULL t any key that the dialogs touch, is or lies below
// a registry link. 0 when none is; else, after the message, the hive is
// left and the exit code is 2, before anything was read or changed.
int refuselinks(account *a, const touched *t);

// After changes to an account: the current user's Explorer is told to read
// the policies again; for another user one line says when they take effect.
void announce(const account *a, int dryrun);

#endif
