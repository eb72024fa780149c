// Local Group Policy: the local policy object's two Registry.pol files,
// which Group Policy applies again at every refresh, and gpt.ini.
#include "localpolicy.h"
#include "files.h"
#include "polfile.h"

const policyside policysides[] = {
    { "User", HKEY_CURRENT_USER }, { "Machine", HKEY_LOCAL_MACHINE },
};

// %SystemRoot%\System32\GroupPolicy\side\Registry.pol; a 32-bit process on
// 64-bit Windows reaches the real System32 as Sysnative.
static const WCHAR *grouppolicyfile(const char *side)
{
    WCHAR windows[MAX_PATH];
    BOOL wow64 = FALSE;
    buffer path = {};

    if (!GetWindowsDirectoryW(windows, MAX_PATH))
        return NULL;
    if (!IsWow64Process(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    addtext(&path, windows);
    addtext(&path, wow64 ? "\\Sysnative\\GroupPolicy\\" : "\\System32\\GroupPolicy\\");
    addtext(&path, side);
    addtext(&path, "\\Registry.pol");
    return textof(&path);
}

void loadgrouppolicy(regimage *actions)
{
    for (int i = 0; i < COUNT(policysides); i++) {
        const WCHAR *path = grouppolicyfile(policysides[i].folder);
        buffer contents = {};
        regimage file = {};
        DWORD error;
        size_t offset;
        const char *why;
        if (!path || !readfile(path, &contents, &error))
            continue;   // no local policy on this side
        if (!readpol(contents.data, contents.size, policysides[i].root, &file, &offset, &why)) {
            addtext(&err, "tolvctl: warning: ");
            addtext(&err, path);
            addtext(&err, ": byte ");
            addnumber(&err, (unsigned long)offset);
            addtext(&err, ": ");
            addtext(&err, why);
            addtext(&err, "; nothing of it is shown\r\n");
            continue;
        }
        for (int j = 0; j < file.nvalues; j++)
            addvalue(actions, &file.values[j]);
    }
}

const regvalue *grouppolicyon(const regimage *actions, const regvalue *v)
{
    const regvalue *found = NULL;

    for (int i = 0; i < actions->nvalues; i++) {
        const regvalue *a = &actions->values[i];
        if (samekey(a->root, a->key, v->root, v->key) && (!a->name || sametext(a->name, v->name)))
            found = a;
    }
    return found;
}

int inpolicybranch(const WCHAR *key)
{
    static const char *const branches[] = {
        "Software\\Policies", "Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
    };
    for (int i = 0; i < COUNT(branches); i++) {
        const WCHAR *rest = afterword(key, branches[i]);
        if (rest && (!*rest || *rest == L'\\'))
            return 1;
    }
    return 0;
}

// Each side's version is 1 when it has a file, and the extension lists name
// the registry client-side extension and the editor's extension of each
// side, in ascending order.
void writegptini(buffer *file, int user, int machine)
{
    buffer text = {};
    addtext(&text, "[General]\r\n"
                   "gPCMachineExtensionNames=[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}"
                   "{D02B1F72-3407-48AE-BA88-E8213C6761F1}]\r\n"
                   "gPCUserExtensionNames=[{35378EAC-683F-11D2-A89A-00C04FBBCFA2}"
                   "{D02B1F73-3407-48AE-BA88-E8213C6761F1}]\r\n"
                   "Version=");
    addnumber(&text, (unsigned long)(user ? 1 : 0) << 16 | (machine ? 1 : 0));
    addtext(&text, "\r\n");
    // ASCII throughout: one byte a character.
    const WCHAR *wide = textof(&text);
    for (size_t i = 0; wide[i]; i++) {
        char c = (char)wide[i];
        addbytes(file, &c, 1);
    }
}

