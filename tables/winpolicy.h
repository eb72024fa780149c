// What Windows' own policy templates (the ADMX files of a central store and
// their en-US ADML texts) say of each registry value that a setting writes
// or reads: the policy that writes it, its place in the Group Policy editor
// and the Windows versions that the template lists it for. tolvctl alone
// carries this table; the program's dialogs include policy.h only.
#ifndef WINPOLICY_H
#define WINPOLICY_H

#include <windows.h>

// The Windows versions that a supportedOn text can name, oldest first. Each
// server shares the number of its client: Server 2003 is 5.2, 2008 is 6.0,
// 2008 R2 6.1, 2012 6.2, 2012 R2 6.3, 2016 and later 10.0. Windows 11 is 10.0
// with build 22000 or above.
enum winversion { win2000, winxp, win2003, winvista, win7, win8, win81, win10, win11, nwinversions };

#define ONLY(v)         (1u << (v))
#define FROM(v)         (((1u << nwinversions) - 1) & ~((1u << (v)) - 1))
#define THROUGH(v)      ((1u << ((v) + 1)) - 1)

struct winsupport {             // one supportedOn text of the templates
    const char *definition;     // its definition, as a template refers to it
    const char *text;           // exactly as the en-US ADML has it
    WORD        listed;         // a bit per winversion that the text lists
};

struct winpolicy {              // one registry value of a setting
    HKEY              root;
    const char       *key;
    const char       *name;
    const char       *file;     // the template that defines it; NULL: none does
    const char       *policy;   // the policy's name in the template
    const char       *display;  // its English name; with no template, what the value is
    const char       *path;     // where the editor shows it; NULL with no template
    const winsupport *support;  // NULL with no template
    const char       *enables;  // how Windows' policy enables the value, where that is
                                // not what Tolvane writes; NULL where it is
};

#endif
