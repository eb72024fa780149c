// Registry.pol, the files that carry Group Policy's registry settings.
#ifndef TOLVCTL_POLFILE_H
#define TOLVCTL_POLFILE_H

#include "values.h"

// The values of image under root as a Registry.pol file, in image order,
// absent values as Group Policy's deletions; the number of records.
int writepol(buffer *file, const regimage *image, HKEY root);

// Reads a Registry.pol file as what it does to values under root, in file
// order: a present value is set, an absent one deleted, and an absent one
// without a name stands for every value of its key. On failure, 0 with the
// byte offset and what is wrong there.
int readpol(const BYTE *data, size_t size, HKEY root, regimage *actions, size_t *offset,
            const char **why);

#endif
