// Reading and writing whole files.
#include "files.h"

enum { maxfile = 64 << 20 };

int readfile(const WCHAR *path, buffer *contents, DWORD *error)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    LARGE_INTEGER size;
    DWORD done;
    int ok = 0;

    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return 0;
    }
    if (!GetFileSizeEx(file, &size)) {
        *error = GetLastError();
    } else if (size.QuadPart > maxfile) {
        *error = ERROR_FILE_TOO_LARGE;
    } else {
        contents->size = 0;
        reserve(contents, (size_t)size.QuadPart);
        if (ReadFile(file, contents->data, (DWORD)size.QuadPart, &done, NULL)) {
            contents->size = done;
            ok = 1;
        } else {
            *error = GetLastError();
        }
    }
    CloseHandle(file);
    return ok;
}

int writefile(const WCHAR *path, const void *data, size_t size, DWORD *error)
{
    // The temporary file is made in the folder of path, so that the rename
    // stays on one volume.
    WCHAR folder[MAX_PATH], temporary[MAX_PATH];
    WCHAR *part;
    DWORD length = GetFullPathNameW(path, MAX_PATH, folder, &part);

    if (!length || length >= MAX_PATH || !part) {
        *error = length >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return 0;
    }
    *part = 0;
    if (!GetTempFileNameW(folder, L"tlv", 0, temporary)) {
        *error = GetLastError();
        return 0;
    }
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD done;
    int ok = file != INVALID_HANDLE_VALUE && WriteFile(file, data, (DWORD)size, &done, NULL) &&
             done == size;
    if (!ok)
        *error = GetLastError();
    if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && ok) {
        *error = GetLastError();
        ok = 0;
    }
    if (ok && !MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = GetLastError();
        ok = 0;
    }
    if (!ok)
        (void)DeleteFileW(temporary);   // gone already, or nothing more to do
    return ok;
}

// Each parent is tried in turn and may fail where it exists or cannot be
// made, such as a drive or a server's share; only the folder itself must be
// there at the end.
int makefolders(const WCHAR *path, DWORD *error)
{
    size_t length = lstrlenW(path);
    WCHAR *part = wcopy(path, length);

    *error = ERROR_PATH_NOT_FOUND;
    for (size_t i = 1; i <= length; i++)
        if (i == length || part[i] == L'\\' || part[i] == L'/') {
            WCHAR kept = part[i];
            part[i] = 0;
            if (!CreateDirectoryW(part, NULL))
                *error = GetLastError();
            part[i] = kept;
        }
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

