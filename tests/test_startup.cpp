// The real Tolvane.exe from start to exit: version check, install marker,
// main window, ways out.
#include <gtest/gtest.h>
#include "support.h"

static const char *maintitle = "Tolvane - A Cool tool for most useful system settings";
static const char *standinkey = SANDBOX "\\standin";

static std::string tolvane()
{
    return bindir() + "Tolvane.exe";
}

TEST(startup, version_check_passes_or_stops_before_anything_else)
{
    struct { const char *standin; bool passes; } rows[] = {
        { "v1000", true }, { "v2599", true },
        { "v0502", false }, { "vm1002", false }, { "v1m102", false },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.standin);
        regwipe(HKEY_CURRENT_USER, standinkey);
        program p;
        ASSERT_TRUE(p.start(bindir() + "standin\\" + row.standin + "\\Tolvane.exe"));
        if (row.passes) {
            HWND main = p.waitwindow("wndclsname", maintitle);
            ASSERT_TRUE(main);
            PostMessageA(main, WM_COMMAND, 40003, 0);
        } else {
            shownbox box;
            ASSERT_TRUE(p.waitbox(&box));
            EXPECT_EQ("Incorrect Varrowen.dll", box.caption);
            EXPECT_EQ("Version of Varrowen.dll is incorrect.\nPlease use version 1.0.0.2 of Varrowen.dll",
                      box.text);
        }
        EXPECT_EQ(0u, p.waitexit());
        long long expected = row.passes ? 1 : -1;
        EXPECT_EQ(expected, reggetdword(HKEY_CURRENT_USER, standinkey, "VR_getsignature"));
        EXPECT_EQ(expected, reggetdword(HKEY_CURRENT_USER, standinkey, "VR_putsignature"));
    }
    regwipe(HKEY_CURRENT_USER, standinkey);
}

TEST(startup, marker_is_written_once)
{
    regwipe(HKEY_LOCAL_MACHINE, "Software\\kestrin");
    {
        program p;
        ASSERT_TRUE(p.start(tolvane()));
        HWND main = p.waitwindow("wndclsname", maintitle);
        ASSERT_TRUE(main);
        EXPECT_EQ(1, reggetdword(HKEY_LOCAL_MACHINE, "Software\\kestrin\\status", "status"));
        PostMessageA(main, WM_COMMAND, 40003, 0);
        EXPECT_EQ(0u, p.waitexit());
    }
    // Present already: a second start leaves it as it is.
    regputdword(HKEY_LOCAL_MACHINE, "Software\\kestrin\\status", "status", 7);
    program p;
    ASSERT_TRUE(p.start(tolvane()));
    HWND main = p.waitwindow("wndclsname", maintitle);
    ASSERT_TRUE(main);
    EXPECT_EQ(7, reggetdword(HKEY_LOCAL_MACHINE, "Software\\kestrin\\status", "status"));
    PostMessageA(main, WM_COMMAND, 40003, 0);
    EXPECT_EQ(0u, p.waitexit());
}

TEST(startup, main_window_and_ways_out)
{
    // Exit by the menu (with a notification code in the high word, which is
    // not looked at), by the close box, and by the system menu's Close.
    struct { UINT msg; WPARAM wparam; const char *args; } ways[] = {
        { WM_COMMAND, 40003, "" },
        { WM_COMMAND, MAKEWPARAM(40003, 1), "/restrict --tweak 40001" },
        { WM_CLOSE, 0, "" },
        { WM_SYSCOMMAND, SC_CLOSE, "extra words" },
    };
    for (auto &way : ways) {
        SCOPED_TRACE(way.msg);
        program p;
        ASSERT_TRUE(p.start(tolvane(), way.args));
        HWND main = p.waitwindow("wndclsname", maintitle);
        ASSERT_TRUE(main);
        EXPECT_EQ((DWORD)WS_OVERLAPPEDWINDOW, (DWORD)GetWindowLongA(main, GWL_STYLE) & WS_OVERLAPPEDWINDOW);
        EXPECT_EQ((DWORD)WS_EX_OVERLAPPEDWINDOW, (DWORD)GetWindowLongA(main, GWL_EXSTYLE) & 0x300);
        RECT r;
        GetWindowRect(main, &r);
        EXPECT_EQ(10, r.left);
        EXPECT_EQ(10, r.top);
        EXPECT_EQ(300, r.right - r.left);
        EXPECT_EQ(300, r.bottom - r.top);
        EXPECT_EQ(1u, p.windows().size());
        PostMessageA(main, way.msg, way.wparam, 0);
        EXPECT_EQ(0u, p.waitexit());
    }
}

TEST(startup, unknown_commands_do_nothing)
{
    program p;
    ASSERT_TRUE(p.start(tolvane()));
    HWND main = p.waitwindow("wndclsname", maintitle);
    ASSERT_TRUE(main);
    for (WPARAM id : { 0u, 1u, 2u, 40000u, 40004u, 40006u, 65535u }) {
        EXPECT_EQ(0, SendMessageA(main, WM_COMMAND, id, 0)) << id;
    }
    EXPECT_EQ(1u, p.windows().size());
    EXPECT_EQ(STILL_ACTIVE, p.waitexit(300));
}

TEST(startup, show_command_comes_from_startup_information)
{
    struct { bool useshow; WORD show; bool iconic, zoomed; } rows[] = {
        { false, 0, false, false },
        { true, SW_SHOWMINIMIZED, true, false },
        { true, SW_SHOWMAXIMIZED, false, true },
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.show);
        program p;
        ASSERT_TRUE(p.start(tolvane(), "", row.useshow, row.show));
        HWND main = p.waitwindow("wndclsname", maintitle);
        ASSERT_TRUE(main);
        EXPECT_TRUE(IsWindowVisible(main));
        EXPECT_EQ(row.iconic, IsIconic(main) != 0);
        EXPECT_EQ(row.zoomed, IsZoomed(main) != 0);
        PostMessageA(main, WM_COMMAND, 40003, 0);
        EXPECT_EQ(0u, p.waitexit());
    }
}
