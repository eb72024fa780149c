// gpt.ini, the file that gives a Group Policy object its version and says
// which client-side extensions each of its sides needs.
#ifndef TOLVCTL_GPTINI_H
#define TOLVCTL_GPTINI_H

#include "text.h"

// The sides of a policy object, as bits.
enum { side_user = 1, side_machine = 2 };

// A new gpt.ini for an exported object: version 1 for each side that has
// a file (the bits of has), and the registry extension in the lists of the
// sides named in lists.
void writegptini(buffer *file, int has, int lists);

// gpt.ini after a change to the sides given: the half of Version that
// belongs to each goes up by one, the upper 16 bits for User and the lower
// for Machine, and its extension list holds the registry extension; every
// other line stays as it was. No data is a file that is not there yet. On
// failure, 0 with the line and what is wrong there.
int updategptini(const BYTE *data, size_t size, int sides, buffer *file, int *line, const char **why);

#endif
