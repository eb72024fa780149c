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

// One record of a file as it stands there: key and value name as the file
// spells them, type and data, and where it starts and ends in the file.
struct polrecord {
    const WCHAR *key, *name;
    DWORD        type, size;
    const BYTE  *data;
    size_t       start, end;
};

// The records of a file, in file order; on failure, 0 with the byte offset
// and what is wrong there, as readpol().
int readrecords(const BYTE *data, size_t size, polrecord **records, int *n, size_t *offset, const char **why);
// Whether the record is Group Policy's deletion of the value name.
int deletes(const polrecord *record, const WCHAR *name);

// Whether a key lies in the branches where Group Policy removes what a
// policy object set once the object stops applying, under either root.
int inpolicybranch(const WCHAR *key);

// A file of its own records: the header, then each record's bytes, for a
// present value the value, for an absent one Group Policy's deletion.
void addpolheader(buffer *file);
void addrecord(buffer *file, const regvalue *v);

#endif
