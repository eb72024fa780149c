// Whole files in and out, for the .reg and Registry.pol files, gpt.ini and
// the undo journal.
#ifndef TOLVCTL_FILES_H
#define TOLVCTL_FILES_H

#include "text.h"

// The whole file; 0 with the system's error code when it cannot be read.
int readfile(const WCHAR *path, buffer *contents, DWORD *error);
// Writes a temporary file beside path and renames it over path, so that a
// failed write leaves nothing half-written under that name. 0 with the
// system's error code on failure.
int writefile(const WCHAR *path, const void *data, size_t size, DWORD *error);
// Makes a folder and its missing parents; 0 with the error.
int makefolders(const WCHAR *path, DWORD *error);

#endif
