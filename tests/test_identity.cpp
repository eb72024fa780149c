// The library's identity, error report and install marker, and the version
// blocks and menu that the shell shows of both files.
#include <gtest/gtest.h>
#include "support.h"
#include "varrowen.h"

TEST(identity, version_record)
{
    for (int i = 0; i < 3; i++) {
        vrversion v = VR_version();
        EXPECT_EQ(1, v.major);
        EXPECT_EQ(0, v.minor);
        EXPECT_EQ(0, v.build);
        EXPECT_EQ(2, v.revision);
    }
}

TEST(identity, whaterror_shows_the_last_error)
{
    boxcatcher catcher;
    HANDLE h = CreateFileA("C:\\no\\such\\file.txt", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_EQ(INVALID_HANDLE_VALUE, h);
    DWORD missing = GetLastError();
    VR_whaterror();
    SetLastError(ERROR_SUCCESS);
    VR_whaterror();
    // No system text: the number stands in for it.
    SetLastError(0x20001234);
    VR_whaterror();

    ASSERT_EQ(3u, catcher.boxes.size());
    for (auto &box : catcher.boxes)
        EXPECT_EQ("INFORMATION", box.caption);
    ASSERT_NE("", systemtext(missing));
    EXPECT_EQ(systemtext(missing), catcher.boxes[0].text);
    EXPECT_EQ(systemtext(ERROR_SUCCESS), catcher.boxes[1].text);
    EXPECT_EQ("Error 536875572 (0x20001234).", catcher.boxes[2].text);
}

TEST(identity, install_marker)
{
    const char *marker = "Software\\kestrin\\status";
    unsigned handles = handlecount();
    regwipe(HKEY_LOCAL_MACHINE, "Software\\kestrin");
    EXPECT_EQ(0, VR_getsignature());
    VR_putsignature();
    EXPECT_EQ(1, VR_getsignature());
    EXPECT_EQ(1, reggetdword(HKEY_LOCAL_MACHINE, marker, "status"));
    // Written again over whatever stands there.
    regputdword(HKEY_LOCAL_MACHINE, marker, "status", 7);
    VR_putsignature();
    EXPECT_EQ(1, reggetdword(HKEY_LOCAL_MACHINE, marker, "status"));
    EXPECT_EQ(handles, handlecount());
}

static std::string versionstring(const std::string &file, const char *block, const char *name)
{
    DWORD ignored;
    std::vector<char> info(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    if (info.empty() || !GetFileVersionInfoA(file.c_str(), 0, (DWORD)info.size(), info.data()))
        return "?";
    char *value;
    UINT len;
    std::string path = std::string("\\StringFileInfo\\") + block + "\\" + name;
    if (!VerQueryValueA(info.data(), path.c_str(), (void **)&value, &len))
        return "?";
    return value;
}

static std::string fixedversion(const std::string &file)
{
    DWORD ignored;
    std::vector<char> info(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    VS_FIXEDFILEINFO *fixed;
    UINT len;
    if (info.empty() || !GetFileVersionInfoA(file.c_str(), 0, (DWORD)info.size(), info.data()) ||
        !VerQueryValueA(info.data(), "\\", (void **)&fixed, &len))
        return "?";
    char text[64];
    sprintf(text, "%lu.%lu.%lu.%lu type %lu flags %lu os 0x%lx", fixed->dwFileVersionMS >> 16,
            fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
            fixed->dwFileVersionLS & 0xFFFF, fixed->dwFileType, fixed->dwFileFlags, fixed->dwFileOS);
    return text;
}

TEST(identity, version_blocks)
{
    std::string exe = bindir() + "Tolvane.exe", dll = bindir() + "Varrowen.dll";
    EXPECT_EQ("1.1.2.4 type 1 flags 0 os 0x0", fixedversion(exe));
    EXPECT_EQ("1.0.0.2 type 2 flags 8 os 0x40004", fixedversion(dll));
    EXPECT_EQ("Tolvane: Administrator's utility.", versionstring(exe, "040904E4", "FileDescription"));
    EXPECT_EQ("1.1.2", versionstring(exe, "040904E4", "FileVersion"));
    EXPECT_EQ("Tolvane.exe", versionstring(exe, "040904E4", "OriginalFilename"));
    EXPECT_EQ("VR_Library", versionstring(dll, "040904B0", "InternalName"));
    EXPECT_EQ("Varrowen library", versionstring(dll, "040904B0", "ProductName"));
    EXPECT_EQ("1.0.0.2", versionstring(dll, "040904B0", "FileVersion"));
}

TEST(identity, main_menu)
{
    HMODULE exe = LoadLibraryExA((bindir() + "Tolvane.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    HMENU menu = LoadMenuA(exe, MAKEINTRESOURCEA(101));
    ASSERT_TRUE(menu);
    std::string seen;
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        char text[64];
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        seen += std::string("[") + text + "]";
        HMENU sub = GetSubMenu(menu, i);
        for (int j = 0; sub && j < GetMenuItemCount(sub); j++) {
            GetMenuStringA(sub, j, text, sizeof text, MF_BYPOSITION);
            seen += std::string(" ") + text + "=" + std::to_string((int)GetMenuItemID(sub, j));
        }
    }
    EXPECT_EQ("[&Go] Set &Restrictions=40001 &Tweak settings=40002 =0 E&xit=40003"
              "[&About] A&uthor=40005", seen);
    DestroyMenu(menu);
    FreeLibrary(exe);
}

// Both files are built for the architecture of the test itself: machine,
// optional header and the oldest Windows that may load them (XP, or XP x64
// for 64-bit), and a manifest whose common controls are of the same kind.
TEST(identity, built_for_its_architecture)
{
    const bool win64 = sizeof(void *) == 8;
    for (const char *name : { "Tolvane.exe", "Varrowen.dll" }) {
        SCOPED_TRACE(name);
        HMODULE file = LoadLibraryExA((bindir() + name).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(file);
        // A data-file mapping may be tagged in its low bits.
        const BYTE *base = (const BYTE *)((ULONG_PTR)file & ~(ULONG_PTR)3);
        const IMAGE_NT_HEADERS *nt = (const IMAGE_NT_HEADERS *)(base + ((const IMAGE_DOS_HEADER *)base)->e_lfanew);
        EXPECT_EQ(win64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386, nt->FileHeader.Machine);
        EXPECT_EQ(win64 ? IMAGE_NT_OPTIONAL_HDR64_MAGIC : IMAGE_NT_OPTIONAL_HDR32_MAGIC, nt->OptionalHeader.Magic);
        EXPECT_EQ(5, nt->OptionalHeader.MajorSubsystemVersion);
        EXPECT_EQ(win64 ? 2 : 1, nt->OptionalHeader.MinorSubsystemVersion);
        FreeLibrary(file);
    }

    HMODULE exe = LoadLibraryExA((bindir() + "Tolvane.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    HRSRC res = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(res);
    std::string manifest((const char *)LockResource(LoadResource(exe, res)), SizeofResource(exe, res));
    FreeLibrary(exe);
    // The program's own identity, then its one dependency.
    std::string arch = std::string("processorArchitecture=\"") + (win64 ? "amd64" : "x86") + "\"";
    for (const char *start : { "<assemblyIdentity", "<dependentAssembly>" }) {
        SCOPED_TRACE(start);
        size_t at = manifest.find(start);
        ASSERT_NE(std::string::npos, at);
        at = manifest.find("<assemblyIdentity", at);
        std::string tag = manifest.substr(at, manifest.find('>', at) - at);
        EXPECT_NE(std::string::npos, tag.find(arch)) << tag;
    }
}
