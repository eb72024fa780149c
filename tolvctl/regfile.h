// .reg files, as regedit and reg.exe write and read them.
#ifndef TOLVCTL_REGFILE_H
#define TOLVCTL_REGFILE_H

#include "values.h"

// The file's bytes: "Windows Registry Editor Version 5.00", UTF-16LE with a
// byte-order mark and CR LF line ends. kind ("backup", "export", "undo
// journal") names the file in its first and last comment lines; a file
// that has the first and not the last is reported as cut short. A note,
// when given, follows the first comment line.
void writereg(buffer *file, const regimage *image, const WCHAR *kind, const WCHAR *note);

// Reads a .reg file of either version as regedit writes it, limited to
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE. On failure it gives 0 and, in
// error, "file:line: what is wrong". note gets the text of a note line, or
// NULL.
int readreg(const BYTE *data, size_t size, const WCHAR *file, regimage *image,
            const WCHAR **note, buffer *error);

#endif
