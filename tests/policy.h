// Shared by the tests of the policy dialogs: the dialogs run in-process from
// the program's own module, their library calls are recorded, and the
// registry is compared before and after.
#pragma once

#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "support.h"

#define HKCU HKEY_CURRENT_USER
#define HKLM HKEY_LOCAL_MACHINE
#define POLICIES "Software\\Microsoft\\Windows\\CurrentVersion\\Policies"
#define MSPOLICIES "Software\\Policies\\Microsoft"

extern HINSTANCE happ;
INT_PTR CALLBACK dlgtweakproc(HWND, UINT, WPARAM, LPARAM);
INT_PTR CALLBACK dlgrestrictproc(HWND, UINT, WPARAM, LPARAM);

// Library calls the program made while recording, one line each:
// "query2 HKCU\path\name", "query1 HKCU\path", "addkey HKCU\parent\leaf",
// "set HKCU\path\name=data", "delete HKCU\path\name".
extern std::vector<std::string> libcalls;
extern bool recording;

// One value that a box sets (to data) when ticked and deletes when clear.
// Apply makes the key of a made value, with its parents, before it sets
// it; a value only deleted is left alone when the box is ticked; one kept
// where its key is is never given a key.
enum { keyprepared, keymade, deletedonly, keykept };
struct policyvalue {
    int id;
    HKEY root;
    const char *key;
    const char *name;
    DWORD data;
    int how = keyprepared;
};

// Every key and value below the keys that the dialogs touch and their
// neighbours: "key\" for a key, "key\:name" for a value (type and bytes), all
// in lower case.
typedef std::map<std::string, std::string> regsnapshot;
regsnapshot snapshot();
std::string valueentry(HKEY root, const char *key, const char *name);
std::string keyentry(HKEY root, const char *key);
std::string dwordentry(DWORD value);

// What an Apply must do to the registry: the keys made sure of (each created
// only where its parent exists), then each value set or deleted in order,
// where its key exists or is made.
void applymodel(regsnapshot *reg, const std::vector<std::string> &testopened,
                const std::vector<policyvalue> &values, const std::vector<int> &ticked);

// Deletes every value of the list.
void clearvalues(const std::vector<policyvalue> &values);

// Every box of a dialog (template templ, procedure proc, Apply button
// apply, named dialog as tolvctl names it), one at a time: ticked, Apply,
// reopened ticked; cleared, Apply, reopened clear. Through the dialog,
// through tolvctl for the current user and through tolvctl --user for the
// logged-on user whose hive stands under HKEY_USERS\sid. After each step
// the values hold exactly the data of the ticked box and nothing else.
// The keys that Apply makes, and those kept, are missing at the start.
void roundtrip(int templ, DLGPROC proc, int apply, const char *dialog, const std::vector<policyvalue> &values,
               const std::string &sid);

// The dialog created modeless (and hidden) from its template and procedure:
// its boxes show the registry as read at open.
HWND opendialog(int templ, DLGPROC proc);
std::vector<int> tickedboxes(HWND dlg, const std::vector<policyvalue> &values);
void setboxes(HWND dlg, const std::vector<policyvalue> &values, const std::vector<int> &ticked);
// Presses a button as a click does, straight to the dialog procedure, whose
// result it returns; message boxes shown meanwhile are recorded in boxes and
// dismissed.
INT_PTR press(HWND dlg, DLGPROC proc, int id, std::vector<shownbox> *boxes = NULL);


extern const char *donetext;

// One control of a policy dialog's template, as it must be compiled.
struct controlrow {
    int id;
    const char *text;
    short x, y, cx, cy;
    DWORD style;            // besides WS_CHILD | WS_VISIBLE
    DWORD exstyle = 0;
    const char *cls = "Button";
};

// Checks template id of the program: its frame (a popup with a caption and
// a modal frame, at 0,0, in 8-point MS Sans Serif), then every control in
// template order.
void expecttemplate(int id, bool extended, const char *caption, short cx, short cy,
                    const std::vector<controlrow> &rows);
