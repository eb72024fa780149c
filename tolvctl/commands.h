// The commands, one file per command or close family. Each returns its exit
// code, or showusage after its message when its arguments are wrong; what
// it prints waits in out and err until flush().
#ifndef TOLVCTL_COMMANDS_H
#define TOLVCTL_COMMANDS_H

#include "text.h"

// list.cpp
enum listform { list_text, list_json, list_markdown };
int listcommand(listform form);

// setapply.cpp: argv[first] on are the command's arguments.
int setcommand(int argc, WCHAR **argv, int first, int dryrun);
int applycommand(int argc, WCHAR **argv, int first, int dryrun);

// backup.cpp
int backupcommand(const WCHAR *path);
int restorecommand(const WCHAR *path, int dryrun, const WCHAR *command);
int undocommand(int dryrun);

// export.cpp: argv[2] on are the command's arguments.
int exportcommand(int argc, WCHAR **argv);

// main.cpp: runs the command that argv names (argv[0] is the program); its
// exit code.
int run(int argc, WCHAR **argv);

#endif
