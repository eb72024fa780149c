// Administrative templates: an ADMX file, which gives the Group Policy
// editors Tolvane's quick settings and those of its settings that Windows'
// own templates do not define, and its ADML file of en-US texts.
#ifndef TOLVCTL_ADMXFILE_H
#define TOLVCTL_ADMXFILE_H

#include "settings.h"

// What the boxes in the states given write, each value once, as an export
// of the same states writes it; a policy's Enabled and Disabled write
// exactly these records.
typedef void (*recordwalk)(int *const *states, regimage *image);

// Tolvane.admx and Tolvane.adml, as UTF-8 with CR LF line ends: a policy
// for each quick setting but the last, clear-all, which is what each of
// them writes when Disabled, and one for each setting that writes a value
// that no template of Windows defines. 0 after the message when the
// values of one policy lie under both roots.
int writeadmx(buffer *admx, buffer *adml, recordwalk walk);

#endif
