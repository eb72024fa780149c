// export: settings as files for other machines, a .reg file for reg import
// or regedit, Registry.pol files for Group Policy, or the administrative
// templates of its editors. Nothing in the registry changes.
#include "admxfile.h"
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

// What an export of the states writes, each value once.
static void exportrecords(int *const *states, regimage *image)
{
    static const boxwalk exporting = { NULL, exporttarget, 0 };
    walkboxes(states, 0, &exporting, image);
}

struct exportfile {
    const WCHAR *path;
    const WCHAR *folder;    // made when missing; NULL for a .reg file, made by nobody
    buffer       data;
    int          records;
    int          remove;    // the file goes, if it is there
};

// The kinds of export, by the options that name them.
static const char *const kinds[] = { "--reg", "--pol", "--gpo", "--admx" };
enum { export_reg, export_pol, export_gpo, export_admx };
enum { from_preset, from_set, from_current };

// What the command line asks of an export.
struct exportrequest {
    int          kind;      // export_...
    int          source;    // from_...
    int          force;
    const WCHAR *target;    // FILE or DIR
    const WCHAR *preset;
    const WCHAR *forobject;
    int        **states;
    int          sides;     // of the object that the folder is for
};

// Reads the command's arguments into r; 0, 2 after the message, or
// showusage.
static int readrequest(int argc, WCHAR **argv, const usertarget *whom, exportrequest *r)
{
    r->kind = r->source = -1;
    r->states = nostates();
    for (int i = 2; i < argc; i++) {
        const WCHAR *arg = argv[i];
        int kind = 0;
        while (kind < COUNT(kinds) && !sameword(arg, kinds[kind]))
            kind++;
        if (kind < COUNT(kinds)) {
            // An option where FILE or DIR should be is none.
            if (r->kind >= 0 || i + 1 == argc || (argv[i + 1][0] == L'-' && argv[i + 1][1] == L'-'))
                return showusage;
            r->kind = kind;
            r->target = argv[++i];
        } else if (sameword(arg, "--preset")) {
            if (r->source >= 0 || i + 1 == argc)
                return showusage;
            r->source = from_preset;
            r->preset = argv[++i];
        } else if (sameword(arg, "--set")) {
            if (r->source >= 0)
                return showusage;
            r->source = from_set;
            int named = 0;
            for (; i + 1 < argc && (argv[i + 1][0] != L'-' || argv[i + 1][1] != L'-'); named++) {
                int code = namestate(r->states, argv[++i], 0);
                if (code)
                    return code;
            }
            if (!named) {
                complain("--set names at least one SETTING=on or SETTING=off");
                return showusage;
            }
        } else if (sameword(arg, "--current")) {
            if (r->source >= 0)
                return showusage;
            r->source = from_current;
        } else if (sameword(arg, "--force")) {
            r->force = 1;
        } else if (sameword(arg, "--for")) {
            if (r->forobject || i + 1 == argc)
                return showusage;
            r->forobject = argv[++i];
        } else {
            complain("unknown option ", arg);
            return showusage;
        }
    }
    // The templates are every preset's and setting's, no source's or user's.
    if (r->kind == export_admx) {
        if (r->source < 0 && !r->forobject && whom->who == whose_current)
            return 0;
        complain("--admx takes no source, object or user");
        return showusage;
    }
    if (r->kind < 0 || r->source < 0) {
        complain(r->kind < 0 ? "export needs --reg FILE, --pol DIR, --gpo DIR or --admx DIR"
                             : "export needs --preset NAME, --set SETTING=on|off ... or --current");
        return showusage;
    }
    if (whom->who != whose_current && r->source != from_current) {
        complain("--user and --default-user go with --current: the other sources are no user's");
        return showusage;
    }
    if (r->source == from_preset && presetstates(r->states, r->preset))
        return 2;
    // The object that the folder is for: the local computer policy has both
    // sides, the others a User side alone.
    r->sides = side_user | side_machine;
    if (r->forobject) {
        policyobject object;
        if (r->kind != export_gpo) {
            complain("--for goes with --gpo: it names the object that the folder is for");
            return showusage;
        }
        int code = findobject(r->forobject, &object);
        if (code)
            return code;
        r->sides = object.sides;
        // --current leaves out what the object cannot take, with a warning.
        if (r->source != from_current && !takessettings(&object, r->states))
            return 2;
    }
    return 0;
}

// The files of a .reg, Registry.pol or policy object export of the image;
// their number.
static int planfiles(const exportrequest *r, const regimage *image, const regnotes *notes, exportfile *files)
{
    int nfiles = 0;

    if (r->kind == export_reg) {
        files[0].path = r->target;
        writereg(&files[0].data, image, L"export", notes);
        files[0].records = image->nvalues;
        return 1;
    }
    int has = 0;
    for (int i = 0; i < npolicysides; i++) {
        if (!(r->sides & policysides[i].side))
            continue;
        exportfile *f = &files[nfiles++];
        f->records = writepol(&f->data, image, policysides[i].root);
        f->folder = joinpath(r->target, policysides[i].folder);
        f->path = joinpath(f->folder, "Registry.pol");
        // A side with no values gets no file, and loses one that an
        // earlier export left there.
        f->remove = !f->records;
        if (f->records)
            has |= policysides[i].side;
    }
    if (r->kind == export_gpo) {
        files[nfiles].folder = r->target;
        files[nfiles].path = joinpath(r->target, "gpt.ini");
        writegptini(&files[nfiles].data, has, r->sides);
        nfiles++;
    }
    return nfiles;
}

// The template and its texts, the texts first: an editor reads the texts
// of a template that it finds, and stops at a template without them.
static int planadmx(const exportrequest *r, exportfile *files)
{
    if (!writeadmx(&files[1].data, &files[0].data, exportrecords))
        return 0;
    files[0].folder = joinpath(r->target, "en-US");
    files[0].path = joinpath(files[0].folder, "Tolvane.adml");
    files[1].folder = r->target;
    files[1].path = joinpath(r->target, "Tolvane.admx");
    return 2;
}

// Warns of each value that a policy object cannot carry as it should.
static void warnoutside(const exportrequest *r, const regimage *image)
{
    for (int i = 0; i < image->nvalues; i++) {
        buffer path = {};
        addvaluepath(&path, &image->values[i]);
        if (!(r->sides & side_machine) && image->values[i].root == HKEY_LOCAL_MACHINE)
            complain("warning: ", textof(&path), " is left out: only the local computer policy has a "
                     "machine side");
        else if (!inpolicybranch(image->values[i].key))
            complain("warning: ", textof(&path), " lies outside the policy branches: Group Policy "
                     "leaves it behind when the policy object no longer applies");
    }
}

// Writes or removes each file, with a line for each; the number that
// failed. With stop, the first failure ends it: the files are of no use
// one without the other.
static int writefiles(const exportfile *files, int nfiles, int stop)
{
    int failures = 0;

    for (int i = 0; i < nfiles && !(stop && failures); i++) {
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
    return failures;
}

int exportcommand(int argc, WCHAR **argv, const usertarget *whom)
{
    exportrequest r = {};
    int code = readrequest(argc, argv, whom, &r);
    if (code)
        return code;

    regimage image = {};
    regnotes notes = {};
    exportfile files[3] = {};
    int nfiles;
    if (r.kind == export_admx) {
        nfiles = planadmx(&r, files);
        if (!nfiles)
            return 1;
    } else {
        if (r.source == from_current) {
            code = captureaccount(whom, 0, &image, &notes.user);
            if (code)
                return code;
        } else {
            exportrecords(r.states, &image);
        }
        nfiles = planfiles(&r, &image, &notes, files);
    }
    // Nothing is written while any file would be replaced without --force.
    for (int i = 0; i < nfiles && r.kind != export_reg && !r.force; i++)
        if (GetFileAttributesW(files[i].path) != INVALID_FILE_ATTRIBUTES) {
            complain("", files[i].path, " exists; --force replaces it");
            return 2;
        }
    if (r.kind != export_reg)
        warnoutside(&r, &image);
    return writefiles(files, nfiles, r.kind == export_admx) ? 1 : 0;
}
