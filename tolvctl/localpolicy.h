// Local Group Policy as tolvctl reads and writes it: the policy object's
// folders and files, and what they do to the values that tolvctl shows and
// changes.
#ifndef TOLVCTL_LOCALPOLICY_H
#define TOLVCTL_LOCALPOLICY_H

#include "values.h"

// The two sides of a policy object: each folder's Registry.pol holds the
// values of one root.
struct policyside {
    const char *folder;
    HKEY        root;
};
extern const policyside policysides[2];
enum { npolicysides = 2 };

// What the local policy object's two Registry.pol files do, in file order,
// User before Machine; a file that cannot be parsed adds nothing and gets
// one warning with the byte where it went wrong.
void loadgrouppolicy(regimage *actions);
// The last action of local Group Policy on the value, or NULL.
const regvalue *grouppolicyon(const regimage *actions, const regvalue *v);

// Whether a key lies in the branches where Group Policy removes what a
// policy object set once the object stops applying, under either root.
int inpolicybranch(const WCHAR *key);

// gpt.ini of a policy object whose User and Machine sides have files or not.
void writegptini(buffer *file, int user, int machine);

#endif
