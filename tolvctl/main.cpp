// tolvctl: Tolvane's settings from the command line, for scripts and many
// machines. It reads and writes the registry itself, through the same
// tables and walks as the dialogs, and keeps an undo journal of the exact
// bytes that each change replaced. Here: the entry point, the command line
// and help; each command has a file of its own.
#include "commands.h"
#include "journal.h"

#ifndef TOLVANE_VERSION
#error "TOLVANE_VERSION gives the product's version"
#endif

// ---- help and the command line ---------------------------------------------------------

struct helptext {
    const char *command;
    const char *text;
};

static const helptext helps[] = {
    { "list", "tolvctl list [--json | --markdown] [USER | --all-users | --policy OBJECT]\r\n"
              "tolvctl list --preset NAME [--json] [USER | --all-users]\r\n"
              "  Each setting's state, the values its box reads or writes, and Windows'\r\n"
              "  policy for each; with --preset, only the settings that the preset ticks.\r\n" },
    { "set", "tolvctl set SETTING=on|off ... [USER | --all-users] [--dry-run]\r\n"
             "tolvctl set SETTING=on|off|unset ... --policy OBJECT [--dry-run]\r\n"
             "  Sets only these, as Apply would. SETTING: a name, tweak.ID or restrict.ID.\r\n" },
    { "apply", "tolvctl apply school|cyber-cafe|highly-restricted|clear-all\r\n"
               "              [USER | --all-users | --policy OBJECT] [--dry-run]\r\n"
               "  Writes the 43 boxes of Set Restrictions as the preset and Apply do.\r\n" },
    { "backup", "tolvctl backup FILE [USER]\r\n"
                "  Saves every value the dialogs touch, absent ones too, to a .reg file.\r\n" },
    { "restore", "tolvctl restore FILE [USER] [--dry-run]\r\n"
                 "  Puts back a backup byte for byte, or a .reg file as regedit writes it.\r\n" },
    { "undo", "tolvctl undo [--dry-run]\r\n"
              "  Takes back the newest set, apply or restore; again to go further back.\r\n" },
    { "export", "tolvctl export --reg FILE | --pol DIR | --gpo DIR [--for OBJECT]\r\n"
                "               --preset NAME | --set SETTING=on|off ... | --current [USER] [--force]\r\n"
                "tolvctl export --admx DIR [--force]\r\n"
                "  Writes settings for other machines: a .reg file, DIR\\User and\r\n"
                "  DIR\\Machine\\Registry.pol, or those and DIR\\gpt.ini; the presets as\r\n"
                "  DIR\\Tolvane.admx and en-US\\Tolvane.adml, for Group Policy. --force replaces.\r\n" },
    { "help", "tolvctl help [COMMAND] | --version\r\n" },
};

static int helpcommand(const WCHAR *command)
{
    if (command) {
        for (int i = 0; i < COUNT(helps); i++)
            if (sameword(command, helps[i].command)) {
                say(helps[i].text);
                return 0;
            }
        complain("no such command: ", command);
        return 2;
    }
    say("tolvctl " TOLVANE_VERSION ": Tolvane's settings from the command line.\r\n\r\n");
    for (int i = 0; i < COUNT(helps); i++)
        say(helps[i].text);
    say("\r\nUSER is --user NAME|SID, an account of this machine, or --default-user, the\r\n"
        "profile that new accounts start from; --all-users is every profile. Without\r\n"
        "them, tolvctl works on the user that it runs as. OBJECT is a local Group\r\n"
        "Policy object, changed in place of the registry: local, administrators,\r\n"
        "non-administrators, or a user as --user names one.\r\n"
        "\r\nset, apply and restore first save what they change in the undo journal\r\n"
        "(local application data, Tolvane\\undo). --dry-run changes nothing.\r\n"
        "Exit codes: 0 done; 1 some value not changed, the rest done; 2 usage error\r\n"
        "or bad file, nothing changed.\r\n");
    return 0;
}

// A usage error: the command's usage on standard error, exit code 2.
static int usage(const char *command)
{
    for (int i = 0; i < COUNT(helps); i++)
        if (sametextA(command, helps[i].command)) {
            addtext(&err, "usage: ");
            addtext(&err, helps[i].text);
        }
    return 2;
}

// A command's exit code, with its usage when its arguments were wrong.
static int ended(const char *command, int code)
{
    return code == showusage ? usage(command) : code;
}

// Takes --user NAME, --default-user and, for the first commands of
// targeted[], --all-users and --policy OBJECT out of a command's arguments:
// 0, or showusage after the message.
static int takeoptions(int *argc, WCHAR **argv, int every, options *o)
{
    int kept = 2;

    for (int i = 2; i < *argc; i++) {
        whose who = sameword(argv[i], "--user") ? whose_user
                  : sameword(argv[i], "--default-user") ? whose_default
                  : every && sameword(argv[i], "--all-users") ? whose_all : whose_current;
        int policy = every && sameword(argv[i], "--policy");
        if (who == whose_current && !policy) {
            argv[kept++] = argv[i];
            continue;
        }
        if (o->whom.who != whose_current || o->policy) {
            complain("name one user or policy object: --user, --default-user, --all-users or --policy");
            return showusage;
        }
        if ((policy || who == whose_user) && i + 1 == *argc) {
            complain(policy ? "--policy names an object: local, administrators, non-administrators or a user"
                            : "--user names an account: its name or SID");
            return showusage;
        }
        o->whom.who = who;
        if (policy)
            o->policy = argv[++i];
        else if (who == whose_user)
            o->whom.user = argv[++i];
    }
    *argc = kept;
    return 0;
}

int run(int argc, WCHAR **argv)
{
    // The commands that work on a user's settings; the first three on
    // every user's too.
    static const char *const targeted[] = { "list", "set", "apply", "backup", "restore", "export" };

    if (argc < 2) {
        complain("name a command; \"tolvctl help\" lists them");
        return 2;
    }
    const WCHAR *command = argv[1];
    options o = { 0, { whose_current, NULL }, NULL, NULL };
    for (int i = 0; i < COUNT(targeted); i++) {
        if (!sameword(command, targeted[i]))
            continue;
        // The whole command line, as the journal notes it, before the
        // options are taken out of it.
        o.line = commandline(argc, argv);
        if (takeoptions(&argc, argv, i < 3, &o))
            return usage(targeted[i]);
    }
    int others = 0;
    for (int i = 2; i < argc; i++) {
        if (sameword(argv[i], "--dry-run"))
            o.dryrun = 1;
        else
            others++;
    }

    if (sameword(command, "help") || sameword(command, "-h") || sameword(command, "--help") ||
        sameword(command, "/?")) {
        if (argc > 3)
            return usage("help");
        return helpcommand(argc == 3 ? argv[2] : NULL);
    }
    if (sameword(command, "--version")) {
        if (argc > 2)
            return usage("help");
        say("tolvctl " TOLVANE_VERSION);
        sayline();
        return 0;
    }
    if (sameword(command, "list")) {
        // --preset NAME, wherever it stands, is taken out first.
        const WCHAR *preset = NULL;
        for (int i = 2; !preset && i + 1 < argc; i++)
            if (sameword(argv[i], "--preset")) {
                preset = argv[i + 1];
                for (argc -= 2; i < argc; i++)
                    argv[i] = argv[i + 2];
            }
        if (argc > 3 || o.dryrun || (preset && (o.policy || (argc == 3 && !sameword(argv[2], "--json")))))
            return usage("list");
        if (argc == 2)
            return listcommand(list_text, preset, &o);
        if (sameword(argv[2], "--json"))
            return listcommand(list_json, preset, &o);
        if (sameword(argv[2], "--markdown") && o.whom.who == whose_current && !o.policy)
            return listcommand(list_markdown, NULL, &o);
        complain(sameword(argv[2], "--markdown") ? "--markdown describes the settings, not a user's or an object's: "
                                                 : "unknown option ", argv[2]);
        return usage("list");
    }
    if (sameword(command, "set"))
        return ended("set", setcommand(argc, argv, 2, &o));
    if (sameword(command, "apply"))
        return ended("apply", applycommand(argc, argv, 2, &o));
    if (sameword(command, "backup")) {
        if (argc != 3 || o.dryrun)
            return usage("backup");
        return backupcommand(argv[2], &o.whom);
    }
    if (sameword(command, "restore")) {
        if (others != 1)
            return usage("restore");
        int i = 2;
        while (sameword(argv[i], "--dry-run"))
            i++;
        return restorecommand(argv[i], &o);
    }
    if (sameword(command, "export")) {
        if (o.dryrun)
            return usage("export");
        return ended("export", exportcommand(argc, argv, &o.whom));
    }
    if (sameword(command, "undo")) {
        if (others)
            return usage("undo");
        return undocommand(o.dryrun);
    }
    complain("unknown command ", command, "; \"tolvctl help\" lists them");
    return 2;
}

// ---- start ----------------------------------------------------------------------------
//
// tolvctl starts here rather than in the C runtime's start-up code, which
// would be a quarter of its size: it needs nothing of that code but the
// command line, split here by the runtime's rules. 2n backslashes and a
// quote give n backslashes and open or close quoting; 2n+1 and a quote give
// n and a literal quote; "" inside quotes is a literal quote; other
// backslashes are literal.

static int splitcommandline(WCHAR ***argvout)
{
    const WCHAR *p = GetCommandLineW();
    buffer args = {};

    for (;;) {
        while (*p == L' ' || *p == L'\t')
            p++;
        if (!*p)
            break;
        buffer arg = {};
        int quoted = 0;
        for (;;) {
            int backslashes = 0;
            while (*p == L'\\') {
                backslashes++;
                p++;
            }
            int quote = *p == L'"';
            for (int i = 0; i < (quote ? backslashes / 2 : backslashes); i++)
                addchar(&arg, L'\\');
            if (quote) {
                if (backslashes % 2) {
                    addchar(&arg, L'"');
                } else if (quoted && p[1] == L'"') {
                    addchar(&arg, L'"');
                    p++;
                } else {
                    quoted = !quoted;
                }
                p++;
                continue;
            }
            if (!*p || (!quoted && (*p == L' ' || *p == L'\t')))
                break;
            addchar(&arg, *p++);
        }
        WCHAR *text = (WCHAR *)textof(&arg);
        addbytes(&args, &text, sizeof text);
    }
    *argvout = (WCHAR **)args.data;
    return (int)(args.size / sizeof(WCHAR *));
}

extern "C" void __cdecl tolvctlstart(void)
{
    WCHAR **argv;
    int argc = splitcommandline(&argv);
    leave(run(argc, argv));
}
