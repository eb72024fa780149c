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

// %SystemRoot%\System32\ and a folder there: GroupPolicy, or
// GroupPolicyUsers\SID, the folders of the local policy objects.
std::string grouppolicydir(const std::string &folder = "GroupPolicy");
// A Registry.pol record, for planting a local policy, and the file's header.
std::string record(const std::wstring &key, const std::wstring &name, DWORD type, const std::string &data);
extern const std::string preg;

void wput(HKEY root, const std::wstring &path, const std::wstring &name, DWORD type, const std::string &data);
void wdelete(HKEY root, const std::wstring &path, const std::wstring &name);
