// Shared by the tests of tolvctl: the real program run with its output
// captured, its journal, files, and the registry read with the W functions.
#pragma once

#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "support.h"

// A folder of the tests' own files, with a trailing backslash.
std::string workdir();
// tolvctl.exe of the build, with these arguments.
ran tolvctl(const std::string &args);

std::string journaldir();
void clearjournal();

// The lines of a program's output, without their line ends.
std::vector<std::string> outputlines(const std::string &out);
// The text from after the next `after` (searched from *at on) to the next
// `until`; *at moves past it. npos in *at and "" when either is not found.
std::string between(const std::string &s, size_t *at, const std::string &after, const std::string &until);

std::string readall(const std::string &path);
void writeall(const std::string &path, const std::string &data);

std::wstring wide(const std::string &ascii);
std::string lower(std::wstring s);            // UTF-8, in lower case
std::string utf16(const std::wstring &s);     // the bytes of s and its NUL

// Keys and values below the places that tolvctl touches, read with the W
// functions whatever their size: "root\key\" for a key, "root\key\:name"
// for a value, with its type and bytes.
typedef std::map<std::string, std::string> wsnapshot;
wsnapshot snap();
// A key and everything below it, in the same form.
wsnapshot snapkey(HKEY root, const std::wstring &path);
// The whole of a root, HKEY_LOCAL_MACHINE or HKEY_USERS, in the same form,
// each key opened from its parent's handle with REG_OPTION_OPEN_LINK: a
// registry link is recorded as itself, with its SymbolicLinkValue, and
// never followed.
wsnapshot snaplinks(HKEY root);
// The same without its keys: the values alone.
wsnapshot valuesonly(wsnapshot s);

// The quick settings by the names tolvctl takes, in the order of their buttons.
extern const char *const presetnames[4];

struct valueref {
    HKEY root;
    std::wstring key, name;
};
// Every value that the dialogs read or write, as tolvctl list shows them.
std::vector<valueref> listedvalues();

// ---- planted accounts ----------------------------------------------------------------
// Planted profiles stand for accounts: their SIDs belong to no real account,
// so the machine knows them only through ProfileList.
extern const char profilelist[];
std::string profiledir(const std::string &folder);
void plantprofile(const std::string &sid, const std::string &folder);
// Saving a hive needs the backup privilege, which is held but disabled.
void enablebackup();
// HKCU\SANDBOX\hive, saved by the registry itself as the NTUSER.DAT of a
// profile folder.
void savehive(const std::string &folder);
// Keys under HKEY_USERS whose name tolvctl gives a hive it loads.
std::vector<std::string> leftloaded();
// How often part occurs in s.
size_t count(const std::string &s, const std::string &part);

// %SystemRoot%\System32\ and a folder there: GroupPolicy, or
// GroupPolicyUsers\SID, the folders of the local policy objects.
std::string grouppolicydir(const std::string &folder = "GroupPolicy");
// A Registry.pol record, for planting a local policy, and the file's header.
std::string record(const std::wstring &key, const std::wstring &name, DWORD type, const std::string &data);
extern const std::string preg;

void wput(HKEY root, const std::wstring &path, const std::wstring &name, DWORD type, const std::string &data);
void wdelete(HKEY root, const std::wstring &path, const std::wstring &name);
