// list: each setting's state and its values, as text, JSON or Markdown.
#include "commands.h"
#include "localpolicy.h"
#include "settings.h"
#include "winpolicy.h"

// What list shows of one value: its state, and whether it alone would tick
// its box, read as the dialog reads it (full access, 2,048 bytes at most).
struct shownvalue {
    regvalue    value;
    int         readable;   // 0: the key or value could not be read at all
    int         full;       // the key opens with full access
    int         passes;
    const regvalue *policy; // what local Group Policy does to it, or NULL
    const char *kind;       // the kind of the object that does it
    const winpolicy *windows;   // what Windows' templates say of it
};

// The key that list has open with full access: values of one key come one
// after another in the tables, so each key is opened once for them.
struct heldkey {
    HKEY        root;
    const char *key;
    HKEY        handle;
    LONG        rc;
};

static void showvalue(const boxvalue *bv, shownvalue *s, heldkey *open)
{
    DWORD error;
    const WCHAR *key = widen(bv->key), *name = widen(bv->name);

    if (!open->key || open->root != bv->root || !sametextA(open->key, bv->key)) {
        if (open->key && open->rc == ERROR_SUCCESS)
            RegCloseKey(open->handle);
        open->root = bv->root;
        open->key = bv->key;
        open->rc = openkey(bv->root, key, KEY_ALL_ACCESS, &open->handle);
    }
    novalue(bv->root, key, name, &s->value);
    s->full = open->rc == ERROR_FILE_NOT_FOUND ||
              (open->rc == ERROR_SUCCESS && queryvalue(open->handle, &s->value) == ERROR_SUCCESS);
    s->readable = s->full || readvalue(bv->root, key, name, KEY_READ, &s->value, &error);
    // A value that Apply never writes is read without write access.
    s->passes = (s->full || (bv->read && bv->read->readonly && s->readable)) && bv->read && s->value.present &&
                s->value.size <= 2048 && ticks(s->value.type, s->value.data, s->value.size, bv->read->test);
    s->windows = windowsword(bv->root, bv->key, bv->name);
}

// What Windows' templates say of a value: the policy's place in the editor
// and its name, with its template and name there, or that no template
// defines it and what the value is. With listed, whether the running
// Windows is listed, quoting the text when it is not.
static void addwindows(buffer *b, const winpolicy *w, int listed)
{
    if (!w->file) {
        addtext(b, "no template defines it: ");
        addtext(b, w->display);
        return;
    }
    addtext(b, w->path);
    addchar(b, L'\\');
    addtext(b, w->display);
    addtext(b, " (");
    addtext(b, w->file);
    addchar(b, L' ');
    addtext(b, w->policy);
    addchar(b, L')');
    if (w->enables) {
        addtext(b, "; Windows' policy writes ");
        addtext(b, w->enables);
    }
    if (listed && !listedhere(w)) {
        addtext(b, "; not listed for ");
        addtext(b, runningname());
        addtext(b, ": \"");
        addtext(b, w->support->text);
        addchar(b, L'"');
    }
}


static void addjsonstring(buffer *b, const WCHAR *text, size_t length)
{
    addchar(b, L'"');
    for (size_t i = 0; i < length; i++) {
        WCHAR c = text[i];
        if (c == L'"' || c == L'\\') {
            addchar(b, L'\\');
            addchar(b, c);
        } else if (c < 0x20) {
            addtext(b, "\\u");
            addhex(b, c, 4);
        } else {
            addchar(b, c);
        }
    }
    addchar(b, L'"');
}

// A number for a REG_DWORD, a string for a REG_SZ, hex text otherwise.
static void addjsondata(buffer *b, const regvalue *v)
{
    if (v->type == REG_DWORD && v->size == 4) {
        DWORD number;
        CopyMemory(&number, v->data, 4);
        addnumber(b, number);
    } else if (v->type == REG_SZ && isstring(v)) {
        addjsonstring(b, (const WCHAR *)v->data, v->size / sizeof(WCHAR) - 1);
    } else {
        addchar(b, L'"');
        for (DWORD i = 0; i < v->size; i++)
            addhex(b, v->data[i], 2);
        addchar(b, L'"');
    }
}

// What a policy does to a value: null, a deletion, or the value that it
// sets; with the kind of its object when given.
static void addjsonaction(buffer *b, const regvalue *action, const char *kind)
{
    if (!action) {
        addtext(b, "null");
        return;
    }
    if (!action->present) {
        addtext(b, "{\"action\": \"delete\"");
    } else {
        addtext(b, "{\"action\": \"set\", \"type\": \"");
        addtypename(b, action->type);
        addtext(b, "\", \"data\": ");
        addjsondata(b, action);
    }
    if (kind) {
        addtext(b, ", \"object\": \"");
        addtext(b, kind);
        addchar(b, L'"');
    }
    addchar(b, L'}');
}

static void addjsonvalue(buffer *b, const shownvalue *s)
{
    const regvalue *v = &s->value;

    addtext(b, "{\"root\": \"");
    addtext(b, rootname(v->root));
    addtext(b, "\", \"key\": ");
    addjsonstring(b, v->key, lstrlenW(v->key));
    addtext(b, ", \"value\": ");
    addjsonstring(b, v->name, lstrlenW(v->name));
    addtext(b, v->present ? ", \"present\": true, \"type\": " : ", \"present\": false, \"type\": null");
    if (v->present) {
        addchar(b, L'"');
        addtypename(b, v->type);
        addchar(b, L'"');
    }
    addtext(b, ", \"data\": ");
    if (v->present)
        addjsondata(b, v);
    else
        addtext(b, "null");
    addtext(b, s->passes ? ", \"passes\": true, \"group_policy\": " : ", \"passes\": false, \"group_policy\": ");
    addjsonaction(b, s->policy, s->kind);
    addtext(b, ", \"windows\": ");
    const winpolicy *w = s->windows;
    if (!w->file) {
        addtext(b, "null}");
        return;
    }
    const char *fields[][2] = { { "{\"template\": ", w->file }, { ", \"policy\": ", w->policy },
                                { ", \"name\": ", w->display }, { ", \"path\": ", w->path },
                                { ", \"supported_on\": ", w->support->text } };
    for (int i = 0; i < COUNT(fields); i++) {
        addtext(b, fields[i][0]);
        addjsonstring(b, widen(fields[i][1]), lstrlenA(fields[i][1]));
    }
    addtext(b, listedhere(w) ? ", \"listed_here\": true}}" : ", \"listed_here\": false}}");
}

static const char *const tickwords[] = {
    "ticks on 1", "ticks on 0", "ticks above 3", "ticks above 0xfffffe", "ticks on 0xb5 or 0xff",
};

static void addmarkdownbox(buffer *b, const dialogboxes *d, const boxrow *box)
{
    boxvalue values[maxboxvalues];
    int n = boxvalues(d, box->id, values, maxboxvalues);

    addtext(b, "| `");
    addtext(b, box->name);
    addtext(b, "` `");
    addtext(b, d->name);
    addchar(b, L'.');
    addnumber(b, box->id);
    addtext(b, "` | ");
    addtext(b, d->caption);
    addtext(b, " | ");
    addtext(b, box->caption);
    addtext(b, " | ");
    for (int i = 0; i < n; i++) {
        if (i)
            addtext(b, "<br>");
        addtext(b, "`");
        addtext(b, rootname(values[i].root));
        addchar(b, L'\\');
        addtext(b, values[i].key);
        addchar(b, L'\\');
        addtext(b, values[i].name);
        addtext(b, "`");
        if (!values[i].write || !values[i].write->data) {
            addtext(b, values[i].write ? " (read; deleted when off)" : " (read only)");
            continue;
        }
        addtext(b, " = ");
        addtext(b, values[i].write->data);
        if (!values[i].read)
            addtext(b, " (written only)");
        else if (values[i].read->test != tick_eq1 || !sametextA(values[i].write->data, "1")) {
            addtext(b, " (");
            addtext(b, tickwords[values[i].read->test]);
            addchar(b, L')');
        }
    }
    if (box->remark) {
        addtext(b, "<br>");
        addtext(b, box->remark);
    }
    addtext(b, " | ");
    for (int i = 0; i < n; i++) {
        const winpolicy *w = windowsword(values[i].root, values[i].key, values[i].name);
        if (i)
            addtext(b, "<br>");
        addwindows(b, w, 0);
        if (w->file) {
            addtext(b, "; ");
            addtext(b, w->support->text);
        }
    }
    addtext(b, " | ");
    addpresetnames(b, d, box->id);
    addtext(b, " |\r\n");
}

// What list keeps while it goes through the accounts.
struct listing {
    listform form;
    int    **states;    // with a preset: the boxes that it ticks are on; else NULL
    gpactions policy;   // what local Group Policy does to the account's values
    int      first;     // no JSON object printed yet
    int      marked;    // values that local Group Policy sets or deletes
};

static void closeopen(heldkey *open)
{
    if (open->key && open->rc == ERROR_SUCCESS)
        RegCloseKey(open->handle);
    open->key = NULL;
}

// A setting's JSON from its dialog to the start of its values' list.
static void addjsonbox(buffer *b, const dialogboxes *d, const boxrow *box, const char *state)
{
    addtext(b, "\"dialog\": \"");
    addtext(b, d->name);
    addtext(b, "\", \"id\": ");
    addnumber(b, box->id);
    addtext(b, ", \"name\": \"");
    addtext(b, box->name);
    addtext(b, "\", \"caption\": ");
    addjsonstring(b, widen(box->caption), lstrlenA(box->caption));
    addtext(b, ", \"state\": \"");
    addtext(b, state);
    addtext(b, "\", \"values\": [");
}

// A setting's line: "tweak.1001 no-autoplay: on  \"caption\"", the state
// padded to three letters.
static void addtextbox(buffer *b, const dialogboxes *d, const boxrow *box, const char *state)
{
    addtext(b, d->name);
    addchar(b, L'.');
    addnumber(b, box->id);
    addchar(b, L' ');
    addtext(b, box->name);
    addtext(b, ": ");
    addtext(b, state);
    addtext(b, state[2] ? " \"" : "  \"");
    addtext(b, box->caption);
    addtext(b, "\"\r\n");
    if (box->remark) {
        addtext(b, "    note: ");
        addtext(b, box->remark);
        addtext(b, "\r\n");
    }
}

// The JSON of the user whose settings are listed; nothing for the current
// user.
static void addjsonuser(buffer *b, const account *a)
{
    if (!a->profile)
        return;
    addtext(b, "\"user\": {\"name\": ");
    addjsonstring(b, a->name, lstrlenW(a->name));
    addtext(b, ", \"sid\": ");
    if (a->sid)
        addjsonstring(b, a->sid, lstrlenW(a->sid));
    else
        addtext(b, "null");
    addtext(b, "}, ");
}

// Every setting of the account whose hive is entered.
static void listaccount(listing *l, const account *a)
{
    heldkey open = {};
    for (int d = 0; d < ndialogs; d++)
        for (int i = 0; i < dialogs[d].nboxes; i++) {
            const boxrow *box = &dialogs[d].boxes[i];
            boxvalue values[maxboxvalues];
            shownvalue shown[maxboxvalues];
            if (l->states && l->states[d][i] != state_on)
                continue;
            int n = boxvalues(&dialogs[d], box->id, values, maxboxvalues);
            int on = 0;
            if (stopping) {
                closeopen(&open);
                checkstop();
            }
            for (int v = 0; v < n; v++) {
                showvalue(&values[v], &shown[v], &open);
                shown[v].policy = grouppolicyon(&l->policy, &shown[v].value, &shown[v].kind);
                on |= shown[v].passes;
            }
            if (l->form == list_json) {
                say(l->first ? "\r\n  {" : ",\r\n  {");
                addjsonuser(&out, a);
                addjsonbox(&out, &dialogs[d], box, on ? "on" : "off");
                for (int v = 0; v < n; v++) {
                    if (v)
                        say(", ");
                    addjsonvalue(&out, &shown[v]);
                }
                say("]}");
                l->first = 0;
                continue;
            }
            addtextbox(&out, &dialogs[d], box, on ? "on" : "off");
            for (int v = 0; v < n; v++) {
                const shownvalue *s = &shown[v];
                say("    ");
                addvaluepath(&out, &s->value);
                say(": ");
                if (!s->readable)
                    say("cannot be read");
                else
                    adddescription(&out, &s->value);
                if (!values[v].read)
                    say(", written only");
                else if (s->readable && !s->full && !values[v].read->readonly)
                    say(", no full access: the dialog shows it clear");
                else if (s->value.present)
                    say(s->passes ? ", passes" : ", does not pass");
                if (s->policy) {
                    say(" [");
                    addgpname(&out, s->kind);
                    say(": ");
                    if (s->policy->present)
                        adddescription(&out, s->policy);
                    else
                        say("deletes it");
                    say("]");
                    l->marked++;
                }
                sayline();
                say("      Windows: ");
                addwindows(&out, s->windows, 1);
                sayline();
            }
        }
    closeopen(&open);
}

// list --policy: each setting as the object configures it, with the
// records of its values.
static int listobject(listform form, const WCHAR *given)
{
    policyobject object;
    gpactions policy = {};
    int code = findobject(given, &object), first = 1;

    if (code)
        return code;
    if (!objecthere(&object))
        return 2;
    if (!readobject(&object, &policy))
        return 2;
    if (form == list_text) {
        addverb("policy");
        say(object.name);
        say(": ");
        say(object.folder);
        sayline();
    } else {
        say("[");
    }
    for (int d = 0; d < ndialogs; d++)
        for (int i = 0; i < dialogs[d].nboxes; i++) {
            const boxrow *box = &dialogs[d].boxes[i];
            boxvalue values[maxboxvalues];
            regvalue wanted[maxboxvalues];
            const regvalue *records[maxboxvalues];
            const char *kind;
            int n = boxvalues(&dialogs[d], box->id, values, maxboxvalues), configured = 0, on = 0;
            for (int v = 0; v < n; v++) {
                novalue(values[v].root, widen(values[v].key), widen(values[v].name), &wanted[v]);
                const regvalue *r = records[v] = grouppolicyon(&policy, &wanted[v], &kind);
                configured |= r != NULL;
                on |= r && r->present && values[v].read && ticks(r->type, r->data, r->size, values[v].read->test);
            }
            const char *state = on ? "on" : configured ? "off" : "not configured";
            if (form == list_json) {
                say(first ? "\r\n  {\"policy\": \"" : ",\r\n  {\"policy\": \"");
                say(object.kind);
                say("\", ");
                addjsonbox(&out, &dialogs[d], box, state);
                for (int v = 0; v < n; v++) {
                    say(v ? ", {\"root\": \"" : "{\"root\": \"");
                    say(rootname(wanted[v].root));
                    say("\", \"key\": ");
                    addjsonstring(&out, wanted[v].key, lstrlenW(wanted[v].key));
                    say(", \"value\": ");
                    addjsonstring(&out, wanted[v].name, lstrlenW(wanted[v].name));
                    say(", \"record\": ");
                    addjsonaction(&out, records[v], NULL);
                    say("}");
                }
                say("]}");
                first = 0;
                continue;
            }
            addtextbox(&out, &dialogs[d], box, state);
            for (int v = 0; v < n; v++) {
                say("    ");
                addvaluepath(&out, &wanted[v]);
                say(": ");
                addconfigured(&out, records[v]);
                sayline();
            }
        }
    if (form == list_json)
        say("\r\n]\r\n");
    return 0;
}

// The last line of list --preset: how many settings the preset ticks, how
// many of them Windows' templates list for the running Windows, and the
// others by name.
static void presetsummary(const WCHAR *preset, int *const *states)
{
    buffer others = {};
    int ticks = 0, listed = 0;

    for (int d = 0; d < ndialogs; d++)
        for (int i = 0; i < dialogs[d].nboxes; i++) {
            buffer texts = {};
            if (states[d][i] != state_on)
                continue;
            ticks++;
            if (!unlistedhere(&dialogs[d], dialogs[d].boxes[i].id, &texts)) {
                listed++;
                continue;
            }
            addtext(&others, ticks - listed > 1 ? ", " : "");
            addtext(&others, dialogs[d].boxes[i].name);
        }
    say(preset);
    say(" ticks ");
    addnumber(&out, ticks);
    say(" settings; Windows' templates list ");
    addnumber(&out, listed);
    say(" of them for ");
    say(runningname());
    if (listed < ticks) {
        say("; not: ");
        say(textof(&others));
    }
    sayline();
}

int listcommand(listform form, const WCHAR *preset, const options *o)
{
    const usertarget *whom = &o->whom;

    if (form == list_markdown) {
        say("# Settings\r\n\r\n"
            "Every setting of both dialogs, as `tolvctl list --markdown` prints it. On writes "
            "each value with the data shown, as `REG_DWORD`; off deletes them. The box is "
            "ticked when a value that it reads passes its test, equal to 1 unless another is "
            "shown. Windows' policy is the one of Windows' own administrative templates that "
            "writes each value, where the Group Policy editor shows it, and the Windows versions "
            "that the template lists it for. The presets are the quick settings that tick it.\r\n\r\n"
            "| Name | Dialog | Caption | Registry values, and the data written when on | Windows' policy | Presets |\r\n"
            "|---|---|---|---|---|---|\r\n");
        for (int d = 0; d < ndialogs; d++)
            for (int i = 0; i < dialogs[d].nboxes; i++)
                addmarkdownbox(&out, &dialogs[d], &dialogs[d].boxes[i]);
        return 0;
    }

    if (o->policy)
        return listobject(form, o->policy);
    listing l = { form, NULL, {}, 1, 0 };
    if (preset && presetstates(l.states = nostates(), preset))
        return 2;
    account *accounts;
    int n, code = findaccounts(whom, &accounts, &n);
    if (code)
        return code;
    for (int i = 0; i < n; i++) {
        int entered = enteraccount(&accounts[i], form == list_text);
        if (!entered)
            entered = refuselinks(&accounts[i], NULL);
        if (entered && whom->who != whose_all)
            return entered;
        if (form == list_json && !i)
            say("[");
        // With every user, one whose hive cannot be read is reported and
        // the others are listed.
        if (entered) {
            code = 1;
            continue;
        }
        // The objects that apply to the user, read while its hive is open:
        // it may have to be asked for the user's groups.
        gpactions fresh = {};
        l.policy = fresh;
        loadgrouppolicy(&l.policy, &accounts[i]);
        listaccount(&l, &accounts[i]);
        if (leaveaccount(&accounts[i]))
            code = 1;
    }
    if (form == list_json)
        say(n ? "\r\n]\r\n" : "[\r\n]\r\n");
    if (preset && form == list_text)
        presetsummary(preset, l.states);
    if (l.marked) {
        say("[local Group Policy: ...] marks the values that local Group Policy sets or deletes: "
            "it applies them again at its next refresh, whatever is changed here.");
        sayline();
    }
    return code;
}
