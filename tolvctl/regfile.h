// .reg files, as regedit and reg.exe write and read them.
#ifndef TOLVCTL_REGFILE_H
#define TOLVCTL_REGFILE_H

#include "values.h"

// What the comment lines of tolvctl's own files say of where a file comes
// from: the command line of a journal entry, and the user whose hive the
// file was taken from, as accountline() names it. An entry for a change to
// a policy object names the object, "NAME: FOLDER", and each of its files
// that the change replaced: "User" when a copy of it is kept beside the
// entry, "User absent" when there was none. What is not there is NULL.
struct regnotes {
    const WCHAR *note;
    const WCHAR *user;
    const WCHAR *policy;
    const WCHAR *files[2];
};

// The file's bytes: "Windows Registry Editor Version 5.00", UTF-16LE with a
// byte-order mark and CR LF line ends. kind ("backup", "export", "undo
// journal") names the file in its first and last comment lines; a file
// that has the first and not the last is reported as cut short. The notes
// follow the first comment line.
void writereg(buffer *file, const regimage *image, const WCHAR *kind, const regnotes *notes);

// Reads a .reg file of either version as regedit writes it, limited to
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. On failure it gives 0 and, in
// error, "file:line: what is wrong". notes get what the file's comment
// lines say, or NULLs.
int readreg(const BYTE *data, size_t size, const WCHAR *file, regimage *image,
            regnotes *notes, buffer *error);

#endif
