// export: settings as files for other machines, a .reg file for reg import
// or regedit, or Registry.pol files for Group Policy. Nothing in the
// registry changes.
#include "change.h"
#include "commands.h"
#include "files.h"
#include "localpolicy.h"
#include "polfile.h"
#include "regfile.h"
#include "settings.h"

// On: the target with the data Apply writes; off: its deletion. A target
// that two rows write is exported once.
static void exporttarget(void *context, const regvalue *v, int)
{
    regimage *image = (regimage *)context;

    for (int i = 0; i < image->nvalues; i++)
        if (samevalue(&image->values[i], v))
            return;
    addvalue(image, v);
}

struct exportfile {
    const WCHAR *path;
    const WCHAR *folder;    // made when missing; NULL for a .reg file, made by nobody
    buffer       data;
    int          records;
    int          remove;    // the file goes, if it is there
};

enum { export_reg, export_pol, export_gpo };

int exportcommand(int argc, WCHAR **argv, const usertarget *whom)
{
    int kind = -1, source = -1, force = 0;
    const WCHAR *target = NULL, *preset = NULL, *forobject = NULL;
    int **states = nostates();

    for (int i = 2; i < argc; i++) {
        const WCHAR *arg = argv[i];
        if (sameword(arg, "--reg") || sameword(arg, "--pol") || sameword(arg, "--gpo")) {
            if (kind >= 0 || i + 1 == argc)
                return showusage;
            kind = sameword(arg, "--reg") ? export_reg : sameword(arg, "--pol") ? export_pol : export_gpo;
            target = argv[++i];
        } else if (sameword(arg, "--preset")) {
            if (source >= 0 || i + 1 == argc)
                return showusage;
            source = 0;
            preset = argv[++i];
        } else if (sameword(arg, "--set")) {
            if (source >= 0)
                return showusage;
            source = 1;
            int named = 0;
            for (; i + 1 < argc && (argv[i + 1][0] != L'-' || argv[i + 1][1] != L'-'); named++) {
                int code = namestate(states, argv[++i], 0);
                if (code)
                    return code;
            }
            if (!named) {
                complain("--set names at least one SETTING=on or SETTING=off");
                return showusage;
            }
        } else if (sameword(arg, "--current")) {
            if (source >= 0)
                return showusage;
            source = 2;
        } else if (sameword(arg, "--force")) {
            force = 1;
        } else if (sameword(arg, "--for")) {
            if (forobject || i + 1 == argc)
                return showusage;
            forobject = argv[++i];
        } else {
            complain("unknown option ", arg);
            return showusage;
        }
    }
    if (kind < 0 || source < 0) {
        complain(kind < 0 ? "export needs --reg FILE, --pol DIR or --gpo DIR"
                          : "export needs --preset NAME, --set SETTING=on|off ... or --current");
        return showusage;
    }
    if (whom->who != whose_current && source != 2) {
        complain("--user and --default-user go with --current: the other sources are no user's");
        return showusage;
    }
    if (source == 0 && presetstates(states, preset))
        return 2;
    // The object that the folder is for: the local computer policy has both
    // sides, the others a User side alone.
    int sides = side_user | side_machine;
    if (forobject) {
        policyobject object;
        if (kind != export_gpo) {
            complain("--for goes with --gpo: it names the object that the folder is for");
            return showusage;
        }
        int code = findobject(forobject, &object);
        if (code)
            return code;
        sides = object.sides;
        // --current leaves out what the object cannot take, with a warning.
        if (source != 2 && !takessettings(&object, states))
            return 2;
    }

    regimage image = {};
    regnotes notes = {};
    if (source == 2) {
        int code = captureaccount(whom, 0, &image, &notes.user);
        if (code)
            return code;
    } else {
        static const boxwalk exporting = { NULL, exporttarget, 0 };
        walkboxes(states, 0, &exporting, &image);
    }

    exportfile files[3] = {};
    int nfiles = 0;
    if (kind == export_reg) {
        files[0].path = target;
        writereg(&files[0].data, &image, L"export", &notes);
        files[0].records = image.nvalues;
        nfiles = 1;
    } else {
        int has = 0;
        for (int i = 0; i < npolicysides; i++) {
            if (!(sides & policysides[i].side))
                continue;
            exportfile *f = &files[nfiles++];
            f->records = writepol(&f->data, &image, policysides[i].root);
            f->folder = joinpath(target, policysides[i].folder);
            f->path = joinpath(f->folder, "Registry.pol");
            // A side with no values gets no file, and loses one that an
            // earlier export left there.
            f->remove = !f->records;
            if (f->records)
                has |= policysides[i].side;
        }
        if (kind == export_gpo) {
            files[nfiles].folder = target;
            files[nfiles].path = joinpath(target, "gpt.ini");
            writegptini(&files[nfiles].data, has, sides);
            nfiles++;
        }
    }
    // Nothing is written while any file would be replaced without --force.
    for (int i = 0; i < nfiles && kind != export_reg && !force; i++)
        if (GetFileAttributesW(files[i].path) != INVALID_FILE_ATTRIBUTES) {
            complain("", files[i].path, " exists; --force replaces it");
            return 2;
        }
    for (int i = 0; i < image.nvalues && kind != export_reg; i++) {
        buffer path = {};
        addvaluepath(&path, &image.values[i]);
        if (!(sides & side_machine) && image.values[i].root == HKEY_LOCAL_MACHINE)
            complain("warning: ", textof(&path), " is left out: only the local computer policy has a "
                     "machine side");
        else if (!inpolicybranch(image.values[i].key))
            complain("warning: ", textof(&path), " lies outside the policy branches: Group Policy "
                     "leaves it behind when the policy object no longer applies");
    }
    int failures = 0;
    for (int i = 0; i < nfiles; i++) {
        DWORD error = 0;
        if (files[i].remove) {
            if (GetFileAttributesW(files[i].path) == INVALID_FILE_ATTRIBUTES)
                continue;
            if (!DeleteFileW(files[i].path)) {
                complain("cannot remove ", files[i].path, ": ", systemtext(GetLastError()));
                failures++;
                continue;
            }
            addverb("removed");
            say(files[i].path);
            sayline();
            continue;
        }
        if ((files[i].folder && !makefolders(files[i].folder, &error)) ||
            !writefile(files[i].path, files[i].data.data, files[i].data.size, &error)) {
            complain("cannot write ", files[i].path, ": ", systemtext(error));
            failures++;
            continue;
        }
        addverb("wrote");
        say(files[i].path);
        if (files[i].records) {
            say(" (");
            addnumber(&out, files[i].records);
            say(files[i].records == 1 ? " value)" : " values)");
        }
        sayline();
    }
    return failures ? 1 : 0;
}

