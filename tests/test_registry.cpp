// The library's registry operations against Wine's real registry, and the
// character-pair swap they use.
#include <gtest/gtest.h>
#include <string.h>
#include "support.h"
#include "varrowen.h"

#define BOX SANDBOX "\\reg"
#define READONLY BOX "\\readonly"
#define VOLATILE BOX "\\volatile"

static HKEY hkcu = HKEY_CURRENT_USER;

// A key that everyone may read but not write: opening it with full access
// is refused while reading is allowed.
static void makereadonly()
{
    regputdword(hkcu, READONLY, "v", 1);
    regreadonly(hkcu, READONLY, true);
}

static void wipe()
{
    regreadonly(hkcu, READONLY, false);
    regwipe(hkcu, BOX);
}

struct registry : ::testing::Test {
    void SetUp() override
    {
        wipe();
        regputdword(hkcu, BOX, "dword", 1);
        regput(hkcu, BOX, "text", REG_SZ, "hello", 6);
        makereadonly();
        HKEY key;
        RegCreateKeyExA(hkcu, VOLATILE, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &key, NULL);
        RegCloseKey(key);
    }
    void TearDown() override { wipe(); }
};

static void closekey(HKEY key)
{
    if (key)
        RegCloseKey(key);
}

TEST_F(registry, query_modes)
{
    DWORD type = 0xdeadbeef, size = 64;
    BYTE data[64];
    memset(data, 0xbd, sizeof data);

    HKEY key = VR_regquery(hkcu, BOX, NULL, 1, NULL, NULL, NULL);
    ASSERT_TRUE(key);
    // The returned key is open: it reads.
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "dword", NULL, NULL, NULL, NULL));
    RegCloseKey(key);

    key = VR_regquery(hkcu, BOX, "dword", 2, &type, data, &size);
    ASSERT_TRUE(key);
    RegCloseKey(key);
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(1u, *(DWORD *)data);
    EXPECT_EQ(0xbd, data[4]);

    // Too small a buffer fails and tells the real size.
    size = 4;
    EXPECT_FALSE(VR_regquery(hkcu, BOX, "text", 2, &type, data, &size));
    EXPECT_EQ(6u, size);

    // Missing key, missing value, read-only key, unknown modes: all NULL.
    size = sizeof data;
    EXPECT_FALSE(VR_regquery(hkcu, BOX "\\missing", NULL, 1, NULL, NULL, NULL));
    EXPECT_FALSE(VR_regquery(hkcu, BOX, "missing", 2, &type, data, &size));
    EXPECT_FALSE(VR_regquery(hkcu, READONLY, NULL, 1, NULL, NULL, NULL));
    EXPECT_FALSE(VR_regquery(hkcu, READONLY, "v", 2, &type, data, &size));
    EXPECT_TRUE(regkeyexists(hkcu, READONLY));

    for (int mode : { 0, 3, -1 }) {
        type = 0xdeadbeef;
        size = 0xdeadbeef;
        memset(data, 0xbd, sizeof data);
        EXPECT_FALSE(VR_regquery(hkcu, BOX, "dword", mode, &type, data, &size)) << mode;
        EXPECT_EQ(0xdeadbeef, type);
        EXPECT_EQ(0xdeadbeef, size);
        EXPECT_EQ(0xbdbdbdbd, *(DWORD *)data);
    }
}

TEST_F(registry, setvalue_by_type)
{
    struct {
        const char *text;
        int type;
        int code;
        DWORD storedtype;   // REG_NONE: nothing is written
        const char *stored; // bytes written
        const char *after;  // the caller's text afterwards
    } rows[] = {
        { "ffffffff", REG_DWORD, 0, REG_DWORD, "\xff\xff\xff\xff", "ffffffff" },
        { "10", REG_DWORD, 0, REG_DWORD, "\x10\0\0\0", "10" },
        { "4", REG_DWORD, 0, REG_DWORD, "\x04\0\0\0", "4" },
        { "123456789", REG_DWORD, 0, REG_DWORD, "\x89\x67\x45\x23", "123456789" },
        { " -1", REG_DWORD, 0, REG_DWORD, "\xff\xff\xff\xff", " -1" },
        { "0x1fz", REG_DWORD, 0, REG_DWORD, "\x1f\0\0\0", "0x1fz" },
        { "xyz", REG_DWORD, 3, REG_NONE, "", "xyz" },
        { "", REG_DWORD, 3, REG_NONE, "", "" },
        { "a1b2c3d4", REG_BINARY, 0, REG_BINARY, "\xa1\xb2\xc3\xd4", "d4c3b2a1" },
        { "a1b2", REG_BINARY, 0, REG_BINARY, "\xa1\xb2\0\0", "b2a1" },
        { "a1b2c3d4e5f6", REG_BINARY, 0, REG_BINARY, "\xa1\xb2\xc3\xd4", "f6e5d4c3b2a1" },
        { "zz", REG_BINARY, 4, REG_NONE, "", "zz" },
        { "some text", REG_SZ, 0, REG_SZ, "some text", "some text" },
        { "%PATH%", REG_EXPAND_SZ, 0, REG_SZ, "%PATH%", "%PATH%" },
        { "multi", REG_MULTI_SZ, 0, REG_SZ, "multi", "multi" },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.text);
        regwipe(hkcu, BOX "\\set");
        regput(hkcu, BOX "\\set", "", REG_SZ, "", 1);
        char text[64];
        strcpy(text, row.text);
        EXPECT_EQ(row.code, VR_regsetvalue(hkcu, BOX "\\set", "v", text, row.type));
        EXPECT_STREQ(row.after, text);
        DWORD type;
        std::string data;
        bool written = regget(hkcu, BOX "\\set", "v", &type, &data);
        EXPECT_EQ(row.storedtype != REG_NONE, written);
        if (written && row.storedtype == REG_SZ) {
            EXPECT_EQ((DWORD)REG_SZ, type);
            EXPECT_STREQ(row.stored, data.c_str());
        } else if (written) {
            EXPECT_EQ(row.storedtype, type);
            EXPECT_EQ(std::string(row.stored, 4), data);
        }
    }
}

TEST_F(registry, setvalue_refused)
{
    char text[] = "1";
    // A key that does not exist is not created.
    EXPECT_EQ(1, VR_regsetvalue(hkcu, BOX "\\missing", "v", text, REG_DWORD));
    EXPECT_FALSE(regkeyexists(hkcu, BOX "\\missing"));
    EXPECT_EQ(1, VR_regsetvalue(hkcu, READONLY, "v", text, REG_DWORD));
    EXPECT_EQ(1, VR_regsetvalue(hkcu, READONLY, "w", text, REG_SZ));
    DWORD type;
    std::string data;
    EXPECT_FALSE(regget(hkcu, READONLY, "w", &type, &data));

    // Unsupported types write nothing and show the last error.
    boxcatcher catcher;
    for (int t : { REG_NONE, REG_DWORD_BIG_ENDIAN, REG_LINK, 8, -1 }) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(0, VR_regsetvalue(hkcu, BOX, "unsupported", text, t)) << t;
    }
    EXPECT_FALSE(regget(hkcu, BOX, "unsupported", &type, &data));
    ASSERT_EQ(5u, catcher.boxes.size());
    EXPECT_EQ("INFORMATION", catcher.boxes[0].caption);
}

TEST_F(registry, delete_value)
{
    EXPECT_EQ(1, VR_regdelval(hkcu, BOX, "dword"));
    EXPECT_EQ(-1, reggetdword(hkcu, BOX, "dword"));
    EXPECT_EQ(0, VR_regdelval(hkcu, BOX, "dword"));
    EXPECT_EQ(1, VR_regdelval(hkcu, BOX "\\missing", "dword"));
    // Not opened with full access: 1, but the value stays.
    EXPECT_EQ(1, VR_regdelval(hkcu, READONLY, "v"));
    EXPECT_EQ(1, reggetdword(hkcu, READONLY, "v"));
}

TEST_F(registry, add_key)
{
    EXPECT_EQ(0, VR_regaddkey(hkcu, BOX, "child"));
    EXPECT_TRUE(regkeyexists(hkcu, BOX "\\child"));
    EXPECT_EQ(0, VR_regaddkey(hkcu, BOX, "child"));
    EXPECT_EQ(0, VR_regaddkey(hkcu, BOX, "a\\b\\c"));
    EXPECT_TRUE(regkeyexists(hkcu, BOX "\\a\\b\\c"));
    EXPECT_EQ(1, VR_regaddkey(hkcu, BOX "\\missing", "child"));
    EXPECT_FALSE(regkeyexists(hkcu, BOX "\\missing"));
    EXPECT_EQ(1, VR_regaddkey(hkcu, READONLY, "child"));
    EXPECT_FALSE(regkeyexists(hkcu, READONLY "\\child"));
    // A volatile key cannot hold a lasting child.
    EXPECT_EQ(2, VR_regaddkey(hkcu, VOLATILE, "child"));
}

TEST_F(registry, no_handle_is_left_open)
{
    DWORD type, size;
    BYTE data[64];
    char text[16];
    unsigned before = handlecount();
    for (int i = 0; i < 300; i++) {
        size = sizeof data;
        closekey(VR_regquery(hkcu, BOX, "dword", 2, &type, data, &size));
        closekey(VR_regquery(hkcu, BOX, NULL, 1, NULL, NULL, NULL));
        size = 2;
        EXPECT_FALSE(VR_regquery(hkcu, BOX, "text", 2, &type, data, &size));
        EXPECT_FALSE(VR_regquery(hkcu, BOX, "missing", 2, &type, data, &size));
        EXPECT_FALSE(VR_regquery(hkcu, READONLY, "v", 2, &type, data, &size));
        strcpy(text, "a1b2");
        VR_regsetvalue(hkcu, BOX, "bin", text, REG_BINARY);
        strcpy(text, "nothex");
        VR_regsetvalue(hkcu, BOX, "bad", text, REG_DWORD);
        VR_regsetvalue(hkcu, READONLY, "v", text, REG_DWORD);
        VR_regdelval(hkcu, BOX, "bin");
        VR_regdelval(hkcu, BOX, "bin");
        VR_regaddkey(hkcu, BOX, "child");
        VR_regaddkey(hkcu, VOLATILE, "child");
    }
    EXPECT_EQ(before, handlecount());
}

TEST(pairswap, swaps_in_place_at_any_length)
{
    struct { const char *in, *out; } rows[] = {
        { "abcdef", "badcfe" }, { "abcde", "badce" }, { "abcd", "badc" },
        { "abc", "bac" }, { "a", "a" }, { "", "" },
    };
    for (auto &row : rows) {
        char text[16];
        strcpy(text, row.in);
        EXPECT_EQ(text, VR_straltrevA(text));
        EXPECT_STREQ(row.out, text) << row.in;
    }

    srand(7);
    for (int n = 0; n < 300; n++) {
        // Lengths well beyond a kilobyte, with a guard past the end.
        size_t len = rand() % 5000;
        std::string original(len, ' ');
        for (auto &c : original)
            c = (char)(1 + rand() % 255);
        std::vector<char> text(original.begin(), original.end());
        text.push_back(0);
        text.push_back('#');
        VR_straltrevA(text.data());
        for (size_t i = 0; i + 1 < len; i += 2)
            ASSERT_EQ(original[i], text[i + 1]);
        VR_straltrevA(text.data());
        ASSERT_EQ(original, std::string(text.data()));
        ASSERT_EQ('#', text[len + 1]);
    }
}
