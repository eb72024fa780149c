// The undo journal.
#include <shlobj.h>
#include "journal.h"
#include "files.h"

enum { journalkeeps = 100 };

typedef HRESULT (WINAPI *getfolderpath)(HWND, int, HANDLE, DWORD, LPWSTR);

const WCHAR *journalfolder(void)
{
    WCHAR appdata[MAX_PATH];
    buffer folder = {};
    // shell32 is loaded only by the commands that journal.
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    getfolderpath get = shell ? (getfolderpath)(void *)GetProcAddress(shell, "SHGetFolderPathW") : NULL;
    HRESULT hr = get ? get(NULL, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, NULL, 0, appdata) : E_FAIL;

    if (shell)
        (void)FreeLibrary(shell);   // nothing of it is used after this
    if (FAILED(hr)) {
        complain("the local application data folder is not known");
        return NULL;
    }
    addtext(&folder, appdata);
    static const char *const parts[] = { "\\Tolvane", "\\undo" };
    for (int i = 0; i < COUNT(parts); i++) {
        addtext(&folder, parts[i]);
        if (!CreateDirectoryW(textof(&folder), NULL) && GetLastError() != ERROR_ALREADY_EXISTS) {
            complain("cannot make ", textof(&folder));
            return NULL;
        }
    }
    return textof(&folder);
}

int journalentries(const WCHAR *folder, unsigned **numbers)
{
    buffer pattern = {}, list = {};
    WIN32_FIND_DATAW found;
    int n = 0;

    *numbers = NULL;
    addtext(&pattern, folder);
    addtext(&pattern, "\\*.reg");
    HANDLE search = FindFirstFileW(textof(&pattern), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        unsigned number = 0;
        int digits = 0;
        while (found.cFileName[digits] >= L'0' && found.cFileName[digits] <= L'9' && digits < 9)
            number = number * 10 + (found.cFileName[digits++] - L'0');
        if (digits != 8 || !sameword(found.cFileName + 8, ".reg"))
            continue;
        addbytes(&list, &number, sizeof number);
        *numbers = (unsigned *)list.data;
        int i = n++;
        while (i > 0 && (*numbers)[i - 1] > number) {
            (*numbers)[i] = (*numbers)[i - 1];
            i--;
        }
        (*numbers)[i] = number;
    } while (FindNextFileW(search, &found));
    (void)FindClose(search);    // the search is over either way
    return n;
}

const WCHAR *journalpath(const WCHAR *folder, unsigned number)
{
    buffer path = {};
    addtext(&path, folder);
    addchar(&path, L'\\');
    unsigned long padded = 100000000ul + number;     // eight digits after the 1
    buffer digits = {};
    addnumber(&digits, padded);
    addtext(&path, textof(&digits) + 1);
    addtext(&path, ".reg");
    return textof(&path);
}

const WCHAR *journal(const touched *t, const regnotes *notes)
{
    const WCHAR *folder = journalfolder();
    regimage image = {};
    buffer file = {};
    unsigned *numbers;
    DWORD error;

    if (!folder || !capture(t, &image))
        return NULL;
    int n = journalentries(folder, &numbers);
    const WCHAR *path = journalpath(folder, n ? numbers[n - 1] + 1 : 1);
    writereg(&file, &image, L"undo journal", notes);
    if (!writefile(path, file.data, file.size, &error)) {
        complain("cannot write the undo journal ", path, ": ", systemtext(error));
        return NULL;
    }
    // The oldest go; one that cannot be deleted is tried again next time.
    for (int i = 0; i + journalkeeps - 1 < n; i++)
        dropentry(journalpath(folder, numbers[i]));
    return path;
}

const WCHAR *journalcopy(const WCHAR *entry, const WCHAR *name)
{
    buffer path = {};
    addtextn(&path, entry, lstrlenW(entry) - 3);    // without "reg"
    addtext(&path, name);
    return textof(&path);
}

void dropentry(const WCHAR *entry)
{
    WIN32_FIND_DATAW found;
    size_t length = lstrlenW(entry) - 12;           // the folder and its backslash
    HANDLE search = FindFirstFileW(journalcopy(entry, L"*"), &found);

    if (search != INVALID_HANDLE_VALUE) {
        do {
            buffer path = {};
            addtextn(&path, entry, length);
            addtext(&path, found.cFileName);
            // An entry left is tried again next time; a copy left is
            // harmless, as nothing reads it without its entry.
            (void)DeleteFileW(textof(&path));
        } while (FindNextFileW(search, &found));
        (void)FindClose(search);    // the search is over either way
    }
}

const WCHAR *commandline(int argc, WCHAR **argv)
{
    buffer b = {};
    addtext(&b, "tolvctl");
    for (int i = 1; i < argc; i++) {
        addchar(&b, L' ');
        addtext(&b, argv[i]);
    }
    return textof(&b);
}

