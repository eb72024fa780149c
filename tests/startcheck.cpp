// Starts the Tolvane.exe named on the command line (an installed one, for
// cmake/msitest.sh), waits for its main window and leaves it through the
// menu's Exit, as a user would. Exit code 0 when the window came and the
// program then ended with 0; 1, with the reason on standard error, when not.
#include <stdio.h>
#include "resource.h"
#include "support.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: startcheck PATH\\Tolvane.exe\n");
        return 1;
    }
    program p;
    if (!p.start(argv[1])) {
        fprintf(stderr, "startcheck: %s did not start\n", argv[1]);
        return 1;
    }
    HWND main = p.waitwindow("wndclsname", "Tolvane - A Cool tool for most useful system settings");
    if (!main) {
        fprintf(stderr, "startcheck: no main window of %s within 20 seconds\n", argv[1]);
        return 1;
    }
    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    DWORD code = p.waitexit();
    if (code != 0) {
        fprintf(stderr, "startcheck: %s ended with %lu\n", argv[1], (unsigned long)code);
        return 1;
    }
    return 0;
}
