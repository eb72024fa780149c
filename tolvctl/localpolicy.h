// Local Group Policy as tolvctl reads and writes it: the local policy
// objects, their folders and files, and what they do to the values that
// tolvctl shows and changes.
#ifndef TOLVCTL_LOCALPOLICY_H
#define TOLVCTL_LOCALPOLICY_H

#include "gptini.h"
#include "users.h"

// The two sides of a policy object: each folder's Registry.pol holds the
// values of one root.
struct policyside {
    const char *folder;
    HKEY        root;
    int         side;       // side_user or side_machine
};
extern const policyside policysides[2];
enum { npolicysides = 2 };

// A local policy object.
struct policyobject {
    const char  *kind;      // "local", "administrators", "non-administrators" or "user"
    const WCHAR *name;      // as lines name it: the kind, or the user
    const WCHAR *folder;
    int          sides;     // the bits of its sides: only the local one has a Machine side
};

// The object that --policy names: local, administrators,
// non-administrators, or a user as --user names one. 0, or 2 after the
// message.
int findobject(const WCHAR *given, policyobject *object);
// The EditionID of a Home edition of Windows (one that begins with "Core"),
// or NULL on any other edition. Home editions apply the local computer
// policy at most, never the objects for administrators, non-administrators
// or one user.
const WCHAR *homeedition(void);
// Whether a command may work in the object on this edition: on Home, 0
// after the message for every object but the local computer policy, which
// gets a "note" line.
int objecthere(const policyobject *object);

// The Registry.pol of one side of an object.
const WCHAR *objectfile(const policyobject *object, const policyside *side);

// "tolvctl: FILE: byte N: what is wrong" on standard error, for a
// Registry.pol that cannot be parsed; a warning adds that nothing of it is
// shown.
void badpolicyfile(const WCHAR *path, size_t offset, const char *why, int warning);
// Whether the object takes every setting in the states: those with values
// under HKEY_LOCAL_MACHINE only the local computer policy does. 0 after
// the message that names the setting.
int takessettings(const policyobject *object, int *const *states);

// What local Group Policy does to values, action by action in the order in
// which Group Policy applies them, with the object of each.
struct gpactions {
    regimage actions;
    buffer   kinds;         // per action, its object's kind (const char *)
};

// What the local policy objects that apply to the account do: the local
// computer policy, the object for administrators or for non-administrators
// (both, after a line that says so, when membership cannot be found out),
// and the user's own. A file that cannot be parsed adds nothing and gets
// one warning with the byte where it went wrong.
void loadgrouppolicy(gpactions *policy, const account *a);
// The last action of local Group Policy on the value, or NULL; *kind gets
// the kind of its object.
const regvalue *grouppolicyon(const gpactions *policy, const regvalue *v, const char **kind);
// How the lines name an object by its kind: "local Group Policy", or
// "local Group Policy for administrators", ...
void addgpname(buffer *b, const char *kind);

// The object's Registry.pol files as what they do to values, User before
// Machine; 0 after a message with the file and byte when one cannot be
// parsed.
int readobject(const policyobject *object, gpactions *policy);
// What a policy's record does to a value, as the lines show it: the value
// that it sets, "deleted", or "not configured" when there is none.
void addconfigured(buffer *b, const regvalue *record);

#endif
