// Administrative templates: Tolvane.admx and its en-US Tolvane.adml, made
// from the settings at run time. Both grow as UTF-16 text, the texts of
// the ADML beside the template that refers to them, and become UTF-8 at
// the end; line ends are CR LF, as in Windows' own templates.
#include <stdarg.h>
#include <string.h>
#include "admxfile.h"
#include "polfile.h"
#include "winpolicy.h"

// The quick settings that get a policy, in the order of their buttons, as
// the editors name them; widen() makes "\xe9" U+00E9.
static const char *const presettitles[] = { "School", "Cyber caf\xe9", "Highly restricted" };
static_assert(COUNT(presettitles) == npresets - 1, "a title for each quick setting but clear-all");

// What a policy whose values no template lists is supported on: Tolvane's
// own range, Windows XP and later.
static const winsupport ownrange = { "windows:SUPPORTED_WindowsXP", NULL, FROM(winxp) };

// The categories, parents first.
static const struct { const char *name, *parent, *text; } categories[] = {
    { "Tolvane", NULL, "Tolvane" },
    { "Presets", "Tolvane", "Presets" },
    { "Outside", "Tolvane", "Settings outside Windows' templates" },
};

struct admxwriter {
    buffer     admx;
    buffer     strings;         // the ADML's string table
    recordwalk walk;
    int        failed;
};

// Adds text to b: each % takes the next argument, a WCHAR text, and each
// ^ a char text of the tables, with & and < escaped (no name that goes
// into an attribute holds a quote); \n becomes CR LF.
static void emit(buffer *b, const char *text, ...)
{
    va_list args;

    va_start(args, text);
    for (; *text; text++) {
        if (*text == '%' || *text == '^') {
            const void *arg = va_arg(args, const void *);
            for (int i = 0;; i++) {
                WCHAR c = *text == '%' ? ((const WCHAR *)arg)[i] : (BYTE)((const char *)arg)[i];
                if (!c)
                    break;
                if (c == L'&')
                    addtext(b, "&amp;");
                else if (c == L'<')
                    addtext(b, "&lt;");
                else
                    addchar(b, c);
            }
            continue;
        }
        if (*text == '\n')
            addchar(b, L'\r');
        addchar(b, (BYTE)*text);
    }
    va_end(args);
}

// The start of either file, up to its root element.
static void addroot(buffer *b, const char *element)
{
    emit(b, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<^ revision=\"1.0\" schemaVersion=\"1.0\" "
            "xmlns=\"http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions\">\n", element);
}

// One string of the texts; text is XML already.
static void addstring(admxwriter *w, const WCHAR *id, const char *suffix, buffer *text)
{
    emit(&w->strings, "<string id=\"%^\">", id, suffix);
    addbytes(&w->strings, text->data, text->size);
    emit(&w->strings, "</string>\n");
}

// What the templates say of the values that a box writes: *listed gets the
// versions that they are listed for (a value that no template defines
// counts as Tolvane's own range), *on10 whether one is listed for Windows
// 10, and b, when given, the names of Windows' own policies for them after
// lead.
static void askwindows(const dialogboxes *d, int id, buffer *b, const char *lead, WORD *listed, int *on10)
{
    boxvalue values[maxboxvalues];
    int n = boxvalues(d, id, values, maxboxvalues);
    const char *named = NULL;

    for (int i = 0; i < n; i++) {
        const winpolicy *p = writtenword(&values[i]);
        if (!p)
            continue;
        const winsupport *s = p->file ? p->support : &ownrange;
        *listed |= s->listed;
        if (!p->file)
            continue;
        *on10 |= (s->listed & ONLY(win10)) != 0;
        // The values of one policy of Windows follow each other.
        if (b && !(named && sametextA(named, p->display)))
            emit(b, named ? "; ^" : lead, p->display);
        named = p->display;
    }
}

// The narrowest supportedOn definition of Windows.admx that lists every
// version given, of those that the values that Apply writes refer to; some
// templates define their own, which this one cannot refer to.
static const char *supportedon(WORD listed)
{
    const winsupport *best = &ownrange;
    int fewest = nwinversions + 1;

    for (int d = 0; d < ndialogs; d++)
        for (int i = 0; i < dialogs[d].nboxes; i++) {
            boxvalue values[maxboxvalues];
            int n = boxvalues(&dialogs[d], dialogs[d].boxes[i].id, values, maxboxvalues);
            for (int v = 0; v < n; v++) {
                const winpolicy *p = writtenword(&values[v]);
                if (!p || !p->file || strncmp(p->support->definition, "windows:", 8))
                    continue;
                int bits = 0;
                for (WORD x = p->support->listed; x; x &= x - 1)
                    bits++;
                if ((p->support->listed & listed) == listed && bits < fewest) {
                    best = p->support;
                    fewest = bits;
                }
            }
        }
    return best->definition;
}

// ---- policies --------------------------------------------------------------------

static void addlist(admxwriter *w, const char *list, const regimage *image)
{
    emit(&w->admx, "<^>\n", list);
    for (int i = 0; i < image->nvalues; i++) {
        const regvalue *v = &image->values[i];
        emit(&w->admx, "<item key=\"%\" valueName=\"%\"><value>", v->key, v->name);
        // Apply writes REG_DWORDs alone.
        if (v->present) {
            emit(&w->admx, "<decimal value=\"");
            addnumber(&w->admx, *(const DWORD *)v->data);
            emit(&w->admx, "\" />");
        } else {
            emit(&w->admx, "<delete />");
        }
        emit(&w->admx, "</value></item>\n");
    }
    emit(&w->admx, "</^>\n", list);
}

// One policy in the category given, whose Enabled and Disabled write the
// records given. The explanation gets a last line when Group Policy leaves
// some of the values behind. Values under both roots, which no one policy
// can write, fail the template.
static void addpolicy(admxwriter *w, const char *name, const char *category, const char *title,
                      buffer *explain, const regimage *enabled, const regimage *disabled, WORD listed)
{
    const regvalue *first = enabled->values;
    int outside = 0;
    for (int i = 0; i < enabled->nvalues; i++) {
        if (enabled->values[i].root != first->root && !w->failed) {
            complain("a policy under both roots: ", widen(name));
            w->failed = 1;
        }
        outside |= !inpolicybranch(enabled->values[i].key);
    }
    if (outside)
        emit(explain, "\n\nGroup Policy leaves a value outside its policy branches when the policy goes; "
                      "Disabled deletes it.");

    // An item's name has no "-".
    WCHAR *id = widen(name);
    for (WCHAR *c = id; *c; c++)
        if (*c == L'-')
            *c = L'_';
    emit(&w->admx, "<policy name=\"%\" class=\"^\" displayName=\"$(string.%)\" explainText=\"$(string.%_Help)\" "
                   "key=\"%\">\n<parentCategory ref=\"^\" />\n<supportedOn ref=\"^\" />\n",
         id, first->root == HKEY_LOCAL_MACHINE ? "Machine" : "User", id, id, first->key, category,
         supportedon(listed));
    addlist(w, "enabledList", enabled);
    addlist(w, "disabledList", disabled);
    emit(&w->admx, "</policy>\n");
    buffer text = {};
    emit(&text, "^", title);
    addstring(w, id, "", &text);
    addstring(w, id, "_Help", explain);
}

// A policy for each quick setting but clear-all: Enabled sets the boxes as
// the quick setting does, Disabled as clear-all does. Its explanation
// names each box with Windows' own policies for it.
static void addpresets(admxwriter *w)
{
    const char *clearall = presetname(npresets - 1);
    int **clear = nostates();
    regimage disabled = {};
    presetstates(clear, widen(clearall));
    w->walk(clear, &disabled);
    for (int p = 0; p < npresets - 1; p++) {
        int **states = nostates();
        buffer explain = {};
        WORD listed = 0;
        presetstates(states, widen(presetname(p)));
        emit(&explain, "Each restriction on or off as \"^\" and Apply leave it, off deleting its values; "
                       "Disabled turns all off, as ^ does.\n", presettitles[p], clearall);
        for (int d = 0; d < ndialogs; d++)
            for (int i = 0; i < dialogs[d].nboxes; i++) {
                int on10 = 0, state = states[d][i];
                if (state == state_alone)
                    continue;
                emit(&explain, state == state_on ? "\non: ^" : "\noff: ^", dialogs[d].boxes[i].caption);
                askwindows(&dialogs[d], dialogs[d].boxes[i].id, &explain, " Windows: ^", &listed, &on10);
                if (state == state_on && !on10)
                    emit(&explain, " (not listed for Windows 10)");
            }
        regimage enabled = {};
        w->walk(states, &enabled);
        addpolicy(w, presetname(p), "Presets", presettitles[p], &explain, &enabled, &disabled, listed);
    }
}

// Keeps the records of values that no template defines, of those that a
// box writes; explain, when given, gets a line for each with what it is.
static void keepoutside(regimage *image, const boxvalue *values, int n, buffer *explain)
{
    int kept = 0;

    for (int r = 0; r < image->nvalues; r++) {
        const regvalue *v = &image->values[r];
        for (int i = 0; i < n; i++) {
            const winpolicy *p = writtenword(&values[i]);
            if (!p || p->file || values[i].root != v->root || !sametext(widen(values[i].key), v->key) ||
                !sametext(widen(values[i].name), v->name))
                continue;
            image->values[kept++] = *v;
            if (explain) {
                buffer line = {};
                addvaluepath(&line, v);
                addtext(&line, " = ");
                adddescription(&line, v);
                emit(explain, "\n%: ^", textof(&line), p->display);
            }
        }
    }
    image->nvalues = kept;
}

// A policy for each setting that Windows' templates do not define: none of
// the values that it writes has a policy of Windows' own. Enabled sets them
// as Apply writes them, Disabled deletes them. A setting that Windows
// defines gets none, even where it also writes a value of no template
// (such as one that no Windows reads): its value would show twice.
static void addoutside(admxwriter *w)
{
    for (int d = 0; d < ndialogs; d++)
        for (int i = 0; i < dialogs[d].nboxes; i++) {
            const boxrow *box = &dialogs[d].boxes[i];
            boxvalue values[maxboxvalues];
            int n = boxvalues(&dialogs[d], box->id, values, maxboxvalues), defined = 0;
            for (int v = 0; v < n; v++) {
                const winpolicy *p = writtenword(&values[v]);
                defined |= p && p->file;
            }
            if (defined || !n)
                continue;
            int **on = nostates(), **off = nostates();
            on[d][i] = state_on;
            off[d][i] = state_off;
            regimage enabled = {}, disabled = {};
            w->walk(on, &enabled);
            w->walk(off, &disabled);
            buffer explain = {};
            emit(&explain, "^ on as Apply writes it, off deleted, where Windows' templates define no "
                           "policy:", box->name);
            keepoutside(&enabled, values, n, &explain);
            keepoutside(&disabled, values, n, NULL);
            // An export leaves out a value that Apply writes only where its key is.
            if (!enabled.nvalues)
                continue;
            addpolicy(w, box->name, "Outside", box->caption, &explain, &enabled, &disabled,
                      ownrange.listed);
        }
}

// ---- the two files ------------------------------------------------------------------

int writeadmx(buffer *admx, buffer *adml, recordwalk walk)
{
    admxwriter w = {};
    w.walk = walk;

    addroot(&w.admx, "policyDefinitions");
    emit(&w.admx, "<policyNamespaces>\n<target prefix=\"tolvane\" namespace=\"Kestrin.Policies.Tolvane\" />\n"
                  "<using prefix=\"windows\" namespace=\"Microsoft.Policies.Windows\" />\n</policyNamespaces>\n"
                  "<resources minRequiredRevision=\"1.0\" />\n<categories>\n");
    for (int i = 0; i < COUNT(categories); i++) {
        const WCHAR *name = widen(categories[i].name);
        buffer text = {};
        emit(&w.admx, "<category name=\"%\" displayName=\"$(string.%)\"", name, name);
        if (categories[i].parent)
            emit(&w.admx, ">\n<parentCategory ref=\"^\" />\n</category>\n", categories[i].parent);
        else
            emit(&w.admx, " />\n");
        emit(&text, "^", categories[i].text);
        addstring(&w, name, "", &text);
    }
    emit(&w.admx, "</categories>\n<policies>\n");
    addpresets(&w);
    addoutside(&w);
    emit(&w.admx, "</policies>\n</policyDefinitions>\n");

    addroot(adml, "policyDefinitionResources");
    emit(adml, "<displayName>Tolvane</displayName>\n<description>Tolvane's presets and settings</description>\n"
               "<resources>\n<stringTable>\n");
    addbytes(adml, w.strings.data, w.strings.size);
    emit(adml, "</stringTable>\n</resources>\n</policyDefinitionResources>\n");
    *admx = w.admx;
    toutf8(admx);
    toutf8(adml);
    return !w.failed;
}
