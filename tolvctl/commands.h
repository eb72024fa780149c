// The commands, one file per command or close family. Each returns its exit
// code, or showusage after its message when its arguments are wrong; what
// it prints waits in out and err until flush().
#ifndef TOLVCTL_COMMANDS_H
#define TOLVCTL_COMMANDS_H

#include "users.h"

// What the command line says beside a command's own arguments.
struct options {
    int          dryrun;
    usertarget   whom;      // --user, --default-user, --all-users
    const WCHAR *policy;    // --policy OBJECT, or NULL
    const WCHAR *line;      // the whole command line, as the journal notes it
};

// list.cpp
enum listform { list_text, list_json, list_markdown };
// preset: only the settings that the preset ticks, or NULL for all.
int listcommand(listform form, const WCHAR *preset, const options *o);

// setapply.cpp: argv[first] on are the command's arguments.
int setcommand(int argc, WCHAR **argv, int first, const options *o);
int applycommand(int argc, WCHAR **argv, int first, const options *o);

// backup.cpp
int backupcommand(const WCHAR *path, const usertarget *whom);
int restorecommand(const WCHAR *path, const options *o);
int undocommand(int dryrun);

// export.cpp: argv[2] on are the command's arguments.
int exportcommand(int argc, WCHAR **argv, const usertarget *whom);

// main.cpp: runs the command that argv names (argv[0] is the program); its
// exit code.
int run(int argc, WCHAR **argv);

#endif
